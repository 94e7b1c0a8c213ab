// Live GDI objects of this process, for the tests' and tools' leak checks.
#pragma once

#include <windows.h>

namespace zvtools {

// Live GDI objects of this process, stock objects left out.  Under Wine
// GetGuiResources is a stub; the process's GDI handle table (PEB + 0xF8 on
// x86_64, 65536 entries of 24 bytes) tells instead: an entry is live while
// its type byte (offset 14) is non-zero, and a stock object has bit 0x80 of
// byte 12 set.  The first DC a process makes creates about ten objects
// lazily and GetDC(0) keeps three: warm up (WarmUp) before counting.
// nType other than 0 counts only objects of that type byte (Wine's codes:
// 0x08 palette, 0x10 brush, 0x30 pen; window code counts these, as the
// system's windows make and drop regions, DCs and surfaces on their own).
inline int GdiObjectCount(int nType = 0) {
#ifdef _WIN64
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll && GetProcAddress(ntdll, "wine_get_version")) {
        const BYTE *peb;
        asm("movq %%gs:0x60, %0" : "=r"(peb));
        const BYTE *table = *reinterpret_cast<const BYTE *const *>(peb + 0xF8);
        if (table) {
            int live = 0;
            for (int i = 0; i < 65536; ++i) {
                const BYTE *entry = table + 24 * i;
                live += entry[14] != 0 && (entry[12] & 0x80) == 0 && (nType == 0 || entry[14] == nType);
            }
            return live;
        }
    }
#else
    (void)nType;
#endif
    return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

inline void WarmUp() {
    DeleteDC(CreateCompatibleDC(nullptr));
    ReleaseDC(nullptr, GetDC(nullptr));
}

}  // namespace zvtools
