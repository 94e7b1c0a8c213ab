// The pan window under Xvfb with real input: where the pan rectangle
// lands and how it rounds, dragging it, the notifications, closing from
// the system menu, a bitmap of another shape, and what stays behind.
#include "owner_window.h"

#include "windows/pan_window.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace {

using namespace zvtest;

struct Event {
    UINT code;
    RECT rect;
};

int __stdcall RecordEvent(HWND, HWND, UINT uCode, RECT *pRect, void *pData) {
    static_cast<std::vector<Event> *>(pData)->push_back(Event{uCode, pRect ? *pRect : RECT{-1, -1, -1, -1}});
    return 0;
}

bool EqualRects(const RECT &a, const RECT &b) { return EqualRect(&a, &b) != 0; }

// A 24-bit bitmap of one colour (pure blue: exact on palette devices too).
struct Picture {
    BitmapHandle b{};
    Picture(int w, int h, int orientation = 0) {
        K_CreateBitmap(&b, w, h, 24, ORDER_BGR, orientation);
        K_FillBitmap(&b, RGB(0, 0, 255));
    }
    ~Picture() { K_FreeBitmap(&b); }
};

const COLORREF kRed = RGB(255, 0, 0);

struct OwnObjectsCheck {
    LiveBlockCheck blocks;
    int windows = ThreadWindowCount();
    int objects[3] = {GdiObjectCount(0x08), GdiObjectCount(0x10), GdiObjectCount(0x30)};
    ~OwnObjectsCheck() {
        EXPECT_EQ(ThreadWindowCount(), windows);
        EXPECT_EQ(GdiObjectCount(0x08), objects[0]) << "palettes";
        EXPECT_EQ(GdiObjectCount(0x10), objects[1]) << "brushes";
        EXPECT_EQ(GdiObjectCount(0x30), objects[2]) << "pens";
    }
};

class PanWindow : public testing::Test {
protected:
    Picture picture{400, 200};
    OwnerWindow owner{&picture.b, RECT{0, 0, 400, 200}, 20, 20, 400, 200};
    std::vector<Event> events;
    HWND pan = nullptr;

    void TearDown() override {
        if (IsWindow(pan))
            DestroyWindow(pan);
    }
    int Create(int w = 300, int h = 300, int sysMenu = 1) {
        events.clear();
        const int rc = Z_CreatePanWindow(owner.Handle(), &picture.b, DISP_DEFAULT_MODE, 500, 40, w, h, "ZvPanTest",
                                         nullptr, nullptr, sysMenu, RecordEvent, &events);
        pan = events.empty() ? nullptr : FindWindowA("ZvPanTest", nullptr);
        return rc;
    }
    int Update(const RECT &display, UINT flags = DISP_DEFAULT_MODE) {
        return Z_UpdatePanWindow(pan, &picture.b, flags, kRed, "Pan", &display);
    }
    bool Saw(UINT code) const {
        return std::any_of(events.begin(), events.end(), [&](const Event &e) { return e.code == code; });
    }
    const zv::PanWindowRecord &Record() const { return *zv::GetPanRecord(pan); }
};

TEST_F(PanWindow, FitsThePicturePlacesTheRectangleAsRoundedAndDragsIt) {
    ASSERT_EQ(Create(), RC_SUCCESS);
    ASSERT_TRUE(pan);
    EXPECT_EQ(events.front().code, UINT(PAN_NOTIFY_CREATED));
    EXPECT_FALSE(IsWindowVisible(pan)) << "hidden until the first update";
    RECT client;
    GetClientRect(pan, &client);
    EXPECT_TRUE(EqualRects(client, RECT{0, 0, 300, 150})) << "400 x 200 into 300 x 300";

    // Random display rectangles of the image's shape, compared with the
    // visible part worked out in real numbers and rounded inwards.
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i) {
        const int dw = 50 + int(rng() % 1600), left = -int(rng() % 900) + 50, top = -int(rng() % 450) + 25;
        const RECT d{left, top, left + dw, top + dw / 2};
        ASSERT_EQ(Update(d), RC_SUCCESS);
        const auto scaled = [&](int v) { return std::trunc(v * 400.0 / dw); };
        const double vis[4] = {scaled(-left), scaled(-top), std::min(scaled(400 - left), 400.0),
                               std::min(scaled(200 - top), 200.0)};
        LONG r[4] = {LONG(std::ceil(vis[0] * 0.75)), LONG(std::ceil(vis[1] * 0.75)), LONG(std::floor(vis[2] * 0.75)),
                     LONG(std::floor(vis[3] * 0.75))};
        for (int a = 0; a < 2; ++a)
            if (r[a + 2] <= r[a]) {  // less than a pixel: the pixel before the near edge, or after it at 0
                r[a + 2] = r[a];
                r[a] > 0 ? --r[a] : ++r[a + 2];
            }
        const RECT want{r[0], r[1], r[2], r[3]}, &got = Record().PanRect;
        ASSERT_TRUE(EqualRects(got, want)) << "display " << left << "," << top << " width " << dw << ": got "
                                           << got.left << "," << got.top << "," << got.right << "," << got.bottom;
    }
    EXPECT_TRUE(IsWindowVisible(pan));

    // Twice the size, scrolled to the middle: the middle quarter, whose
    // outline is drawn in the rectangle colour and nothing else is.
    ASSERT_EQ(Update(RECT{-200, -100, 600, 300}, DISP_DEFAULT_MODE | PAN_REPAINT_ALL), RC_SUCCESS);
    EXPECT_EQ(Record().PanDisplayFlags, DISP_DEFAULT_MODE) << "the repaint bit is not kept";
    EXPECT_TRUE(EqualRects(Record().PanRect, RECT{75, 38, 225, 112}));
    SetWindowPos(pan, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    events.clear();
    Pixels px;
    ASSERT_TRUE(PumpUntil([&] { return Saw(PAN_NOTIFY_PAINTED) && (px = CaptureClient(pan)).At(75, 38) == 0xFF0000u; }))
        << "the outline follows the picture";
    int wrong = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 300; ++x) {
            const bool outline =
                x >= 75 && x <= 224 && y >= 38 && y <= 111 && (x == 75 || x == 224 || y == 38 || y == 111);
            wrong += px.At(x, y) != (outline ? 0xFF0000u : 0x0000FFu);
        }
    EXPECT_EQ(wrong, 0) << "pixels off the expected picture and outline";

    // Dragging: notified in bitmap pixels, pushed back inside the picture.
    events.clear();
    const auto moves = [&] {
        return std::count_if(events.begin(), events.end(), [](const Event &e) { return e.code == PAN_NOTIFY_MOVED_RECT; });
    };
    const auto lastMove = [&] {
        return std::find_if(events.rbegin(), events.rend(), [](const Event &e) { return e.code == PAN_NOTIFY_MOVED_RECT; })->rect;
    };
    Mouse(MOUSEEVENTF_LEFTDOWN, pan, 150, 75);
    ASSERT_TRUE(PumpUntil([&] { return moves() > 0; })) << "no notification on button down";
    EXPECT_TRUE(EqualRects(lastMove(), RECT{100, 50, 300, 149})) << "each edge x 400 / 300, truncated";
    EXPECT_EQ(Record().Dragging, 1);

    // Past the bottom right corner: pushed back inside the 300 x 150 picture.
    Mouse(0, pan, 400, 200);
    ASSERT_TRUE(PumpUntil([&] { return EqualRects(Record().PanRect, RECT{150, 76, 300, 150}); }))
        << "rectangle at " << Record().PanRect.left << "," << Record().PanRect.top;
    EXPECT_TRUE(EqualRects(lastMove(), RECT{200, 101, 400, 200}));
    Mouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([&] { return Record().Dragging == 0; }));
    EXPECT_NE(GetCapture(), pan);
    const auto before = moves();
    Mouse(0, pan, 10, 10);
    EXPECT_FALSE(PumpUntil([&] { return moves() > before; }, 200)) << "moved without the button";
    SendMessageA(pan, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Record().Dragging, 0);
    // Another window's palette change: the pan window realizes its own again
    // (when it has one) and repaints.
    ValidateRect(pan, nullptr);
    SendMessageA(pan, WM_PALETTECHANGED, WPARAM(owner.Handle()), 0);
    EXPECT_EQ(GetUpdateRect(pan, nullptr, FALSE) != 0, Record().PanPalette != nullptr);
}

// Closed from the system menu or destroyed, twice, the second time
// counted: kernel blocks, windows and the kinds of GDI object the pan
// window makes (the system's own regions, DCs and window surfaces come and
// go as it pleases under Wine).  A bitmap of another shape reshapes the
// window; no usable bitmap ends it.
TEST_F(PanWindow, ClosingReshapingAndEndingLeaveNothing) {
    std::unique_ptr<OwnObjectsCheck> check;
    for (int round = 0; round < 2; ++round) {
        check.reset(round ? new OwnObjectsCheck : nullptr);
        ASSERT_EQ(Create(), RC_SUCCESS);
        ASSERT_EQ(Update(RECT{0, 0, 400, 200}), RC_SUCCESS);
        ASSERT_TRUE(PumpUntil([&] { return Saw(PAN_NOTIFY_PAINTED); }));
        PostMessageA(pan, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(pan); }));
        EXPECT_EQ(events.back().code, UINT(PAN_NOTIFY_DESTROYED));

        ASSERT_EQ(Create(50, 20, 0), RC_SUCCESS);
        EXPECT_EQ(GetWindowLongA(pan, GWL_STYLE) & WS_SYSMENU, 0);
        EXPECT_EQ(Z_DestroyPanWindow(pan), RC_SUCCESS);
        EXPECT_FALSE(IsWindow(pan));
        EXPECT_EQ(events.back().code, UINT(PAN_NOTIFY_DESTROYED));
    }
    check.reset();
    ASSERT_EQ(Create(), RC_SUCCESS);
    // Refused updates: no width, no height or no display rectangle, no
    // pan window, a bitmap of width 0 (checked first).
    const RECT flat{5, 0, 5, 10}, thin{0, 5, 10, 5}, whole{0, 0, 400, 200}, d{0, 0, 400, 200};
    BitmapHandle empty{};
    const struct { HWND w; BitmapHandle *b; const RECT *d; } refused[] = {
        {pan, &picture.b, &flat}, {pan, &picture.b, &thin}, {pan, &picture.b, nullptr},
        {owner.Handle(), &picture.b, &whole}, {pan, &empty, &d}};
    for (const auto &r : refused)
        EXPECT_EQ(Z_UpdatePanWindow(r.w, r.b, 0, 0, nullptr, r.d), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_DestroyPanWindow(owner.Handle()), RC_INVALID_PARAMETER);
    EXPECT_TRUE(IsWindow(owner.Handle()));
    ShowWindow(owner.Handle(), SW_MINIMIZE);
    if (IsIconic(owner.Handle())) {
        EXPECT_EQ(Z_UpdatePanWindow(pan, &picture.b, 0, 0, nullptr, &whole), RC_INVALID_PARAMETER) << "owner minimized";
    }
    ShowWindow(owner.Handle(), SW_RESTORE);
    for (const HWND p : {HWND(nullptr), GetDesktopWindow()})  // no window; another process's
        EXPECT_EQ(Z_DestroyPanWindow(p), RC_INVALID_PARAMETER);
    EXPECT_EQ(CreateWindowA("ZvPanTest", "", 0, 0, 0, 9, 9, owner.Handle(), nullptr, nullptr, nullptr), nullptr)
        << "a pan window comes with its record";
    for (const HWND o : {reinterpret_cast<HWND>(0x12345), owner.Handle()})  // no window; an empty class name
        EXPECT_EQ(Z_CreatePanWindow(o, &picture.b, 0, 0, 0, 99, 99, o == owner.Handle() ? "" : "P", nullptr, nullptr, 1,
                                    nullptr, nullptr),
                  RC_INVALID_PARAMETER);
    Picture turned(200, 600, ORIENT_RIGHT_TOP);
    const RECT wide{0, 0, 600, 200};
    ASSERT_EQ(Z_UpdatePanWindow(pan, &turned.b, 0, kRed, nullptr, &wide), RC_SUCCESS);
    RECT client;
    GetClientRect(pan, &client);
    EXPECT_TRUE(EqualRects(client, RECT{0, 0, 300, 100})) << client.right << " x " << client.bottom;
    // A picture narrower than a pixel of the pan window: a click moves and
    // reports nothing.
    Picture thread(1, 3000);
    ASSERT_EQ(Z_UpdatePanWindow(pan, &thread.b, 0, kRed, nullptr, &d), RC_SUCCESS);
    events.clear();
    SendMessageA(pan, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 5));
    SendMessageA(pan, WM_LBUTTONUP, 0, MAKELPARAM(0, 5));
    EXPECT_FALSE(Saw(PAN_NOTIFY_MOVED_RECT));
    empty.Width = 5;  // not allocated
    for (BitmapHandle *gone : {&empty, static_cast<BitmapHandle *>(nullptr)}) {
        EXPECT_EQ(Z_UpdatePanWindow(pan, gone, 0, 0, nullptr, &d), RC_NO_BITMAP);
        EXPECT_FALSE(IsWindow(pan));
        EXPECT_EQ(events.back().code, UINT(PAN_NOTIFY_DESTROYED));
        ASSERT_EQ(Create(), RC_SUCCESS);
    }
    // Without a callback, with a cursor of the caller's: shown in the client
    // area, the arrow elsewhere.
    DestroyWindow(pan);
    const HCURSOR cross = LoadCursor(nullptr, IDC_CROSS);
    ASSERT_EQ(Z_CreatePanWindow(owner.Handle(), &picture.b, 0, 500, 40, 99, 99, "ZvPanTest", nullptr, cross, 1,
                                nullptr, nullptr),
              RC_SUCCESS);
    pan = FindWindowA("ZvPanTest", nullptr);
    ASSERT_EQ(Update(whole), RC_SUCCESS);
    UpdateWindow(pan);
    EXPECT_EQ(SendMessageA(pan, WM_SETCURSOR, WPARAM(pan), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), cross);
    EXPECT_EQ(SendMessageA(pan, WM_SETCURSOR, WPARAM(pan), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)), TRUE);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
}

}  // namespace
