// zvbench_regions: the library's region operations against the platform's
// GDI region code on the same shapes, measured in the same process.  Each
// figure is printed as the library's time over GDI's (below 1.0: faster).
//
//   zvbench_regions [repetitions]
#include "tools/common/bench_clock.h"
#include "region/region.h"
#include "tools/common/dib_section.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using zvtools::Now;

int g_reps = 15;

// Best time in seconds of op over the repetitions; setup runs untimed
// before each.
double Best(const std::function<void()> &setup, const std::function<void()> &op) {
    double best = 1e30;
    for (int i = 0; i < g_reps; ++i) {
        setup();
        const double t0 = Now();
        op();
        best = std::min(best, Now() - t0);
    }
    return best;
}

void Row(const char *what, double ours, double gdi) {
    std::printf("%-44s %10.3f ms %10.3f ms   ratio %.3f\n", what, ours * 1e3, gdi * 1e3, ours / gdi);
}

// Rectangles of a region, one per run.
std::vector<RECT> RectsOf(const ZoraRgn *r) {
    std::vector<RECT> out;
    const uint32_t rows = r->RowTableSize / sizeof(RgnRow);
    for (uint32_t i = 0; i < rows; ++i) {
        const int32_t *v = r->SpanStore + r->RowTable[i].Offset / 4;
        for (uint32_t k = 0; k < r->RowTable[i].Count; k += 2)
            out.push_back(RECT{v[k], r->Bounds.top + static_cast<LONG>(i), v[k + 1], r->Bounds.top + static_cast<LONG>(i) + 1});
    }
    return out;
}

HRGN CreateFromRects(const RECT *rects, size_t n, const XFORM *xf = nullptr) {
    std::vector<char> buf(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
    auto *d = reinterpret_cast<RGNDATA *>(buf.data());
    d->rdh.dwSize = sizeof(RGNDATAHEADER);
    d->rdh.iType = RDH_RECTANGLES;
    d->rdh.nCount = static_cast<DWORD>(n);
    d->rdh.nRgnSize = static_cast<DWORD>(n * sizeof(RECT));
    RECT box{0, 0, 0, 0};
    for (size_t i = 0; i < n; ++i)
        UnionRect(&box, &box, &rects[i]);
    d->rdh.rcBound = box;
    std::copy(rects, rects + n, reinterpret_cast<RECT *>(d->Buffer));
    return ExtCreateRegion(xf, static_cast<DWORD>(buf.size()), d);
}

// The library's conversion of runs to a GDI region.
HRGN ToGdi(const ZoraRgn *r) {
    HRGN h = nullptr;
    if (zv::RgnToGdiRegion(nullptr, r, nullptr, &h) != RC_SUCCESS) {
        std::fprintf(stderr, "conversion to GDI failed\n");
        std::exit(1);
    }
    return h;
}

ZoraRgn *FromGdi(HRGN h) {
    ZoraRgn *r = nullptr;
    if (zv::RgnFromGdiRegion(h, &r) != RC_SUCCESS) {
        std::fprintf(stderr, "conversion failed\n");
        std::exit(1);
    }
    return r;
}

// 1000 rows of 50 random runs.
ZoraRgn *RandomRuns(unsigned seed) {
    std::mt19937 rng(seed);
    zv::RgnBuilder b;
    zv::RgnBuilderBegin(b, RECT{0, 0, 20000, 1000});
    for (int y = 0; y < 1000; ++y) {
        std::vector<int> cuts(100);
        for (int &c : cuts)
            c = static_cast<int>(rng() % 20000);
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        for (size_t k = 0; k + 1 < cuts.size(); k += 2)
            zv::RgnBuilderAddSpan(b, cuts[k], cuts[k + 1]);
        zv::RgnBuilderEndRow(b);
    }
    zv::RgnBuilderFinish(b);
    return b.Region;
}

size_t RunCount(const ZoraRgn *r) { return r->SpanStoreSize / 8; }

void CombineCases(const char *name, ZoraRgn *a, ZoraRgn *b, HRGN ga, HRGN gb, int width, int height) {
    struct Op {
        const char *name;
        UINT mode;
        int gdi;
    };
    for (const Op &op : {Op{"union", RGN_MODE_OR, RGN_OR}, Op{"intersection", RGN_MODE_AND, RGN_AND},
                         Op{"difference", RGN_MODE_OLD_MINUS_NEW, RGN_DIFF}, Op{"xor", RGN_MODE_XOR, RGN_XOR}}) {
        BitmapHandle bm{};
        bm.Width = width;
        bm.Height = height;
        bm.Flags = BITMAP_ALLOCATED;
        ZoraRgn *add = nullptr;
        const double ours = Best(
            [&] {
                K_FreeRegion(bm.Region);
                Z_CopyZoraRgn(&bm.Region, a);
                Z_CopyZoraRgn(&add, b);
            },
            [&] { zv::RgnCombine(&bm, nullptr, zv::OwnedRgn(add), op.mode); });
        K_FreeRegion(bm.Region);
        // A new GDI region each time, released after: the combine too makes
        // a new region and releases the old one.
        const double gdi = Best([] {}, [&] {
            HRGN dst = CreateRectRgn(0, 0, 0, 0);
            CombineRgn(dst, ga, gb, op.gdi);
            DeleteObject(dst);
        });
        char label[96];
        std::snprintf(label, sizeof label, "%s %s", name, op.name);
        Row(label, ours, gdi);
    }
}

// Region painting on the ellipse-xor-star region of a 2200 x 2200 24-bit
// bitmap, into a DIB section.  The highlight, made (the mask built) and
// cached (one BitBlt), against the plain GDI way of xoring a colour inside
// a region: the GDI region as clip and PatBlt(PATINVERT).  The paint
// through the region, 1:1 and at half size, against the GDI region as clip
// and StretchDIBits of the same pixels.  The outline against the GDI
// region calls it is made of, with FillRgn.
void PaintCases(const ZoraRgn *ellipse, const ZoraRgn *star) {
    constexpr int kSize = 2200;
    BitmapHandle pic{};
    if (K_CreateBitmap(&pic, kSize, kSize, 24, ORDER_BGR, 0) != RC_SUCCESS)
        return;
    for (int y = 0; y < kSize; ++y)
        for (int i = 0; i < pic.BytesPerLine; ++i)
            pic.Data[static_cast<size_t>(y) * pic.BytesPerLine + i] = static_cast<BYTE>(i * 7 + y * 3 + (i * y >> 6));
    Z_CopyZoraRgn(&pic.Region, const_cast<ZoraRgn *>(ellipse));
    ZoraRgn *add = nullptr;
    Z_CopyZoraRgn(&add, const_cast<ZoraRgn *>(star));
    zv::RgnCombine(&pic, nullptr, zv::OwnedRgn(add), RGN_MODE_XOR);
    HRGN g = ToGdi(pic.Region);
    RECT bounds;
    GetRgnBox(g, &bounds);
    zvtools::DibSection dib(kSize, kSize);
    const COLORREF colour = RGB(255, 128, 0);

    HBRUSH brush = CreateSolidBrush(colour);
    const double gdiXor = Best([] {}, [&] {
        SelectClipRgn(dib.dc, g);
        const HGDIOBJ old = SelectObject(dib.dc, brush);
        PatBlt(dib.dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, PATINVERT);
        SelectObject(dib.dc, old);
        SelectClipRgn(dib.dc, nullptr);
    });
    DeleteObject(brush);
    const double made = Best([&] { zv::RgnDeleteCaches(pic.Region); },
                             [&] { Z_ColorBitmapRgn(dib.dc, &pic, nullptr, colour); });
    const double cached = Best([] {}, [&] { Z_ColorBitmapRgn(dib.dc, &pic, nullptr, colour); });
    Row("Z_ColorBitmapRgn, mask made (vs clip+PatBlt)", made, gdiXor);
    Row("Z_ColorBitmapRgn, mask cached (vs clip+PatBlt)", cached, gdiXor);

    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    for (int half = 0; half < 2; ++half) {
        const int side = half ? kSize / 2 : kSize;
        const RECT dst{0, 0, side, side};
        HRGN shown = CreateRectRgn(0, 0, 0, 0);
        int mustDelete = 0;
        Z_GetResizedRgnHandle(&pic, nullptr, const_cast<RECT *>(&dst), &shown, &mustDelete);
        const double ours = Best([] {}, [&] { Z_PaintRgnDC(dib.dc, &pic, nullptr, nullptr, &dst, nullptr, SRCCOPY); });
        const double gdi = Best([] {}, [&] {
            SelectClipRgn(dib.dc, shown);
            SetStretchBltMode(dib.dc, COLORONCOLOR);
            StretchDIBits(dib.dc, 0, 0, side, side, 0, 0, kSize, kSize, pic.Data, &bi, DIB_RGB_COLORS, SRCCOPY);
            SelectClipRgn(dib.dc, nullptr);
        });
        if (mustDelete)
            DeleteObject(shown);
        Row(half ? "Z_PaintRgnDC 0.5x (vs clip+StretchDIBits)" : "Z_PaintRgnDC 1:1 (vs clip+StretchDIBits)", ours, gdi);
    }

    UINT type = 0;
    const double frame = Best([] {}, [&] { Z_FrameBitmapRgn(dib.dc, &pic, nullptr, type++); });
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    const double gdiFrame = Best([] {}, [&] {
        HRGN a = CreateRectRgn(0, 0, kSize + 2, kSize + 2), b = CreateRectRgn(0, 0, kSize + 2, kSize + 2),
             c = CreateRectRgn(0, 0, kSize + 2, kSize + 2);
        CombineRgn(a, g, nullptr, RGN_COPY), CombineRgn(b, g, nullptr, RGN_COPY), CombineRgn(c, g, nullptr, RGN_COPY);
        OffsetRgn(a, 2, 0), OffsetRgn(b, 0, 2), CombineRgn(a, a, b, RGN_AND);
        OffsetRgn(c, 1, 1), CombineRgn(c, c, a, RGN_XOR), OffsetRgn(c, -1, -1);
        FillRgn(dib.dc, c, red);
        DeleteObject(a), DeleteObject(b), DeleteObject(c);
    });
    DeleteObject(red);
    std::printf("%-44s %10.1f calls/s\n", "Z_FrameBitmapRgn ellipse xor star", 1.0 / frame);
    Row("Z_FrameBitmapRgn (vs its GDI region calls)", frame, gdiFrame);
    DeleteObject(g);
    K_FreeBitmap(&pic);
}

// A 4000 x 3000 24-bit bitmap with an ellipse region painted through the
// region, 1:1 and at half size, against the same paint without a region.
void PhotoPaintCases() {
    BitmapHandle pic{};
    if (K_CreateBitmap(&pic, 4000, 3000, 24, ORDER_BGR, 0) != RC_SUCCESS)
        return;
    for (int y = 0; y < 3000; ++y)
        for (int i = 0; i < pic.BytesPerLine; ++i)
            pic.Data[static_cast<size_t>(y) * pic.BytesPerLine + i] = static_cast<BYTE>(i * 7 + y * 3 + (i * y >> 6));
    const RECT oval{0, 0, 4000, 3000};
    Z_SetBitmapRgnEllipse(&pic, nullptr, const_cast<RECT *>(&oval), RGN_MODE_SET);
    ZoraRgn *ovalRgn = pic.Region;
    for (int half = 0; half < 2; ++half) {
        const int w = half ? 2000 : 4000, h = half ? 1500 : 3000;
        zvtools::DibSection dib(w, h);
        const RECT dst{0, 0, w, h};
        pic.Region = ovalRgn;
        const double ours = Best([] {}, [&] { Z_PaintRgnDC(dib.dc, &pic, nullptr, nullptr, &dst, nullptr, SRCCOPY); });
        pic.Region = nullptr;
        const double plain = Best([] {}, [&] { Z_PaintDC(dib.dc, &pic, nullptr, nullptr, &dst, nullptr, SRCCOPY); });
        Row(half ? "Z_PaintRgnDC 4000x3000 ellipse 0.5x (vs Z_PaintDC)" : "Z_PaintRgnDC 4000x3000 ellipse 1:1 (vs Z_PaintDC)",
            ours, plain);
    }
    pic.Region = ovalRgn;
    K_FreeBitmap(&pic);
}

// Stored region data of the 50k-run region there and back, against
// GetRegionData and ExtCreateRegion of the same rectangles.
void DataRoundTrip(const ZoraRgn *runs, HRGN gdiRuns) {
    BitmapHandle bm{};
    bm.Width = 20000;
    bm.Height = 1000;
    bm.Flags = BITMAP_ALLOCATED;
    Z_CopyZoraRgn(&bm.Region, const_cast<ZoraRgn *>(runs));
    std::vector<BYTE> block(static_cast<size_t>(Z_GetBitmapRgnData(&bm, nullptr, 0, nullptr)));
    const int size = static_cast<int>(block.size());
    const double ours = Best([] {}, [&] {
        Z_GetBitmapRgnData(&bm, nullptr, size, block.data());
        Z_SetBitmapRgnData(&bm, nullptr, size, block.data(), RGN_MODE_SET);
    });
    K_FreeRegion(bm.Region);
    const int saved = g_reps;
    g_reps = 1;  // seconds per call
    const double gdi = Best([] {}, [&] {
        GetRegionData(gdiRuns, static_cast<DWORD>(size), reinterpret_cast<RGNDATA *>(block.data()));
        DeleteObject(ExtCreateRegion(nullptr, static_cast<DWORD>(size), reinterpret_cast<RGNDATA *>(block.data())));
    });
    g_reps = saved;
    Row("50k runs data round trip (vs GetRegionData+ExtCreateRegion)", ours, gdi);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1)
        g_reps = std::max(1, std::atoi(argv[1]));
    std::printf("%-44s %13s %13s\n", "case", "zvdisp", "GDI");

    // A 2000 x 2000 ellipse and a 24-point star across it, both inside
    // the 2200 x 2200 bitmap (so that the combine's clip has nothing to do,
    // as CombineRgn clips nothing).
    HRGN gEllipse = CreateEllipticRgn(100, 100, 2100, 2100);
    HRGN gEllipse0 = CreateEllipticRgn(0, 0, 2000, 2000);
    POINT star[48];
    for (int i = 0; i < 48; ++i) {
        const double a = i * 3.14159265358979323846 / 24, rad = i % 2 ? 400 : 1100;
        star[i] = POINT{static_cast<LONG>(1100 + rad * std::cos(a)), static_cast<LONG>(1100 + rad * std::sin(a))};
    }
    HRGN gStar = CreatePolygonRgn(star, 48, WINDING);
    ZoraRgn *ellipse = FromGdi(gEllipse), *starRgn = FromGdi(gStar), *ellipse0 = FromGdi(gEllipse0);
    CombineCases("ellipse/star", ellipse, starRgn, gEllipse, gStar, 2200, 2200);

    // Two random regions of 50,000 runs.
    ZoraRgn *ra = RandomRuns(1), *rb = RandomRuns(2);
    const std::vector<RECT> rectsA = RectsOf(ra);
    HRGN ga = ToGdi(ra), gb = ToGdi(rb);
    std::printf("random regions: %zu and %zu runs\n", RunCount(ra), RunCount(rb));
    CombineCases("50k runs", ra, rb, ga, gb, 20000, 1000);

    // GDI region to runs: the library's conversion against GetRegionData,
    // the GDI call it starts with.
    {
        ZoraRgn *out = nullptr;
        std::vector<char> buf(GetRegionData(ga, 0, nullptr));
        const double ours = Best([&] { K_FreeRegion(out), out = nullptr; }, [&] { zv::RgnFromGdiRegion(ga, &out); });
        K_FreeRegion(out);
        const double gdi = Best([] {}, [&] {
            GetRegionData(ga, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA *>(buf.data()));
        });
        Row("50k runs GDI -> runs (vs GetRegionData)", ours, gdi);
    }
    // Runs to a GDI region (built in pieces of at most 4000 rectangles),
    // against one ExtCreateRegion of all the rectangles.
    {
        HRGN made = nullptr;
        const double ours = Best([&] { if (made) DeleteObject(made); }, [&] { made = ToGdi(ra); });
        DeleteObject(made);
        const int saved = g_reps;
        g_reps = 1;  // seconds per call
        const double gdi = Best([&] {}, [&] { DeleteObject(CreateFromRects(rectsA.data(), rectsA.size())); });
        g_reps = saved;
        Row("50k runs runs -> GDI (vs one ExtCreateRegion)", ours, gdi);
    }

    // Scale by 3: RgnScale against ExtCreateRegion with a scaling transform.
    {
        ZoraRgn *work = nullptr;
        const double ours = Best([&] { K_FreeRegion(work), Z_CopyZoraRgn(&work, ellipse); },
                                 [&] { zv::RgnScale(work, 3, 1, 3, 1); });
        K_FreeRegion(work);
        std::vector<RECT> rects = RectsOf(ellipse);
        std::vector<char> buf(GetRegionData(gEllipse, 0, nullptr));
        GetRegionData(gEllipse, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA *>(buf.data()));
        const XFORM three{3, 0, 0, 3, 0, 0};
        const double gdi = Best([] {}, [&] {
            DeleteObject(ExtCreateRegion(&three, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA *>(buf.data())));
        });
        Row("ellipse scale 3x (vs ExtCreateRegion xform)", ours, gdi);
    }

    // 30-degree rotation of the ellipse region on a 2000 x 2000 bitmap.
    {
        BitmapHandle bm{};
        bm.Width = 2000;
        bm.Height = 2000;
        bm.Flags = BITMAP_ALLOCATED;
        const double ours = Best([&] { K_FreeRegion(bm.Region), Z_CopyZoraRgn(&bm.Region, ellipse0); },
                                 [&] { zv::RgnRotateWithBitmap(&bm, 2000, 2000, 3000); });
        K_FreeRegion(bm.Region);
        std::vector<char> buf(GetRegionData(gEllipse0, 0, nullptr));
        GetRegionData(gEllipse0, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA *>(buf.data()));
        const float c = static_cast<float>(std::cos(3.14159265358979 / 6)), s = static_cast<float>(std::sin(3.14159265358979 / 6));
        const XFORM turn{c, s, -s, c, 0, 0};
        HRGN probe = ExtCreateRegion(&turn, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA *>(buf.data()));
        std::printf("%-44s %10.1f Mpixel/s of the 2000 x 2000 destination\n", "ellipse rotate 30 degrees", 4.0 / ours);
        if (probe) {
            DeleteObject(probe);
            const double gdi = Best([] {}, [&] {
                DeleteObject(ExtCreateRegion(&turn, static_cast<DWORD>(buf.size()), reinterpret_cast<RGNDATA *>(buf.data())));
            });
            Row("ellipse rotate 30 (vs ExtCreateRegion xform)", ours, gdi);
        }
    }

    PaintCases(ellipse, starRgn);
    PhotoPaintCases();
    DataRoundTrip(ra, ga);

    K_FreeRegion(ellipse);
    K_FreeRegion(ellipse0);
    K_FreeRegion(starRgn);
    K_FreeRegion(ra);
    K_FreeRegion(rb);
    for (HRGN h : {gEllipse, gEllipse0, gStar, ga, gb})
        DeleteObject(h);
    return 0;
}
