// The per-pixel rules of the colour spaces of Z_ConvertColorSpace, each as
// a record of its stored pixel (component type, channel count), its family
// and two steps: FromRgb (blue, green, red of the family into the stored
// pixel) and ToRgb (the stored pixel into blue, green, red, which the run
// loop keeps to the low 8 or 16 bits: nothing is clamped unless a rule
// says so).  colorspace.cpp instantiates one run loop per space and
// direction from these.
//
// Division truncates toward zero throughout (C++'s own), and the rules
// that work in double precision do so in the order written, multiplying
// by reciprocals where the definition does: they are exact to the unit.
#pragma once

#include "color/hsv.h"

#include <cstdint>

namespace zv::cs {

// The two families: the RGB component, full intensity, and the way to and
// from the 14-bit scale of YUV and YIQ (16384 stands for full intensity).
struct Family8 {
    using Comp = uint8_t;
    static constexpr int kFull = 255;
    static int To14(int c);  // a table: the division costs more than the whole rest of a YUV pixel
    static int From14(int x) { return x * 255 / 16384; }
};

struct To14Table {
    int v[256];
};
constexpr To14Table MakeTo14Table() {
    To14Table t{};
    for (int c = 0; c < 256; ++c)
        t.v[c] = c * 16384 / 255;
    return t;
}
inline constexpr To14Table kTo14 = MakeTo14Table();
inline int Family8::To14(int c) { return kTo14.v[c]; }

struct Family16 {
    using Comp = uint16_t;
    static constexpr int kFull = 65535;
    static int To14(int c) { return c * 16384 / 65535; }
    static int From14(int x) { return static_cast<int>(int64_t{x} * 65535 / 16384); }
};

// Branch-free: on photographs which component is smallest is a coin toss,
// and a mispredicted branch costs more than the whole CMYK pixel.
inline int Min2(int a, int b) {
    const int d = b - a;
    return a + (d & (d >> 31));
}
inline int Max2(int a, int b) {
    const int d = b - a;
    return b - (d & (d >> 31));
}
inline int Min3(int a, int b, int c) { return Min2(Min2(a, b), c); }
inline int Max3(int a, int b, int c) { return Max2(Max2(a, b), c); }

// Luma on the 14-bit scale, shared by YUV and YIQ; never negative, so
// the division can take the cheaper unsigned road.
inline int Luma14(int b, int g, int r) { return static_cast<int>(static_cast<unsigned>(587 * g + 299 * r + 114 * b) / 1000u); }

// Y, B - Y, R - Y as signed 16-bit values on the 14-bit scale.
template <class F>
struct Yuv {
    using Family = F;
    using Stored = int16_t;
    static constexpr int kChannels = 3;
    static void FromRgb(int B, int G, int R, Stored *out) {
        const int b = F::To14(B), g = F::To14(G), r = F::To14(R);
        const int y = Luma14(b, g, r);
        out[0] = static_cast<Stored>(y);
        out[1] = static_cast<Stored>(b - y);
        out[2] = static_cast<Stored>(r - y);
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const int y = in[0], b = in[1] + y, r = in[2] + y;
        const int g = (1000 * y - 299 * r - 114 * b) / 587;
        B = F::From14(b), G = F::From14(g), R = F::From14(r);
    }
};

// Y, I, Q as signed 16-bit values on the 14-bit scale.
template <class F>
struct Yiq {
    using Family = F;
    using Stored = int16_t;
    static constexpr int kChannels = 3;
    static void FromRgb(int B, int G, int R, Stored *out) {
        const int b = F::To14(B), g = F::To14(G), r = F::To14(R);
        out[0] = static_cast<Stored>(Luma14(b, g, r));
        out[1] = static_cast<Stored>((596 * r - 321 * b - 275 * g) / 1000);
        out[2] = static_cast<Stored>((311 * b - 528 * g + 212 * r) / 1000);
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const int y = in[0], i = in[1], q = in[2];
        R = F::From14((1003 * y + 955 * i + 618 * q) / 1000);
        G = F::From14((997 * y - 271 * i - 645 * q) / 1000);
        B = F::From14((1008 * y - 1110 * i + 1700 * q) / 1000);
    }
};

template <class F>
struct Cmy {
    using Family = F;
    using Stored = typename F::Comp;
    static constexpr int kChannels = 3;
    static void FromRgb(int B, int G, int R, Stored *out) {
        out[0] = static_cast<Stored>(F::kFull - R);
        out[1] = static_cast<Stored>(F::kFull - G);
        out[2] = static_cast<Stored>(F::kFull - B);
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        R = F::kFull - in[0], G = F::kFull - in[1], B = F::kFull - in[2];
    }
};

// C, M, Y with the common part moved into K.  Back, a component cannot
// pass full intensity, so raising negative ones to 0 is the whole clamp
// in both families.
template <class F>
struct Cmyk {
    using Family = F;
    using Stored = typename F::Comp;
    static constexpr int kChannels = 4;
    static void FromRgb(int B, int G, int R, Stored *out) {
        const int c = F::kFull - R, m = F::kFull - G, y = F::kFull - B;
        const int k = Min3(c, m, y);
        out[0] = static_cast<Stored>(c - k);
        out[1] = static_cast<Stored>(m - k);
        out[2] = static_cast<Stored>(y - k);
        out[3] = static_cast<Stored>(k);
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const int k = in[3];
        R = F::kFull - k - in[0], G = F::kFull - k - in[1], B = F::kFull - k - in[2];
        R = R < 0 ? 0 : R, G = G < 0 ? 0 : G, B = B < 0 ? 0 : B;
    }
};

// Hue, saturation, value: the routines of hsv.h.
struct Hsv8 {
    using Family = Family8;
    using Stored = uint8_t;
    static constexpr int kChannels = 3;
    static void FromRgb(int B, int G, int R, Stored *out) {
        const HsvColor hsv = RgbToHsv8(R, G, B);
        out[0] = static_cast<Stored>(hsv), out[1] = static_cast<Stored>(hsv >> 8), out[2] = static_cast<Stored>(hsv >> 16);
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const COLORREF c = HsvToRgb8(in[0], in[1], in[2]);
        R = GetRValue(c), G = GetGValue(c), B = GetBValue(c);
    }
};

// Hue, lightness, saturation with 8 bits; hue 0..254 round the circle in
// sixths of 42.5, red at 0.
struct Hls8 {
    using Family = Family8;
    using Stored = uint8_t;
    static constexpr int kChannels = 3;
    static void FromRgb(int B, int G, int R, Stored *out) {
        const int mx = Max3(R, G, B), mn = Min3(R, G, B);
        int h = 0, s = 0;
        if (mx != mn) {
            s = (mx - mn) * 255 / (mx + mn < 256 ? mx + mn : 510 - mx - mn);
            if (s != 0) {
                const int d6 = 6 * (mx - mn);
                h = mx == R ? (G - B) * 255 / d6 : mx == G ? (B - R) * 255 / d6 + 85 : (R - G) * 255 / d6 + 170;
                h += h < 0 ? 255 : 0;
            }
        }
        out[0] = static_cast<Stored>(h), out[1] = static_cast<Stored>((mx + mn) >> 1), out[2] = static_cast<Stored>(s);
    }
    static int Channel(int h, int m1, int m2) {
        h = h >= 256 ? h - 255 : h < 0 ? h + 255 : h;
        const int d = m2 - m1;
        return h < 43 ? m1 + d * h * 6 / 255 : h < 128 ? m2 : h > 170 ? m1 : m1 + d * 6 * (170 - h) / 255;
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const int h = in[0], l = in[1], s = in[2];
        if (s == 0) {
            B = G = R = l;
            return;
        }
        const int m2 = l < 128 ? (s + 255) * l / 255 : l - l * s / 255 + s;
        const int m1 = 2 * l - m2;
        B = Channel(h - 85, m1, m2), G = Channel(h, m1, m2), R = Channel(h + 85, m1, m2);
    }
};

// Hue, saturation, value with 16 bits.  The hue follows the 8-bit ratio
// rule in degrees x 65535/360 with an offset: its thirds start at about
// 128, 22059 and 43990, and the top of the last one wraps past 65535.
struct Hsv16 {
    using Family = Family16;
    using Stored = uint16_t;
    static constexpr int kChannels = 3;
    static void FromRgb(int B, int G, int R, Stored *out) {
        const int mx = Max3(R, G, B), mn = Min3(R, G, B);
        int hue = 0, sat = 0;
        if (mx != mn) {
            double t;
            if (mn == B)
                t = (G - mn) * 7895040.0 / (R + G - 2 * mn) + 46260;
            else if (mn == R)
                t = (B - mn) * 7895040.0 / (G + B - 2 * mn) + 7941300;
            else
                t = (R - mn) * 7895040.0 / (B + R - 2 * mn) + 15836340;
            hue = static_cast<int>(t * (1 / 360.0));
            sat = static_cast<int>((mx - mn) * 65535.0 / mx);
        }
        out[0] = static_cast<Stored>(hue), out[1] = static_cast<Stored>(sat), out[2] = static_cast<Stored>(mx);
    }
    // The sector arithmetic divides products up to 2^33: 64-bit integers
    // give the same truncated quotients as the double division would.
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const int64_t h = (in[0] * 45) >> 5, sat = in[1], v = in[2];  // 360 degrees are 92520
        if (sat == 0) {
            B = G = R = static_cast<int>(v);
            return;
        }
        const int64_t p = static_cast<int64_t>((v * 65535.0 - static_cast<double>(sat * v)) * (1 / 65535.0));
        const int64_t d = v - p;
        int64_t r, g, b;
        if (h < 15421)
            r = v, g = p + d * h / (30840 - h), b = p;
        else if (h <= 30840)
            r = p + d * (30840 - h) / h, g = v, b = p;
        else if (h <= 46260)
            r = p, g = v, b = p + d * (h - 30840) / (61680 - h);
        else if (h <= 61680)
            r = p, g = p + d * (61680 - h) / (h - 30840), b = v;
        else if (h <= 77100)
            r = p + d * (h - 61680) / (92520 - h), g = p, b = v;
        else
            r = v, g = p, b = p + d * (92520 - h) / (h - 61680);
        B = static_cast<int>(b), G = static_cast<int>(g), R = static_cast<int>(r);
    }
};

// Hue, lightness, saturation with 16 bits, in double precision.
struct Hls16 {
    using Family = Family16;
    using Stored = uint16_t;
    static constexpr int kChannels = 3;
    static constexpr double kSixth = 6 / 65535.0;  // 9.155413138017853e-5
    static void FromRgb(int B, int G, int R, Stored *out) {
        const int mx = Max3(R, G, B), mn = Min3(R, G, B);
        int h = 0, s = 0;
        if (mx != mn) {
            s = static_cast<int>((mx - mn) * 65535.0 / (mx + mn < 65536 ? mx + mn : 131070 - mx - mn));
            if (s != 0) {
                const int d6 = 6 * (mx - mn);
                h = mx == R   ? static_cast<int>((G - B) * 65535.0 / d6)
                    : mx == G ? static_cast<int>((B - R) * 65535.0 / d6 + 21845.0)
                              : static_cast<int>((R - G) * 65535.0 / d6 + 43690.0);
                h += h < 0 ? 65535 : 0;
            }
        }
        out[0] = static_cast<Stored>(h), out[1] = static_cast<Stored>((mx + mn) >> 1), out[2] = static_cast<Stored>(s);
    }
    static int Channel(int h, int m1, int m2) {
        h = h > 65535 ? h - 65535 : h < 0 ? h + 65535 : h;
        const double d = m2 - m1;
        int c;
        if (h <= 10922)
            c = static_cast<int>(d * h * kSixth + m1);
        else if (h < 32768)
            return m2;
        else if (h < 43691)
            c = static_cast<int>(d * (43690 - h) * kSixth + m1);
        else
            return m1;
        return c > 65535 ? 65535 : c;
    }
    static void ToRgb(const Stored *in, int &B, int &G, int &R) {
        const int h = in[0], l = in[1], s = in[2];
        if (s == 0) {
            B = G = R = l;
            return;
        }
        const int m2 = l < 32768 ? static_cast<int>(static_cast<double>(s + 65535) * l * (1 / 65535.0))
                                 : static_cast<int>((s + l) - static_cast<double>(s) * l * (1 / 65535.0));
        const int m1 = 2 * l - m2;
        B = Channel(h - 21845, m1, m2), G = Channel(h, m1, m2), R = Channel(h + 21845, m1, m2);
    }
};

}  // namespace zv::cs
