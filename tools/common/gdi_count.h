// Live GDI objects of this process, for the tests' and tools' leak checks.
#pragma once

#include <windows.h>

#include <cstdint>

namespace zvtools {

// The process's GDI handle table under Wine (65536 entries of 24 bytes on
// both architectures), or null.  x86_64: the PEB (gs:0x60) holds it at
// +0xF8.  i686: in a pure 32-bit prefix the PEB (fs:0x30) holds it at +0x94;
// in a WoW64 prefix that field is 0 and the table is the 64-bit process's:
// the 32-bit TEB's GdiBatchCount (fs:0xF70) holds the address of the 64-bit
// TEB, whose PEB (+0x60) holds the table at +0xF8 (all below 4 GB).
inline const BYTE *GdiHandleTable() {
#if defined(__x86_64__)
    const BYTE *peb;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    return *reinterpret_cast<const BYTE *const *>(peb + 0xF8);
#elif defined(__i386__)
    const BYTE *peb;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    if (const BYTE *table = *reinterpret_cast<const BYTE *const *>(peb + 0x94))
        return table;
    uint32_t teb64;
    asm("movl %%fs:0xF70, %0" : "=r"(teb64));
    if (!teb64)
        return nullptr;
    const uint64_t peb64 = *reinterpret_cast<const uint64_t *>(uintptr_t(teb64) + 0x60);
    if (peb64 == 0 || peb64 >> 32)
        return nullptr;
    const uint64_t table = *reinterpret_cast<const uint64_t *>(uintptr_t(peb64) + 0xF8);
    return table >> 32 ? nullptr : reinterpret_cast<const BYTE *>(uintptr_t(table));
#else
    return nullptr;
#endif
}

// Live GDI objects of this process, stock objects left out.  Under Wine
// GetGuiResources is a stub; the handle table (GdiHandleTable) tells
// instead: an entry is live while its type byte (offset 14) is non-zero, and
// a stock object has bit 0x80 of byte 12 set.  The first DC a process makes
// creates about ten objects lazily and GetDC(0) keeps three: warm up
// (WarmUp) before counting.
// nType other than 0 counts only objects of that type byte (Wine's codes:
// 0x08 palette, 0x10 brush, 0x30 pen; window code counts these, as the
// system's windows make and drop regions, DCs and surfaces on their own).
inline int GdiObjectCount(int nType = 0) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll && GetProcAddress(ntdll, "wine_get_version")) {
        if (const BYTE *table = GdiHandleTable()) {
            int live = 0;
            for (int i = 0; i < 65536; ++i) {
                const BYTE *entry = table + 24 * i;
                live += entry[14] != 0 && (entry[12] & 0x80) == 0 && (nType == 0 || entry[14] == nType);
            }
            return live;
        }
    }
    return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

inline void WarmUp() {
    DeleteDC(CreateCompatibleDC(nullptr));
    ReleaseDC(nullptr, GetDC(nullptr));
}

}  // namespace zvtools
