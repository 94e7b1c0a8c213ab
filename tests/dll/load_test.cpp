// zvdisp.dll as a process loads it: exports under their plain names, the
// entry's work at load, thread end and unload, and no kernel block left.
#include "dll/dll_api.h"

#include <cstring>

namespace {

using SetModeFn = UINT(__stdcall *)(UINT, UINT);
using GetModeFn = UINT(__stdcall *)(void);

bool TableIsAllNull() {
    const RegionServiceTable *t = K_GetRegionServiceTable();
    const RegionServiceTable none = {};
    return t && std::memcmp(t, &none, sizeof none) == 0;
}

DWORD WINAPI SetModeOnThread(LPVOID fn) {
    auto getMode = reinterpret_cast<GetModeFn>(fn);
    return getMode();  // creates this thread's block; thread detach frees it
}

TEST(LibraryLoad, LoadUseAndUnloadLeaveNothingBehind) {
    const int start = K_GetLiveBlockCount();
    {
        zvtest::Api lib;
        ASSERT_NE(lib.module, nullptr);
        EXPECT_EQ(K_GetLiveBlockCount(), start + 1) << "the loading thread's settings";
        auto setMode = lib.Get<SetModeFn>("Z_SetDisplayMode");  // exported under the plain names
        auto getMode = lib.Get<GetModeFn>("Z_GetDisplayMode");
        ASSERT_TRUE(setMode && getMode);
        EXPECT_EQ(lib.Get<FARPROC>("Z_SetDisplayMode@8"), nullptr) << "no decorated name beside";
        EXPECT_EQ(getMode(), 0x0Cu);
        EXPECT_EQ(setMode(0xFF, 0x01), 0x0Cu);

        HANDLE t = CreateThread(nullptr, 0, SetModeOnThread, reinterpret_cast<LPVOID>(getMode), 0, nullptr);
        WaitForSingleObject(t, INFINITE);
        DWORD threadMode = 0;
        GetExitCodeThread(t, &threadMode);
        CloseHandle(t);
        EXPECT_EQ(threadMode, 0x0Cu) << "a new thread gets the default, not this thread's mode";
        EXPECT_EQ(K_GetLiveBlockCount(), start + 1) << "the ended thread's block was freed";
        EXPECT_EQ(getMode(), 0x01u);
    }
    EXPECT_EQ(K_GetLiveBlockCount(), start);
    EXPECT_TRUE(TableIsAllNull()) << "the last unload withdraws the region operations";
}

TEST(LibraryLoad, LoadFailsCleanlyWithoutMemoryForTheFirstBlock) {
    const int start = K_GetLiveBlockCount();
    K_SetAllocationFailure(0, 0);
    HMODULE module = LoadLibraryA("zvdisp.dll");
    K_SetAllocationFailure(-1, 0);
    EXPECT_EQ(module, nullptr) << "the library refuses to load";
    if (module)
        FreeLibrary(module);
    EXPECT_EQ(K_GetLiveBlockCount(), start);
    zvtest::Api lib;  // and loads once memory is back
    EXPECT_NE(lib.module, nullptr);
}

TEST(LibraryLoad, BothModulesCarryVersionInformation) {
    zvtest::Api lib;
    for (HMODULE module : {lib.module, GetModuleHandleA("zvkern.dll")}) {
        HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
        ASSERT_NE(res, nullptr);
        // VS_VERSIONINFO: three WORDs, L"VS_VERSION_INFO", padding, then the fixed part.
        const auto *fixed = reinterpret_cast<const VS_FIXEDFILEINFO *>(
            static_cast<const BYTE *>(LockResource(LoadResource(module, res))) + 40);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    }
}

}  // namespace
