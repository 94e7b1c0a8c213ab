// Playback against a model of the state machine written from its
// definition, driven side by side over randomized animations: after every
// call the state, index, update rectangle and every target pixel agree.
// Frames and targets are stored top-down or bottom-up in every pairing.
#include "playback_support.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace pbtest;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb Entry(const RGBQUAD &q) { return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue}; }

// A frame as the model sees it: its fields and, per displayed pixel
// (rows top to bottom whatever the frame's row order), the raw value, the
// colour and whether its region selects it.
struct ModelFrame {
    BitmapHandle d;  // fields only (data pointer not used by the model)
    std::vector<RGBQUAD> pal;
    std::vector<uint32_t> raw;
    std::vector<Rgb> color;
    std::vector<bool> selected;
    RECT bounds;  // displayed bounds of the region, or the whole frame
    bool region;
};

// What the runs exercised, per frame and target row order (bottom-up 1):
// drawn with a region, drawn transparent, cleared, restored.
struct Coverage {
    int seen[2][2][4] = {};
    int &At(const ModelFrame &f, int targetOrient, int what) {
        return seen[f.d.Orientation == ORIENT_BOTTOM_LEFT][targetOrient == ORIENT_BOTTOM_LEFT][what];
    }
};

// Rectangle r of a bitmap h rows high moved between the displayed rows
// and the stored ones (the same move both ways).
RECT Rows(RECT r, int orient, int h) {
    return orient == ORIENT_BOTTOM_LEFT ? RECT{r.left, h - r.bottom, r.right, h - r.top} : r;
}

// The animation as shown: a frame sits upright with its top-left pixel at
// (Left, Top) of the displayed target, whatever the row order of either;
// disposal clears or restores that same displayed rectangle.  The target
// is kept as displayed raw values (index or 0xRRGGBB).
struct Model {
    int w, h, bits, orient;
    std::vector<RGBQUAD> pal;  // target palette (8 bits)
    std::vector<bool> tsel;    // target region, displayed (all true without)
    RECT tbounds;              // stored bounds of the target's region
    COLORREF background;
    std::vector<uint32_t> px;
    std::vector<ModelFrame> frames;
    int index = -1;
    unsigned state = 0;
    RECT update{0, 0, 0, 0};
    bool saved = false;
    std::vector<uint32_t> savedPx;  // the frame's displayed rectangle
    Coverage *cover;

    uint32_t ValueOf(Rgb c) const {
        return bits == 8 ? uint32_t(zvtest::NearestEntry(pal.data(), int(pal.size()), c.r, c.g, c.b))
                         : uint32_t(c.r << 16 | c.g << 8 | c.b);
    }
    uint32_t BackgroundValue() const {
        if (bits == 8 && (background >> 24) == 1)
            return background & 0xFF;
        return ValueOf(Rgb{GetRValue(background), GetGValue(background), GetBValue(background)});
    }
    // The update rectangle is kept in the target's stored rows.
    void Accumulate(RECT shown) {
        RECT r = Rows(shown, orient, h);
        r = RECT{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, w),
                 std::min<LONG>(r.bottom, h)};
        if (r.left >= r.right || r.top >= r.bottom)
            return;
        if (update.left >= update.right || update.top >= update.bottom)
            update = r;
        else
            update = RECT{std::min(update.left, r.left), std::min(update.top, r.top), std::max(update.right, r.right),
                          std::max(update.bottom, r.bottom)};
    }
    void AccumulateFrame(const ModelFrame &f) {
        RECT r = f.bounds;
        OffsetRect(&r, f.d.Left, f.d.Top);
        Accumulate(r);
    }
    bool Transparent(const ModelFrame &f, size_t i) const {
        const COLORREF t = f.d.TransparentColor;
        if (f.d.BitsPerPixel <= 8 && (t >> 24) == 1)
            return f.raw[i] == (t & ((1u << f.d.BitsPerPixel) - 1));
        return f.color[i] == Rgb{GetRValue(t), GetGValue(t), GetBValue(t)};
    }
    // Calls put(target pixel index, frame pixel index) over the part of
    // the frame's displayed rectangle inside the target.
    template <class Put> void ForFrameRect(const ModelFrame &f, Put put) const {
        for (int i = 0; i < f.d.Height; ++i)
            for (int j = 0; j < f.d.Width; ++j) {
                const int y = f.d.Top + i, x = f.d.Left + j;
                if (x >= 0 && x < w && y >= 0 && y < h)
                    put(size_t(y) * w + x, size_t(i) * f.d.Width + j);
            }
    }
    void Draw(const ModelFrame &f) {
        bool same = f.d.BitsPerPixel == bits;
        if (same && bits == 8)
            same = std::memcmp(f.pal.data(), pal.data(), 4 * std::min(f.pal.size(), pal.size())) == 0 &&
                   f.pal.size() <= pal.size();
        ForFrameRect(f, [&](size_t t, size_t k) {
            if (f.selected[k] && !((f.d.Flags & BITMAP_TRANSPARENT) && Transparent(f, k)))
                px[t] = same ? f.raw[k] : ValueOf(f.color[k]);
        });
        AccumulateFrame(f);
        cover->At(f, orient, 0) += f.region;
        cover->At(f, orient, 1) += (f.d.Flags & BITMAP_TRANSPARENT) != 0;
    }
    void Dispose(const ModelFrame &f) {
        if (f.d.DisposalMethod == 2) {
            ForFrameRect(f, [&](size_t t, size_t) {
                if (tsel[t])
                    px[t] = BackgroundValue();
            });
            AccumulateFrame(f);
            ++cover->At(f, orient, 2);
        } else if (f.d.DisposalMethod == 3 && saved) {
            ForFrameRect(f, [&](size_t t, size_t k) { px[t] = savedPx[k]; });
            saved = false;
            AccumulateFrame(f);
            ++cover->At(f, orient, 3);
        }
    }
    void Step() {
        switch (state) {
        case 0:
            for (size_t i = 0; i < px.size(); ++i)
                if (tsel[i])
                    px[i] = BackgroundValue();
            Accumulate(Rows(tbounds, orient, h));
            state = 1;
            return;
        case 1:
        case 9:
            ++index;
            state = unsigned(index) < frames.size() ? 2 : 10;
            return;
        case 10: index = 0, state = 2; return;
        case 5: return;
        }
        if (unsigned(index) >= frames.size())
            return;
        const ModelFrame &f = frames[size_t(index)];
        switch (state) {
        case 2:
            if (f.d.DisposalMethod == 3) {
                saved = true;
                savedPx.assign(size_t(f.d.Width) * f.d.Height, 0);
                ForFrameRect(f, [&](size_t t, size_t k) { savedPx[k] = px[t]; });
            }
            Draw(f);
            state = 4;
            return;
        case 4:
            state = f.d.Delay ? ((f.d.Flags & BITMAP_WAIT_INPUT) ? 7 : 6) : ((f.d.Flags & BITMAP_WAIT_INPUT) ? 5 : 8);
            return;
        case 6:
        case 7: return;  // delays are too long to end in a test
        case 8:
            Dispose(f);
            state = 9;
            return;
        }
    }
    void Cancel() {
        if (state >= 5 && state <= 7)
            state = 8;
    }
    void SetIndex(int i) {
        if (index > i)
            saved = false, state = 0, index = -1;
        while (index < i)
            Step(), Cancel();
    }
};

// The target's pixel at displayed row y.
uint32_t ShownPixel(const BitmapHandle &t, int y, int x) {
    const int row = t.Orientation == ORIENT_BOTTOM_LEFT ? t.Height - 1 - y : y;
    const BYTE *p = t.Data + size_t(row) * t.BytesPerLine;
    return t.BitsPerPixel == 8 ? p[x] : uint32_t(p[3 * x + 2] << 16 | p[3 * x + 1] << 8 | p[3 * x]);
}

void RandomPalette(std::mt19937 &rng, std::vector<RGBQUAD> &pal, int n) {
    pal.resize(size_t(n));
    for (int i = 0; i < n; ++i)  // distinct entries: red carries the index
        pal[size_t(i)] = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(i * 255 / std::max(n - 1, 1)), 0};
}

// Builds a random frame, stored top-down or bottom-up, into the list and
// its model.
void AddFrame(std::mt19937 &rng, Model &m, void *list) {
    ModelFrame f;
    const int kind = int(rng() % 4);  // 0 target palette, 1 other palette, 2 24-bit, 3 4-bit
    const int bits = kind == 2 ? 24 : kind == 3 ? 4 : 8;
    BitmapHandle b;
    const int fw = 1 + int(rng() % m.w), fh = 1 + int(rng() % m.h);
    const int orient = rng() % 2 ? ORIENT_BOTTOM_LEFT : ORIENT_TOP_LEFT;
    auto stored = [&](int y) { return orient == ORIENT_BOTTOM_LEFT ? fh - 1 - y : y; };
    ASSERT_EQ(K_CreateBitmap(&b, fw, fh, bits, ORDER_BGR, orient), RC_SUCCESS);
    if (bits <= 8) {
        if (kind == 0 && m.bits == 8)
            f.pal = m.pal;
        else
            RandomPalette(rng, f.pal, 1 << bits);
        f.pal.resize(std::min<size_t>(f.pal.size(), size_t(1) << bits));
        std::memcpy(b.Palette, f.pal.data(), 4 * f.pal.size());
        b.ColorCount = int(f.pal.size());
    }
    for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw; ++x) {
            BYTE *row = b.Data + size_t(stored(y)) * b.BytesPerLine;
            uint32_t raw;
            Rgb c;
            if (bits == 24) {
                const uint32_t v = rng() % 5 ? rng() & 0xFFFFFF : 0x102030;  // some repeat
                row[3 * x] = BYTE(v), row[3 * x + 1] = BYTE(v >> 8), row[3 * x + 2] = BYTE(v >> 16);
                raw = v, c = Rgb{int(v >> 16), int((v >> 8) & 0xFF), int(v & 0xFF)};
            } else {
                raw = rng() % f.pal.size();
                if (bits == 8)
                    row[x] = BYTE(raw);
                else
                    row[x / 2] = BYTE(x % 2 ? (row[x / 2] & 0xF0) | raw : (row[x / 2] & 0x0F) | raw << 4);
                c = Entry(f.pal[raw]);
            }
            f.raw.push_back(raw), f.color.push_back(c);
        }
    b.Left = int(rng() % (m.w + 6)) - 3;
    b.Top = int(rng() % (m.h + 6)) - 3;
    b.Delay = rng() % 2 ? 0 : 100000;
    b.DisposalMethod = rng() % 5;
    b.Flags |= (rng() % 3 ? 0 : BITMAP_WAIT_INPUT) | (rng() % 2 ? BITMAP_TRANSPARENT : 0);
    const size_t some = rng() % f.raw.size();
    b.TransparentColor = bits <= 8 && rng() % 2 ? 0x01000000u | f.raw[some]
                                                : RGB(f.color[some].r, f.color[some].g, f.color[some].b);
    if (rng() % 3 == 0) {
        RECT e{int(rng() % (fw / 2 + 1)) - 2, int(rng() % (fh / 2 + 1)) - 2, fw + int(rng() % 3), fh + int(rng() % 3)};
        Z_SetBitmapRgnEllipse(&b, nullptr, &e, RGN_MODE_SET);  // tiny ones may give no region
    }
    // The region is in stored pixels; the model keeps it as shown.
    f.bounds = b.Region ? RECT{fw, fh, 0, 0} : RECT{0, 0, fw, fh};
    for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw; ++x) {
            const bool in = !b.Region || Z_IsPtInBitmapRgn(&b, stored(y), x) == 1;
            f.selected.push_back(in);
            if (in && b.Region)
                f.bounds = RECT{std::min<LONG>(f.bounds.left, x), std::min<LONG>(f.bounds.top, y),
                                std::max<LONG>(f.bounds.right, x + 1), std::max<LONG>(f.bounds.bottom, y + 1)};
        }
    f.d = b;
    f.region = b.Region != nullptr;
    m.frames.push_back(f);
    ASSERT_EQ(K_InsertBitmapListItem(list, -1, &b), RC_SUCCESS);
}

TEST(PlaybackModel, RandomAnimationsComposeAsTheModelSays) {
    RegionTable table;
    zvtest::ResourceCheck check;
    std::mt19937 rng(2024);
    Coverage cover;
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        Model m;
        m.cover = &cover;
        m.w = 4 + int(rng() % 30), m.h = 4 + int(rng() % 20);
        m.bits = rng() % 2 ? 24 : 8;
        m.orient = rng() % 2 ? ORIENT_BOTTOM_LEFT : ORIENT_TOP_LEFT;
        BitmapHandle t;
        ASSERT_EQ(K_CreateBitmap(&t, m.w, m.h, m.bits, ORDER_BGR, m.orient), RC_SUCCESS);
        if (m.bits == 8) {
            RandomPalette(rng, m.pal, 2 + int(rng() % 60));
            std::memcpy(t.Palette, m.pal.data(), 4 * m.pal.size());
            t.ColorCount = int(m.pal.size());
        }
        m.background = m.bits == 8 && rng() % 2 ? 0x01000000u | uint32_t(rng() % m.pal.size()) : rng() & 0xFFFFFF;
        t.BackgroundColor = m.background;
        for (int i = 0; i < m.w * m.h; ++i)
            t.Data[size_t(i / m.w) * t.BytesPerLine + (i % m.w) * (m.bits / 8)] = BYTE(rng());
        m.px.resize(size_t(m.w) * m.h);
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                m.px[size_t(y) * m.w + x] = ShownPixel(t, y, x);
        m.tbounds = RECT{0, 0, m.w, m.h};
        if (rng() % 4 == 0) {
            m.tbounds = RECT{int(rng() % (m.w / 2)), int(rng() % (m.h / 2)), m.w - int(rng() % (m.w / 2)),
                             m.h - int(rng() % (m.h / 2))};
            ASSERT_EQ(Z_SetBitmapRgnRect(&t, nullptr, &m.tbounds, RGN_MODE_SET), RC_SUCCESS);
        }
        const RECT shown = Rows(m.tbounds, m.orient, m.h);
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                m.tsel.push_back(!t.Region ||
                                 (x >= shown.left && x < shown.right && y >= shown.top && y < shown.bottom));
        void *list = nullptr;
        ASSERT_EQ(K_CreateBitmapList(&list), RC_SUCCESS);
        const int frames = int(rng() % 6);
        for (int i = 0; i < frames; ++i)
            AddFrame(rng, m, list);
        PlaybackHandle h = nullptr;
        ASSERT_EQ(Z_CreatePlayback(&h, &t, list), RC_SUCCESS);
        for (int call = 0; call < 80; ++call) {
            const int what = int(rng() % 20);
            UINT state = 0;
            if (what == 0) {
                const int to = int(rng() % (frames + 2)) - 1;
                ASSERT_EQ(Z_SetPlaybackIndex(h, to), RC_SUCCESS);
                m.SetIndex(to);
            } else if (what <= 3) {
                ASSERT_EQ(Z_CancelPlaybackWait(h), RC_SUCCESS);
                m.Cancel();
            } else if (what == 4) {
                ASSERT_EQ(Z_ClearPlaybackUpdateRect(h), RC_SUCCESS);
                m.update = RECT{0, 0, 0, 0};
            } else {
                ASSERT_EQ(Z_ProcessPlayback(h, &state), RC_SUCCESS);
                m.Step();
                ASSERT_EQ(state, m.state);
            }
            SCOPED_TRACE(testing::Message() << "call " << call << " (" << what << "), state " << m.state << ", index "
                                            << m.index);
            int index = 0;
            RECT u;
            ASSERT_EQ(Z_GetPlaybackState(h, &state), RC_SUCCESS);
            ASSERT_EQ(Z_GetPlaybackIndex(h, &index), RC_SUCCESS);
            const int clear = what == 5;  // taking the rectangle may clear it
            ASSERT_EQ(Z_GetPlaybackUpdateRect(h, &u, clear), RC_SUCCESS);
            ASSERT_EQ(state, m.state);
            ASSERT_EQ(index, m.index);
            ASSERT_TRUE(EqualRect(&u, &m.update) || (IsRectEmpty(&u) && IsRectEmpty(&m.update)))
                << u.left << "," << u.top << "," << u.right << "," << u.bottom << " model " << m.update.left << ","
                << m.update.top << "," << m.update.right << "," << m.update.bottom;
            if (clear)
                m.update = RECT{0, 0, 0, 0};
            for (int y = 0; y < m.h; ++y)
                for (int x = 0; x < m.w; ++x)
                    ASSERT_EQ(ShownPixel(t, y, x), m.px[size_t(y) * m.w + x]) << "pixel " << x << "," << y;
        }
        void *back = nullptr;
        ASSERT_EQ(Z_DestroyPlayback(h, &back), RC_SUCCESS);
        EXPECT_EQ(back, list);
        K_DestroyBitmapList(list);
        K_FreeBitmap(&t);
    }
    for (int fo = 0; fo < 2; ++fo)
        for (int to = 0; to < 2; ++to)
            for (int what = 0; what < 4; ++what)
                EXPECT_GT(cover.seen[fo][to][what], 0) << "frame " << fo << " target " << to << " case " << what;
}

}  // namespace
