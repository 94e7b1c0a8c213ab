// The DLL's entry point; linked into zvdisp.dll only, so that the static
// library can be tested without a loader.
#include "frame/library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    return zv::LibraryEntry(hInstance, dwReason);
}
