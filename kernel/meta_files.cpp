// Binary files for the display library's loaders: open, seek, read, close
// over the platform's file handles.
#include "zvkern.h"

extern "C" {

HANDLE __stdcall K_FileOpen(const char *pszName, UINT uMode) {
    if (!pszName)
        return nullptr;
    const bool write = uMode == K_FILE_WRITE;
    const HANDLE h = CreateFileA(pszName, write ? GENERIC_WRITE : GENERIC_READ, write ? 0 : FILE_SHARE_READ, nullptr,
                                 write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

LONGLONG __stdcall K_FileSeek(HANDLE hFile, LONGLONG llOffset, int nOrigin) {
    if (!hFile || nOrigin < FILE_BEGIN || nOrigin > FILE_END)
        return -1;
    LARGE_INTEGER to, at;
    to.QuadPart = llOffset;
    return SetFilePointerEx(hFile, to, &at, static_cast<DWORD>(nOrigin)) ? at.QuadPart : -1;
}

int __stdcall K_FileRead(HANDLE hFile, void *pBuffer, UINT uBytes) {
    if (!hFile || (!pBuffer && uBytes) || uBytes > 0x7FFFFFFFu)
        return RC_INVALID_PARAMETER;
    DWORD got = 0;
    return ReadFile(hFile, pBuffer, uBytes, &got, nullptr) ? static_cast<int>(got) : RC_ROW_READ;
}

int __stdcall K_FileWrite(HANDLE hFile, const void *pBuffer, UINT uBytes) {
    if (!hFile || (!pBuffer && uBytes) || uBytes > 0x7FFFFFFFu)
        return RC_INVALID_PARAMETER;
    DWORD put = 0;
    return WriteFile(hFile, pBuffer, uBytes, &put, nullptr) ? static_cast<int>(put) : RC_FAILURE;
}

int __stdcall K_FileClose(HANDLE hFile) {
    return hFile && CloseHandle(hFile) ? RC_SUCCESS : RC_INVALID_PARAMETER;
}

}  // extern "C"
