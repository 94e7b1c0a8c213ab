// The MetaBitmap record: metafile bytes parsed and loaded from memory or
// files, and the record's copy, paint, serialisation and deletion.
//
// Memory layouts read here (little-endian):
//   placeable header, 22 bytes: key 0x9AC6CDD7 (32), handle (16), box
//     left, top, right, bottom (signed 16 each), units per inch (16),
//     reserved (32), checksum (16, not examined);
//   WMF header, 18 bytes: type (16), header words (16, 9), version (16,
//     0x0300 or 0x0100), size in words (32), objects (16), largest record
//     (32), parameters (16);
//   WMF record: size in words (32), function (16), 16-bit parameters.
// Only the first ten WMF records are read here; the rest of a WMF, and an
// EMF whole, are the system's to accept or refuse.
#include "transfer/metafile.h"

#include "common/guards.h"
#include "zvkern.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace zv {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr size_t kPlaceableBytes = 22, kWmfHeaderBytes = 18, kRecordHeadBytes = 6;
constexpr int kRecordsExamined = 10;
constexpr WORD kSetWindowExt = 0x020C, kSetViewportExt = 0x020E, kSetMapMode = 0x0103;

inline WORD Read16(const BYTE *p) { return WORD(p[0] | p[1] << 8); }
inline int ReadS16(const BYTE *p) { return int16_t(Read16(p)); }
inline uint32_t Read32(const BYTE *p) { return uint32_t(Read16(p)) | uint32_t(Read16(p + 2)) << 16; }

// What the first records of a WMF say.
struct WmfScan {
    int windowExtX = 0, windowExtY = 0;
    int viewportX = 0, viewportY = 0;
    bool viewport = false, fixedScale = false;
    BYTE *mapModeText[kRecordsExamined] = {};  // MM_TEXT parameters to rewrite
    int mapModeTextCount = 0;
};

// Scans at most ten records from p (n bytes); RC_INVALID_FORMAT when a
// record it reads has parameters beyond the bytes.
int ScanWmfRecords(BYTE *p, size_t n, WmfScan *s) {
    for (int i = 0; i < kRecordsExamined && n >= kRecordHeadBytes; ++i) {
        const uint32_t words = Read32(p);
        const WORD function = Read16(p + 4);
        if (words == 0 || function == 0)
            break;
        const size_t params = n - kRecordHeadBytes;
        switch (function) {
        case kSetWindowExt:
        case kSetViewportExt: {
            if (params < 4)
                return RC_INVALID_FORMAT;
            const int y = abs(ReadS16(p + 6)), x = abs(ReadS16(p + 8));
            if (function == kSetWindowExt) {
                s->windowExtX = x;
                s->windowExtY = y;
            } else {
                s->viewportX = x;
                s->viewportY = y;
                s->viewport = true;
            }
            break;
        }
        case kSetMapMode: {
            if (params < 2)
                return RC_INVALID_FORMAT;
            const WORD mode = Read16(p + 6);
            if (mode == MM_TEXT)
                s->mapModeText[s->mapModeTextCount++] = p + 6;
            else if (mode != MM_ISOTROPIC && mode != MM_ANISOTROPIC)
                s->fixedScale = true;
            break;
        }
        default:
            break;
        }
        if (uint64_t(words) * 2 >= n)
            break;
        p += size_t(words) * 2;
        n -= size_t(words) * 2;
    }
    return RC_SUCCESS;
}

int ParseEnhanced(const BYTE *p, size_t n, MetaBitmap *m, int create) {
    if (!create)
        return RC_INVALID_FORMAT;
    const HENHMETAFILE h = SetEnhMetaFileBits(UINT(n), p);
    if (!h)
        return RC_INVALID_FORMAT;
    m->Handle = h;
    m->IsEnhanced = 1;
    DescribeEnhMetafile(h, m, false);
    return RC_SUCCESS;
}

int ParseMetaBits(const void *pBits, UINT uSize, MetaBitmap *pMeta, int create) {
    if (!pMeta || !pBits)
        return RC_INVALID_PARAMETER;
    // The caller's bytes: the rewrite of MM_TEXT goes into them.
    BYTE *p = static_cast<BYTE *>(const_cast<void *>(pBits));
    size_t n = uSize;
    MetaBitmap m = *pMeta;
    const bool placeable = n >= kPlaceableBytes && Read32(p) == kPlaceableKey;
    int left = 0, top = 0, right = 0, bottom = 0, unitsPerInch = 0;
    if (placeable) {
        left = ReadS16(p + 6);
        top = ReadS16(p + 8);
        right = ReadS16(p + 10);
        bottom = ReadS16(p + 12);
        unitsPerInch = Read16(p + 14);
        p += kPlaceableBytes;
        n -= kPlaceableBytes;
    }
    if (n < kWmfHeaderBytes)
        return RC_INVALID_FORMAT;
    const WORD version = Read16(p + 4);
    if (Read16(p + 2) != 9 || (version != 0x0300 && version != 0x0100)) {
        const int rc = ParseEnhanced(p, n, &m, create);
        if (rc == RC_SUCCESS)
            *pMeta = m;
        return rc;
    }
    WmfScan scan;
    const int rc = ScanWmfRecords(p + kWmfHeaderBytes, n - kWmfHeaderBytes, &scan);
    if (rc != RC_SUCCESS)
        return rc;
    m.PixelWidth = m.PixelHeight = 0;
    if (placeable) {
        m.WindowOrgX = left;
        m.WindowOrgY = top;
        m.WindowExtX = right - left;
        m.WindowExtY = bottom - top;
        m.ResolutionX = m.ResolutionY = unitsPerInch;
    } else {
        m.WindowOrgX = m.WindowOrgY = 0;
        m.WindowExtX = scan.windowExtX;
        m.WindowExtY = scan.windowExtY;
        m.ResolutionX = m.ResolutionY = 96;
    }
    if (scan.viewport) {
        m.PixelWidth = scan.viewportX;
        m.PixelHeight = scan.viewportY;
    }
    if (m.WindowExtX == 0) {
        m.WindowExtX = 640;
        m.WindowExtY = 480;
    }
    if (!scan.viewport && scan.fixedScale) {
        m.PixelWidth = m.WindowExtX;
        m.PixelHeight = m.WindowExtY;
    }
    m.IsEnhanced = 0;
    for (int i = 0; i < scan.mapModeTextCount; ++i) {
        scan.mapModeText[i][0] = MM_ANISOTROPIC;
        scan.mapModeText[i][1] = 0;
    }
    if (create) {
        const HMETAFILE h = SetMetaFileBitsEx(UINT(n), p);
        if (!h)
            return RC_INVALID_FORMAT;
        m.Handle = h;
    }
    *pMeta = m;
    return RC_SUCCESS;
}

// Closes a kernel file when the load ends.
struct FileCloser {
    HANDLE h;
    ~FileCloser() { K_FileClose(h); }
};

int LoadMetaBitmap(const char *pszFileName, MetaBitmap *pMeta) {
    if (!pszFileName)
        return RC_FILE_OPEN;
    if (!pMeta)
        return RC_INVALID_PARAMETER;
    const HANDLE file = K_FileOpen(pszFileName, K_FILE_READ);
    if (!file)
        return RC_FILE_OPEN;
    FileCloser closer{file};
    const LONGLONG length = K_FileSeek(file, 0, FILE_END);
    if (length < 0 || K_FileSeek(file, 0, FILE_BEGIN) != 0)
        return RC_FILE_SEEK;
    if (length > INT_MAX)
        return RC_NO_MEMORY;
    KPtr<BYTE> bits = KAlloc<BYTE>(length ? size_t(length) : 1);
    if (!bits)
        return RC_NO_MEMORY;
    if (K_FileRead(file, bits.get(), UINT(length)) != int(length))  // GCOVR_EXCL_BR_LINE: only a file cut meanwhile
        return RC_ROW_READ;                                           // GCOVR_EXCL_LINE: as above
    return ParseMetaBits(bits.get(), UINT(length), pMeta, 1);
}

}  // namespace
}  // namespace zv

extern "C" {

int __stdcall Z_ParseMetaBits(const void *pBits, UINT uSize, MetaBitmap *pMeta, int bCreate) {
    return zv::ParseMetaBits(pBits, uSize, pMeta, bCreate);
}

int __stdcall Z_LoadMetaBitmap(const char *pszFileName, MetaBitmap *pMeta) {
    return zv::LoadMetaBitmap(pszFileName, pMeta);
}

int __stdcall Z_AllocateMetaBitmapBits(const MetaBitmap *pMeta, void **ppBits, UINT *puSize) {
    if (!pMeta || !puSize)
        return RC_INVALID_PARAMETER;
    const bool enhanced = pMeta->IsEnhanced != 0;
    const auto fetch = [&](UINT size, void *bits) -> UINT {
        if (!pMeta->Handle)
            return 0;
        return enhanced ? GetEnhMetaFileBits(static_cast<HENHMETAFILE>(pMeta->Handle), size, static_cast<BYTE *>(bits))
                        : GetMetaFileBitsEx(static_cast<HMETAFILE>(pMeta->Handle), size, bits);
    };
    const UINT size = fetch(0, nullptr);
    *puSize = size;
    if (!size)
        return RC_INVALID_PARAMETER;
    if (!ppBits)
        return RC_SUCCESS;
    zv::KPtr<BYTE> bits = zv::KAlloc<BYTE>(size);
    if (!bits)
        return RC_NO_MEMORY;
    if (fetch(size, bits.get()) != size)  // GCOVR_EXCL_BR_LINE: the platform gives the size it announced
        return RC_INVALID_PARAMETER;      // GCOVR_EXCL_LINE: as above
    *ppBits = bits.release();
    return RC_SUCCESS;
}

int __stdcall Z_CopyMetaBitmap(MetaBitmap *pDst, const MetaBitmap *pSrc) {
    if (!pDst || !pSrc)
        return RC_INVALID_PARAMETER;
    MetaBitmap copy = *pSrc;
    if (copy.Handle)
        copy.Handle = copy.IsEnhanced
                          ? static_cast<HANDLE>(CopyEnhMetaFileA(static_cast<HENHMETAFILE>(copy.Handle), nullptr))
                          : static_cast<HANDLE>(CopyMetaFileA(static_cast<HMETAFILE>(copy.Handle), nullptr));
    *pDst = copy;
    return RC_SUCCESS;
}

int __stdcall Z_PaintMetaBitmap(HDC hDC, const MetaBitmap *pMeta, const RECT *pDest) {
    if (!pMeta || !pMeta->Handle || !pDest)
        return 0;
    if (pMeta->IsEnhanced)
        return PlayEnhMetaFile(hDC, static_cast<HENHMETAFILE>(pMeta->Handle), pDest);
    return zv::PlayWmfInto(hDC, *pMeta, pDest->left, pDest->top, pDest->right - pDest->left,
                           abs(int(pDest->bottom - pDest->top)));
}

void __stdcall Z_DeleteMetaBitmap(MetaBitmap *pMeta) {
    if (!pMeta || !pMeta->Handle)
        return;
    zv::DeleteAnyMetafile(pMeta->Handle, pMeta->IsEnhanced != 0);
    pMeta->Handle = nullptr;
}

}  // extern "C"
