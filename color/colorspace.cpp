// Z_ConvertColorSpace: runs of pixels between RGB, YUV, YIQ, HSV, HLS, CMY
// and CMYK, in an 8-bit and a 16-bit family that never mix.  Every
// conversion goes through RGB of the family: the source becomes an RGB run
// in scratch memory (unless it already is RGB), which then becomes the
// destination.  The rules of each space are in spaces.h; here each space
// gets one run loop per direction, looked up by format code.
#include "color/spaces.h"
#ifdef __SSE2__
#include "color/yuv_sse2.h"
#endif

#include "common/guards.h"
#include "zvkern.h"

#include <cstring>
#include <iterator>
#include <memory>

namespace zv {

namespace {

using RunFn = void (*)(const void *src, void *dst, int count);

// How many pixels of a run a vector loop converts before the scalar rule
// takes over: none, except where one exists.
template <class Space>
int FastToRgb(const typename Space::Stored *, typename Space::Family::Comp *, int) {
    return 0;
}
#ifdef __SSE2__
template <>
int FastToRgb<cs::Yuv<cs::Family8>>(const int16_t *s, uint8_t *d, int count) {
    return cs::YuvToRgb8Fast(s, d, count);
}
template <>
int FastToRgb<cs::Yiq<cs::Family8>>(const int16_t *s, uint8_t *d, int count) {
    return cs::YiqToRgb8Fast(s, d, count);
}
#endif

template <class Space>
void RunToRgb(const void *src, void *rgb, int count) {
    using Comp = typename Space::Family::Comp;
    const auto *__restrict s = static_cast<const typename Space::Stored *>(src);
    auto *__restrict d = static_cast<Comp *>(rgb);
    const int fast = FastToRgb<Space>(s, d, count);
    s += fast * Space::kChannels, d += fast * 3;
    for (int i = fast; i < count; ++i, s += Space::kChannels, d += 3) {
        int b, g, r;
        Space::ToRgb(s, b, g, r);
        d[0] = static_cast<Comp>(b), d[1] = static_cast<Comp>(g), d[2] = static_cast<Comp>(r);
    }
}

template <class Space>
void RunFromRgb(const void *rgb, void *dst, int count) {
    const auto *__restrict s = static_cast<const typename Space::Family::Comp *>(rgb);
    auto *__restrict d = static_cast<typename Space::Stored *>(dst);
    for (int i = 0; i < count; ++i, s += 3, d += Space::kChannels)
        Space::FromRgb(s[0], s[1], s[2], d);
}

template <class Family>
void CopyRgb(const void *src, void *dst, int count) {
    std::memmove(dst, src, size_t(count) * 3 * sizeof(typename Family::Comp));
}

// A space's two run loops; toRgb is null for RGB itself, whose pixels
// serve as the RGB run.
struct ColorSpace {
    RunFn toRgb;
    RunFn fromRgb;
};

template <class Space>
constexpr ColorSpace Entry() {
    return {RunToRgb<Space>, RunFromRgb<Space>};
}

using cs::Family16;
using cs::Family8;

// Indexed by the code: 0..6 in the 8-bit family.
constexpr ColorSpace kSpaces8[] = {
    {nullptr, CopyRgb<Family8>},  // CS_RGB
    Entry<cs::Yuv<Family8>>(),    // CS_YUV
    Entry<cs::Cmyk<Family8>>(),   // CS_CMYK
    Entry<cs::Hsv8>(),            // CS_HSV
    Entry<cs::Hls8>(),            // CS_HLS
    Entry<cs::Yiq<Family8>>(),    // CS_YIQ
    Entry<cs::Cmy<Family8>>(),    // CS_CMY
};

// Indexed by bits 4-7 of the code, 1..7 in the 16-bit family.
constexpr ColorSpace kSpaces16[] = {
    {nullptr, nullptr},            // 0x00: the 8-bit family
    {nullptr, CopyRgb<Family16>},  // CS_RGB16
    Entry<cs::Yuv<Family16>>(),    // CS_YUV16
    Entry<cs::Yiq<Family16>>(),    // CS_YIQ16
    Entry<cs::Hsv16>(),            // CS_HSV16
    Entry<cs::Hls16>(),            // CS_HLS16
    Entry<cs::Cmy<Family16>>(),    // CS_CMY16
    Entry<cs::Cmyk<Family16>>(),   // CS_CMYK16
};

bool IsWideFamily(int code) { return (code & 0xF0) != 0; }

const ColorSpace *FindSpace(int code) {
    if (code >= 0 && code < int(std::size(kSpaces8)))
        return &kSpaces8[code];
    if (code > 0 && (code & ~0x70) == 0)
        return &kSpaces16[code >> 4];
    return nullptr;
}

}  // namespace

}  // namespace zv

// Codes are checked before anything is allocated, so a bad code never
// costs an allocation and the destination is never touched.
extern "C" int __stdcall Z_ConvertColorSpace(const void *pSrc, void *pDst, int nCount, int nSrcFormat,
                                             int nDstFormat) {
    using namespace zv;
    if (IsWideFamily(nSrcFormat) != IsWideFamily(nDstFormat) || !pSrc || !pDst)
        return RC_INVALID_PARAMETER;
    const ColorSpace *from = FindSpace(nSrcFormat), *to = FindSpace(nDstFormat);
    if (!from || !to)
        return RC_INVALID_PARAMETER;
    if (nCount < 1)
        return RC_SUCCESS;
    TempBlock<void> scratch;
    const void *rgb = pSrc;
    if (from->toRgb) {
        const uint64_t bytes = uint64_t(nCount) * (IsWideFamily(nSrcFormat) ? 6 : 3);
        if (bytes == size_t(bytes))  // 16-bit runs of 2^31 pixels pass 4 GB on 32-bit Windows
            scratch = TempAlloc<void>(size_t(bytes));
        if (!scratch)
            return RC_NO_MEMORY;
        from->toRgb(pSrc, scratch.get(), nCount);
        rgb = scratch.get();
    }
    to->fromRgb(rgb, pDst, nCount);
    return RC_SUCCESS;
}
