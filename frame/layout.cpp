// Record layouts that applications and the kernel rely on.  On the 32-bit
// target every descriptor word is 4 bytes and member n lies at 4 * (n - 1);
// on x86_64 the pointer members are 8 bytes with natural alignment.
#include "frame/library.h"

#include <cstddef>

#define ZV_WORD(member, order) \
    static_assert(offsetof(BitmapHandle, member) == 4 * ((order) - 1), #member " is out of place")

#if defined(_WIN64)
static_assert(sizeof(void *) == 8);
static_assert(offsetof(BitmapHandle, Data) == 8 && offsetof(BitmapHandle, PaintLUT) % 8 == 0);
static_assert(sizeof(RgnTransform) == 28 && sizeof(RgnRow) == 8);
#else
static_assert(sizeof(BitmapHandle) == 156, "the descriptor is 39 words");
ZV_WORD(Data, 2);
ZV_WORD(Width, 3);
ZV_WORD(Height, 4);
ZV_WORD(BitsPerPixel, 5);
ZV_WORD(BytesPerLine, 6);
ZV_WORD(Flags, 9);
ZV_WORD(ColorCount, 10);
ZV_WORD(Palette, 11);
ZV_WORD(Orientation, 12);
ZV_WORD(Order, 13);
ZV_WORD(Region, 17);
ZV_WORD(Left, 20);
ZV_WORD(Top, 21);
ZV_WORD(Delay, 22);
ZV_WORD(BackgroundColor, 23);
ZV_WORD(TransparentColor, 24);
ZV_WORD(DisposalMethod, 25);
ZV_WORD(WindowLowBit, 26);
ZV_WORD(WindowHighBit, 27);
ZV_WORD(WindowLUT, 28);
ZV_WORD(WindowLUTLength, 29);
ZV_WORD(MinValue, 31);
ZV_WORD(MaxValue, 32);
ZV_WORD(LowBit, 33);
ZV_WORD(HighBit, 34);
ZV_WORD(PaintGamma, 35);
ZV_WORD(PaintContrast, 36);
ZV_WORD(PaintIntensity, 37);
ZV_WORD(PaintLUT, 38);
ZV_WORD(KernelReserved39, 39);
static_assert(sizeof(ZoraRgn) == 4 + 28 + 4 + 4 + 28 + 4 + 16 + 4 + 4 + 4 + 4);
#endif

// MetaBitmap: the metafile handle, then nine 32-bit words.
#if defined(_WIN64)
static_assert(sizeof(MetaBitmap) == 48 && offsetof(MetaBitmap, IsEnhanced) == 8 &&
              offsetof(MetaBitmap, ResolutionY) == 40);
#else
static_assert(sizeof(MetaBitmap) == 40, "MetaBitmap is ten words");
#define ZV_META_WORD(member, order) \
    static_assert(offsetof(MetaBitmap, member) == 4 * ((order) - 1), #member " is out of place")
ZV_META_WORD(IsEnhanced, 2);
ZV_META_WORD(WindowOrgX, 3);
ZV_META_WORD(WindowOrgY, 4);
ZV_META_WORD(WindowExtX, 5);
ZV_META_WORD(WindowExtY, 6);
ZV_META_WORD(PixelWidth, 7);
ZV_META_WORD(PixelHeight, 8);
ZV_META_WORD(ResolutionX, 9);
ZV_META_WORD(ResolutionY, 10);
#endif
