// The magnifying glass's cursors as resources of zvdisp.dll: 32 x 32
// monochrome with their hot spots, and the one a glass shows by default.
#include "dll/dll_api.h"

#include "windows/glass.h"

namespace {

TEST(LibraryCursors, RoundAndSquareLensesWithTheirHotSpots) {
    zvtest::Api api;
    const HMODULE lib = api.module;
    ASSERT_TRUE(lib && api.Z_StartMagGlass && api.Z_StopMagGlass);
    BitmapHandle pic = {};
    ASSERT_EQ(K_CreateBitmap(&pic, 16, 16, 24, ORDER_BGR, 0), RC_SUCCESS);
    const RECT dest{0, 0, 16, 16};
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    const struct {
        int id, ellipse;
        POINT hot;
    } cursors[] = {{25000, 1, {14, 13}}, {25001, 0, {12, 11}}};
    for (const auto &c : cursors) {
        SCOPED_TRACE(c.id);
        HCURSOR cur = static_cast<HCURSOR>(LoadImageA(lib, MAKEINTRESOURCEA(c.id), IMAGE_CURSOR, 0, 0, 0));
        ASSERT_NE(cur, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(cur, &info));
        EXPECT_EQ(info.xHotspot, static_cast<DWORD>(c.hot.x));
        EXPECT_EQ(info.yHotspot, static_cast<DWORD>(c.hot.y));
        EXPECT_EQ(info.hbmColor, nullptr) << "monochrome";
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, 32);
        EXPECT_EQ(mask.bmHeight, 64) << "AND and XOR masks of 32 rows";
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);  // none, unless the check above failed
        DestroyCursor(cur);
        // A glass started without a cursor shows this one over the window.
        ASSERT_EQ(api.Z_StartMagGlass(w, &pic, &dest, 10, 10, 100, 0, nullptr, 0, c.ellipse, 1, 0, 0, nullptr, 0, 0, 0, 0),
                  RC_SUCCESS);
        auto *g = static_cast<const zv::MagGlassRecord *>(GetPropA(w, "ZORAMAGDATA"));
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->Cursor, LoadCursorA(lib, MAKEINTRESOURCEA(c.id)));
        EXPECT_NE(g->Cursor, nullptr);
        EXPECT_EQ(api.Z_StopMagGlass(w), RC_SUCCESS);
    }
    DestroyWindow(w);
    K_FreeBitmap(&pic);
}

}  // namespace
