// zvinfo: lists the functions zvdisp.dll exports and the display mode a
// fresh thread starts with.
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>

namespace {

// Walks the export directory of a loaded module.
void PrintExports(HMODULE module, const char *label) {
    auto *base = reinterpret_cast<const BYTE *>(module);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir.VirtualAddress);
    auto *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    std::printf("%s exports %lu functions:\n", label, exports->NumberOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        std::printf("  %s\n", reinterpret_cast<const char *>(base + names[i]));
}

DWORD WINAPI ReportMode(LPVOID) {
    std::printf("display mode of a fresh thread: 0x%04X\n", Z_GetDisplayMode());
    return 0;
}

}  // namespace

int main() {
    PrintExports(GetModuleHandleA("zvdisp.dll"), "zvdisp.dll");
    PrintExports(GetModuleHandleA("zvkern.dll"), "zvkern.dll");
    HANDLE thread = CreateThread(nullptr, 0, ReportMode, nullptr, 0, nullptr);
    if (!thread)
        return 1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    std::fflush(stdout);
    return 0;
}
