// Z_ConvertColorSpace: every pair of formats of both
// families against a slow per-pixel reference over random pixels, the
// driver's checks; Z_RGBtoHSV and Z_HSVtoRGB.
#include "color/hsv.h"
#include "support.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

enum Space { kRgb, kYuv, kYiq, kHsv, kHls, kCmy, kCmyk };

struct Format {
    int code;
    Space space;
    int channels, bytes;  // bytes per component
    bool isSigned;
};

const Format kFormats[] = {
    {0, kRgb, 3, 1, false},      {1, kYuv, 3, 2, true},       {2, kCmyk, 4, 1, false},
    {3, kHsv, 3, 1, false},      {4, kHls, 3, 1, false},      {5, kYiq, 3, 2, true},
    {6, kCmy, 3, 1, false},      {0x10, kRgb, 3, 2, false},   {0x20, kYuv, 3, 2, true},
    {0x30, kYiq, 3, 2, true},    {0x40, kHsv, 3, 2, false},   {0x50, kHls, 3, 2, false},
    {0x60, kCmy, 3, 2, false},   {0x70, kCmyk, 4, 2, false},
};

// ---- The reference: one pixel at a time, as the rules read -------------

struct Pixel {
    long long c[4];
};

long long Full(bool wide) { return wide ? 65535 : 255; }
long long To14(long long c, bool wide) { return c * 16384 / Full(wide); }
long long From14(long long x, bool wide) { return x * Full(wide) / 16384; }

Pixel RefHls8From(long long R, long long G, long long B) {
    const long long mx = std::max({R, G, B}), mn = std::min({R, G, B}), L = (mx + mn) >> 1;
    const long long S = mx == mn ? 0 : (mx - mn) * 255 / (mx + mn < 256 ? mx + mn : 510 - mx - mn);
    if (S == 0)
        return {{0, L, 0}};
    const long long d6 = 6 * (mx - mn);
    const long long H = mx == R ? (G - B) * 255 / d6 : mx == G ? (B - R) * 255 / d6 + 85 : (R - G) * 255 / d6 + 170;
    return {{H < 0 ? H + 255 : H, L, S}};
}

long long RefHls8Hue(long long h, long long m1, long long m2) {
    h = h >= 256 ? h - 255 : h < 0 ? h + 255 : h;
    const long long d = m2 - m1;
    return h < 43 ? m1 + d * h * 6 / 255 : h < 128 ? m2 : h > 170 ? m1 : m1 + d * 6 * (170 - h) / 255;
}

Pixel RefHsv16From(long long R, long long G, long long B) {
    const long long mx = std::max({R, G, B}), mn = std::min({R, G, B});
    if (mx == mn)
        return {{0, 0, mx}};
    const double t = mn == B   ? (G - mn) * 7895040.0 / double(R + G - 2 * mn) + 46260
                     : mn == R ? (B - mn) * 7895040.0 / double(G + B - 2 * mn) + 7941300
                               : (R - mn) * 7895040.0 / double(B + R - 2 * mn) + 15836340;
    return {{(long long)(t * (1 / 360.0)) & 0xFFFF, (long long)((mx - mn) * 65535.0 / double(mx)), mx}};
}

Pixel RefHsv16To(long long hue, long long sat, long long v) {  // returns R, G, B
    const long long h = (hue * 45) >> 5;
    if (sat == 0)
        return {{v, v, v}};
    const long long p = (long long)((v * 65535.0 - double(sat * v)) * (1 / 65535.0)), d = v - p;
    if (h < 15421)
        return {{v, p + d * h / (30840 - h), p}};
    if (h <= 30840)
        return {{p + d * (30840 - h) / h, v, p}};
    if (h <= 46260)
        return {{p, v, p + d * (h - 30840) / (61680 - h)}};
    if (h <= 61680)
        return {{p, p + d * (61680 - h) / (h - 30840), v}};
    if (h <= 77100)
        return {{p + d * (h - 61680) / (92520 - h), p, v}};
    return {{v, p, p + d * (92520 - h) / (h - 61680)}};
}

Pixel RefHls16From(long long R, long long G, long long B) {
    const long long mx = std::max({R, G, B}), mn = std::min({R, G, B}), L = (mx + mn) >> 1;
    const long long S =
        mx == mn ? 0 : (long long)((mx - mn) * 65535.0 / double(mx + mn < 65536 ? mx + mn : 131070 - mx - mn));
    if (S == 0)
        return {{0, L, 0}};
    const double d6 = double(6 * (mx - mn));
    const long long H = (long long)(mx == R   ? (G - B) * 65535.0 / d6
                                    : mx == G ? (B - R) * 65535.0 / d6 + 21845.0
                                              : (R - G) * 65535.0 / d6 + 43690.0);
    return {{H < 0 ? H + 65535 : H, L, S}};
}

long long RefHls16Hue(long long h, long long m1, long long m2) {
    h = h < 0 ? h + 65535 : h > 65535 ? h - 65535 : h;
    const double d = double(m2 - m1), k = 9.155413138017853e-5;
    return h <= 10922   ? std::min<long long>((long long)(d * h * k + m1), 65535)
           : h < 32768 ? m2
           : h < 43691 ? std::min<long long>((long long)(d * (43690 - h) * k + m1), 65535)
                       : m1;
}

// R, G, B of the family into the space's components.
Pixel RefFromRgb(Space s, bool wide, long long R, long long G, long long B) {
    const long long F = Full(wide), r = To14(R, wide), g = To14(G, wide), b = To14(B, wide);
    const long long Y = (587 * g + 299 * r + 114 * b) / 1000;
    switch (s) {
    case kRgb: return {{B, G, R}};
    case kYuv: return {{Y, b - Y, r - Y}};
    case kYiq: return {{Y, (596 * r - 321 * b - 275 * g) / 1000, (311 * b - 528 * g + 212 * r) / 1000}};
    case kCmy: return {{F - R, F - G, F - B}};
    case kCmyk: {
        const long long k = std::min({F - R, F - G, F - B});
        return {{F - R - k, F - G - k, F - B - k, k}};
    }
    case kHsv: {
        const DWORD hsv = Z_RGBtoHSV(RGB(R, G, B));  // the 8-bit rules are their own test's
        return wide ? RefHsv16From(R, G, B) : Pixel{{hsv & 0xFF, (hsv >> 8) & 0xFF, (hsv >> 16) & 0xFF}};
    }
    case kHls: return wide ? RefHls16From(R, G, B) : RefHls8From(R, G, B);
    }
    return {};
}

// The space's components into R, G, B (before they are kept to their
// low 8 or 16 bits).
Pixel RefToRgb(Space s, bool wide, const Pixel &p) {
    const long long F = Full(wide), *c = p.c;
    switch (s) {
    case kRgb: return {{c[2], c[1], c[0]}};
    case kYuv: {
        const long long R = c[2] + c[0], B = c[1] + c[0], G = (1000 * c[0] - 299 * R - 114 * B) / 587;
        return {{From14(R, wide), From14(G, wide), From14(B, wide)}};
    }
    case kYiq:
        return {{From14((1003 * c[0] + 955 * c[1] + 618 * c[2]) / 1000, wide),
                 From14((997 * c[0] - 271 * c[1] - 645 * c[2]) / 1000, wide),
                 From14((1008 * c[0] - 1110 * c[1] + 1700 * c[2]) / 1000, wide)}};
    case kCmy: return {{F - c[0], F - c[1], F - c[2]}};
    case kCmyk:
        return {{std::clamp(F - c[3] - c[0], 0LL, F), std::clamp(F - c[3] - c[1], 0LL, F),
                 std::clamp(F - c[3] - c[2], 0LL, F)}};
    case kHsv: {
        const COLORREF rgb = Z_HSVtoRGB(DWORD(c[0] | c[1] << 8 | c[2] << 16));
        return wide ? RefHsv16To(c[0], c[1], c[2]) : Pixel{{GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)}};
    }
    case kHls: {
        const long long H = c[0], L = c[1], S = c[2];
        if (S == 0)
            return {{L, L, L}};
        if (wide) {
            const long long m2 = L < 32768 ? (long long)(double((S + 65535) * L) * (1 / 65535.0))
                                           : (long long)(double(S + L) - double(S * L) * (1 / 65535.0));
            const long long m1 = 2 * L - m2;
            return {{RefHls16Hue(H + 21845, m1, m2), RefHls16Hue(H, m1, m2), RefHls16Hue(H - 21845, m1, m2)}};
        }
        const long long m2 = L < 128 ? (S + 255) * L / 255 : L - L * S / 255 + S, m1 = 2 * L - m2;
        return {{RefHls8Hue(H + 85, m1, m2), RefHls8Hue(H, m1, m2), RefHls8Hue(H - 85, m1, m2)}};
    }
    }
    return {};
}

long long ReadComponent(const BYTE *p, const Format &f) {
    const int v = f.bytes == 1 ? p[0] : p[0] | p[1] << 8;
    return f.isSigned ? int16_t(v) : v;
}

void WriteComponent(BYTE *p, const Format &f, long long v) {
    p[0] = BYTE(v);
    p[f.bytes - 1] = BYTE(v >> (8 * f.bytes - 8));
}

int PixelBytes(const Format &f) { return f.channels * f.bytes; }

// The whole run through the reference.
std::vector<BYTE> Reference(const std::vector<BYTE> &src, int count, const Format &from, const Format &to) {
    const bool wide = from.code >= 0x10;
    std::vector<BYTE> out(size_t(count) * PixelBytes(to));
    for (int i = 0; i < count; ++i) {
        Pixel in{};
        for (int c = 0; c < from.channels; ++c)
            in.c[c] = ReadComponent(&src[size_t(i) * PixelBytes(from) + c * from.bytes], from);
        const Pixel rgb = RefToRgb(from.space, wide, in);  // R, G, B
        const long long low = wide ? 0xFFFF : 0xFF;  // the RGB run keeps the low bits
        const Pixel o = RefFromRgb(to.space, wide, rgb.c[0] & low, rgb.c[1] & low, rgb.c[2] & low);
        for (int c = 0; c < to.channels; ++c)
            WriteComponent(&out[size_t(i) * PixelBytes(to) + c * to.bytes], to, o.c[c]);
    }
    return out;
}

// Random pixels with many ties (grays, zeros, full values) among them.
std::vector<BYTE> RandomPixels(std::mt19937 &rng, int count, const Format &f) {
    std::vector<BYTE> v(size_t(count) * PixelBytes(f));
    const long long top = f.bytes == 1 ? 255 : 65535;
    for (int i = 0; i < count; ++i) {
        long long prev = 0;
        for (int c = 0; c < f.channels; ++c) {
            const unsigned pick = rng() % 8;
            const long long x = pick == 0 ? 0 : pick == 1 ? top : pick == 2 ? prev : (long long)(rng() & top);
            WriteComponent(&v[size_t(i) * PixelBytes(f) + c * f.bytes], f, x);
            prev = x;
        }
    }
    return v;
}

TEST(ColourSpace, EveryPairMatchesTheReference) {
    std::mt19937 rng(71);
    const int count = 3000;
    for (const Format &from : kFormats)
        for (const Format &to : kFormats) {
            if ((from.code >= 0x10) != (to.code >= 0x10))
                continue;
            SCOPED_TRACE(testing::Message() << std::hex << "from 0x" << from.code << " to 0x" << to.code);
            const std::vector<BYTE> src = RandomPixels(rng, count, from);
            const std::vector<BYTE> want = Reference(src, count, from, to);
            std::vector<BYTE> got(want.size() + 8, 0xA5);
            ASSERT_EQ(Z_ConvertColorSpace(src.data(), got.data(), count, from.code, to.code), RC_SUCCESS);
            for (size_t i = 0; i < want.size(); ++i)
                ASSERT_EQ(got[i], want[i]) << "pixel " << i / PixelBytes(to) << ", byte " << i % PixelBytes(to);
            ASSERT_EQ(std::count(got.begin() + want.size(), got.end(), 0xA5), 8) << "written past the run";
            // Short runs: the vector loops leave their tails to the scalar rule.
            const int few = 1 + int(rng() % 9);
            std::vector<BYTE> short_(size_t(few) * PixelBytes(to) + 8, 0xA5);
            ASSERT_EQ(Z_ConvertColorSpace(src.data(), short_.data(), few, from.code, to.code), RC_SUCCESS);
            ASSERT_EQ(0, std::memcmp(short_.data(), want.data(), size_t(few) * PixelBytes(to))) << few << " pixels";
            ASSERT_EQ(std::count(short_.begin() + few * PixelBytes(to), short_.end(), 0xA5), 8) << "written past " << few;
            if (from.space != kRgb) {  // through the scratch run, the buffer may be both
                std::vector<BYTE> inPlace(src);
                inPlace.resize(std::max(src.size(), want.size()));
                ASSERT_EQ(Z_ConvertColorSpace(inPlace.data(), inPlace.data(), count, from.code, to.code), RC_SUCCESS);
                ASSERT_EQ(0, std::memcmp(inPlace.data(), want.data(), want.size())) << "in place";
            }
        }
}

// Mixed families and codes outside the table are refused; no pixels, no work.
TEST(ColourSpace, DriverChecks) {
    BYTE src[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, dst[24];
    std::memset(dst, 0x5A, sizeof dst);
    const int refused[][2] = {{CS_RGB, CS_YUV16}, {CS_YIQ16, CS_HLS}, {7, CS_RGB},      {CS_RGB, 7},
                              {0x11, CS_RGB16},   {CS_RGB16, 0x80}, {-1, CS_RGB}, {CS_RGB, 0x100}};
    for (const auto &r : refused)
        EXPECT_EQ(Z_ConvertColorSpace(src, dst, 4, r[0], r[1]), RC_INVALID_PARAMETER) << std::hex << r[0] << " to " << r[1];
    EXPECT_EQ(Z_ConvertColorSpace(src, dst, 0, CS_HSV, CS_YUV), RC_SUCCESS);
    EXPECT_EQ(Z_ConvertColorSpace(src, dst, -5, CS_HSV16, CS_YUV16), RC_SUCCESS);
    for (BYTE b : dst)
        EXPECT_EQ(b, 0x5A) << "nothing written";
}

// ---- HSV ----------------------------------------------------------------

// Z_RGBtoHSV / Z_HSVtoRGB: every 8-bit input of
// both directions against a literal transcription of the rules.
// The rules as written, one step per line, kept apart from color/hsv.h.
DWORD ModelRgbToHsv(int R, int G, int B) {
    const int mn = std::min({R, G, B}), mx = std::max({R, G, B});
    int hue = 0, sat = 0;
    if (mx != mn) {
        if (B == mn)
            hue = ((G - mn) * 30720 / ((R - mn) + (G - mn)) + 180) / 360;
        else if (R == mn)
            hue = ((B - mn) * 30720 / ((G - mn) + (B - mn)) + 30900) / 360;
        else
            hue = ((R - mn) * 30720 / ((B - mn) + (R - mn)) + 61620) / 360;
        sat = (mx - mn) * 255 / mx;
    }
    return DWORD(hue % 256) | DWORD(sat) << 8 | DWORD(mx) << 16;
}

COLORREF ModelHsvToRgb(int hue, int sat, int val) {
    const int h = (hue * 360) >> 8;
    int R = val, G = val, B = val;
    if (sat != 0) {
        const int p = (255 - sat) * val / 255, d = val - p;
        if (h >= 0 && h <= 60) {
            R = val; G = p + d * h / (120 - h); B = p;
        } else if (h >= 61 && h <= 120) {
            R = p + d * (120 - h) / h; G = val; B = p;
        } else if (h >= 121 && h <= 180) {
            R = p; G = val; B = p + d * (h - 120) / (240 - h);
        } else if (h >= 181 && h <= 240) {
            R = p; G = p + d * (240 - h) / (h - 120); B = val;
        } else if (h >= 241 && h <= 300) {
            R = p + d * (h - 240) / (360 - h); G = p; B = val;
        } else {
            R = val; G = p; B = p + d * (360 - h) / (h - 240);
        }
    }
    return RGB(R & 0xFF, G & 0xFF, B & 0xFF);
}

// The exhaustive run below covers 24 bits; the high byte is apart.
TEST(ColourHsv, HighByte) {
    EXPECT_EQ(Z_RGBtoHSV(0x12FF0000u), 0x12FFFFABu) << "the high byte is carried";
    EXPECT_EQ(Z_HSVtoRGB(0xFFFFFF00u), RGB(255, 0, 0)) << "the high byte is ignored";
}

// All 2^24 inputs of each direction (about a second).
TEST(ColourHsv, EveryColourMatchesTheRules) {
    int wrong = 0;
    for (DWORD c = 0; c < 0x1000000u && wrong < 5; ++c) {
        const int a = c & 0xFF, b = (c >> 8) & 0xFF, d = c >> 16;
        const DWORD hsv = Z_RGBtoHSV(c);
        const COLORREF rgb = Z_HSVtoRGB(c);
        if (hsv != ModelRgbToHsv(a, b, d) || hsv != zv::RgbToHsv8(a, b, d)) {
            ++wrong;
            ADD_FAILURE() << "RGB " << std::hex << c << " gives " << hsv << ", the rules " << ModelRgbToHsv(a, b, d);
        }
        if (rgb != ModelHsvToRgb(a, b, d) || rgb != zv::HsvToRgb8(a, b, d)) {
            ++wrong;
            ADD_FAILURE() << "HSV " << std::hex << c << " gives " << rgb << ", the rules " << ModelHsvToRgb(a, b, d);
        }
    }
}

}  // namespace
