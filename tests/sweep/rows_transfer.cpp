// Sweep rows: device transfer (device-dependent bitmaps, screen capture,
// clipboard, printing) and metafiles.  Handles an export takes (a DDB, a
// metafile) are made by the call before the export and released by the
// row's Cleanup unless the export took them over.
#include "frame/library.h"
#include "region/region.h"
#include "sweep/sweep.h"
#include "tools/common/test_printer.h"

#include <cstring>
#include <string>

namespace zvsweep {
namespace {

const RECT kArea = Rect(0, 0, 20, 10);

// Frees a descriptor the call filled (argument i) when it succeeded.
CleanupFn FreeFilled(int i, intptr_t success = RC_SUCCESS) {
    return [=](Call &c, intptr_t r) {
        if (r == success && c.ptr[i])
            K_FreeBitmap(c.p<BitmapHandle>(i));
    };
}
void DeleteMeta(HANDLE h) {
    if (h && GetObjectType(h) == OBJ_ENHMETAFILE)
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(h));
    else if (h)
        DeleteMetaFile(static_cast<HMETAFILE>(h));
}
HANDLE MakeMeta(bool enhanced) {
    HDC dc = enhanced ? CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr) : CreateMetaFileA(nullptr);
    Rectangle(dc, 1, 1, 30, 20);
    return enhanced ? HANDLE(CloseEnhMetaFile(dc)) : HANDLE(CloseMetaFile(dc));
}

// Argument i gets a DDB (kept in extra[0]).
CallFn DdbArg(int i) {
    return [=](Call &c) -> intptr_t {
        HDC screen = GetDC(nullptr);
        c.extra[0] = reinterpret_cast<intptr_t>(CreateCompatibleBitmap(screen, 20, 10));
        ReleaseDC(nullptr, screen);
        c.val[i] = c.extra[0];
        return 0;
    };
}
// Argument i gets a metafile (kept in extra[0]).
CallFn MetaArg(int i, bool enhanced) {
    return [=](Call &c) -> intptr_t {
        c.extra[0] = reinterpret_cast<intptr_t>(MakeMeta(enhanced));
        c.val[i] = c.extra[0];
        return 0;
    };
}
// The MetaBitmap of argument i describes a new metafile (kept in extra[0]).
CallFn MetaRecordArg(int i) {
    return [=](Call &c) -> intptr_t {
        c.extra[0] = reinterpret_cast<intptr_t>(MakeMeta(true));  // an EMF's record needs no allocation
        return c.ptr[i] ? Z_GetMetafileInfo(reinterpret_cast<HANDLE>(c.extra[0]), c.p<MetaBitmap>(i)) : 0;
    };
}
// Releases the handle of extra[0] unless the call took it over.
CleanupFn ReleaseHandle(bool takenOnSuccess, CleanupFn also = nullptr) {
    return [=](Call &c, intptr_t r) {
        if (!(takenOnSuccess && r == RC_SUCCESS)) {
            const HANDLE h = reinterpret_cast<HANDLE>(c.extra[0]);
            if (GetObjectType(h) == OBJ_BITMAP)
                DeleteObject(h);
            else
                DeleteMeta(h);
        }
        if (also)
            also(c, r);
    };
}

// Makes the call's handle first (GDI objects made by a Prepare would be
// counted as the caller's), then calls the export.
CallFn After(CallFn make, CallFn fn) {
    return [=](Call &c) -> intptr_t {
        make(c);
        return fn(c);
    };
}

// Empties the clipboard after a copy that put something there (emptying
// it again after a refused copy makes GDI objects of Wine's own).
void EmptyClipboardOf(Call &c, intptr_t r) {
    HWND owner = c.wnd(0) ? c.wnd(0) : reinterpret_cast<HWND>(c.extra[1]);  // the fixture's, when null was passed
    if ((r == RC_SUCCESS || r == 1) && OpenClipboard(owner)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// A copy to the clipboard from a window the call makes (argument 0, kept
// in extra[1]); after it the clipboard is emptied, the GDI caches the mask
// left on the bitmap's region (argument 1) dropped and the window destroyed.
CallFn FromOwnWindow(CallFn copy) {
    return [=](Call &c) -> intptr_t {
        c.extra[1] = reinterpret_cast<intptr_t>(
            CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr));
        c.ptr[0] = reinterpret_cast<HWND>(c.extra[1]);
        return copy(c);
    };
}
void EndCopy(Call &c, intptr_t r) {
    EmptyClipboardOf(c, r);
    if (c.ptr[1] && c.bmp(1)->Region)
        zv::RgnDeleteCaches(c.bmp(1)->Region);
    DestroyWindow(reinterpret_cast<HWND>(c.extra[1]));
}

// A printer of the sweep's own (its port writes a file of its own; the
// default printer stays as it is, other tests print there), and a DC on it
// inside a document and page, made by the call: every row ends its job.
const char kSweepPrinter[] = "zvdisp sweep printer";
intptr_t EnsurePrinter(Call &) {
    static bool done = false;
    if (!done && zvtools::RunningUnderWine()) {
        zvtools::TestPrinter printer;
        std::string why;
        zvtools::InstallTestPrinter(&printer, kSweepPrinter, "LPT3:", "zvdisp-sweep-job.ps", false, &why);
        done = true;
    }
    return 0;
}
HDC StartJob() {
    HDC dc = CreateDCA("WINSPOOL", kSweepPrinter, nullptr, nullptr);
    DOCINFOA doc = {sizeof doc, "zvdisp sweep", nullptr, nullptr, 0};
    if (dc && StartDocA(dc, &doc) > 0)
        StartPage(dc);
    return dc;
}

// A small WMF's bytes and a file holding them.
struct WmfBytes {
    BYTE bytes[512];
};
intptr_t WmfBytesArg(Call &c) {
    HANDLE meta = MakeMeta(false);
    const UINT size = GetMetaFileBitsEx(static_cast<HMETAFILE>(meta), sizeof(WmfBytes), c.ptr[0]);
    DeleteMeta(meta);
    c.val[1] = size;
    return 0;
}
struct FileName {
    char name[MAX_PATH];
};
FileName WmfFile() {
    FileName f = {};
    GetTempPathA(MAX_PATH - 32, f.name);
    std::strcat(f.name, "zvdisp-sweep.wmf");
    return f;
}
intptr_t WriteWmfFile(Call &c) {
    WmfBytes b;
    HANDLE meta = MakeMeta(false);
    const UINT size = GetMetaFileBitsEx(static_cast<HMETAFILE>(meta), sizeof b, b.bytes);
    DeleteMeta(meta);
    HANDLE f = CreateFileA(WmfFile().name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, b.bytes, size, &written, nullptr);
    CloseHandle(f);
    (void)c;
    return 0;
}
void DeleteMetaRecord(Call &c, int i, intptr_t r) {
    if (r == RC_SUCCESS && c.ptr[i])
        Z_DeleteMetaBitmap(c.p<MetaBitmap>(i));
}

}  // namespace

ZV_SWEEP_ROWS(Transfer) {
    // Device-dependent bitmaps: a failure inside the DDB's paint is not seen.
    Add(Row("Z_ConvertToDDB", {Dc(kAny), Bmp(8, 0, 0)}, Fwd(Z_ConvertToDDB))
            .Returns(Result::Handle).OnFail(kAny)
            .Cleanup([](Call &, intptr_t r) { DeleteObject(reinterpret_cast<HGDIOBJ>(r)); }));
    Add(Row("Z_ChangeToDDB", {Dc(kAny), Bmp(24, 0, 0)}, Fwd(Z_ChangeToDDB))
            .Returns(Result::Handle)
            .Cleanup([](Call &, intptr_t r) { DeleteObject(reinterpret_cast<HGDIOBJ>(r)); }));
    Add(Row("Z_ConvertFromDDB", {Dc(kAny), Out(sizeof(BitmapHandle), kAny), Val(0), Val(0)},
            After(DdbArg(2), Fwd(Z_ConvertFromDDB)))
            .Cleanup(ReleaseHandle(false, FreeFilled(1))));
    Add(Row("Z_ChangeFromDDB", {Dc(kAny), Out(sizeof(BitmapHandle), kAny), Val(0), Val(0)},
            After(DdbArg(2), Fwd(Z_ChangeFromDDB)))
            .Cleanup(ReleaseHandle(true, FreeFilled(1))));
    // The DC is a memory DC of the call's own: a capture of the real screen
    // (the null DC) makes Wine keep GDI objects that later rows would count.
    Add(Row("Z_ScreenCaptureBitmap", {Val(0), Out(sizeof(BitmapHandle)), In(kArea)},
            [](Call &c) -> intptr_t {
                c.extra[1] = reinterpret_cast<intptr_t>(CreateCompatibleDC(nullptr));
                return Z_ScreenCaptureBitmap(reinterpret_cast<HDC>(c.extra[1]), c.p<BitmapHandle>(1), c.p<RECT>(2));
            })
            .Cleanup([](Call &c, intptr_t r) {
                FreeFilled(1)(c, r);
                DeleteDC(reinterpret_cast<HDC>(c.extra[1]));
            }));

    // Clipboard: a failure inside the DDB's paint is not seen (the copy
    // succeeds); a region that cannot be restored is dropped.
    // The copies make their windows themselves: Wine makes GDI objects of
    // its own on the first copy after printer and metafile DCs were used,
    // which the bad-input cases would count (all of these are refused).
    Add(Row("Z_CopyToClipboardExt", {Val(0), Bmp(8), Val(CLIP_ALL)}, FromOwnWindow(Fwd(Z_CopyToClipboardExt)))
            .Cleanup(EndCopy));
    Add(Row("Z_CopyToClipboard", {Val(0), Bmp(8)}, FromOwnWindow(Fwd(Z_CopyToClipboard)))
            .Returns(Result::Value).Cleanup(EndCopy));
    Add(Row("Z_CopyFromClipboard", {Wnd(kAny), Out(sizeof(BitmapHandle))}, Fwd(Z_CopyFromClipboard))
            .Returns(Result::Value).ChangesOnFail()
            .Prepare([](Call &c) -> intptr_t {
                BitmapHandle b = {};
                K_CreateBitmap(&b, 12, 9, 8, ORDER_BGR, ORIENT_BOTTOM_LEFT);
                RECT r = Rect(1, 1, 7, 5);
                Z_SetBitmapRgnRect(&b, nullptr, &r, RGN_MODE_SET);
                const int rc = Z_CopyToClipboardExt(c.wnd(0), &b, CLIP_EMPTY_FIRST | CLIP_DIB | CLIP_REGION);
                K_FreeBitmap(&b);
                return rc;
            })
            .Cleanup([](Call &c, intptr_t r) {
                FreeFilled(1, 1)(c, r);
                EmptyClipboardOf(c, RC_SUCCESS);
            }));
    Add(Row("Z_ClipboardReady", {}, [](Call &) -> intptr_t { return Z_ClipboardReady(); })
            .Returns(Result::Value).NoAlloc());

    // Printing on the sweep's printer; the job DC is the call's, ended
    // (and deleted) by the export with endDoc 1, on success and failure.
    Add(Row("Z_PrintBitmapExt", {Val(0), Bmp(8, kAny, 0), Val(2), Val(3), Val(20), Val(10), Val(1)},
            [](Call &c) -> intptr_t {
                return reinterpret_cast<intptr_t>(
                    Z_PrintBitmapExt(StartJob(), c.bmp(1), c.i(2), c.i(3), c.i(4), c.i(5), c.i(6)));
            })
            .Returns(Result::Handle).Prepare(EnsurePrinter));
    Add(Row("Z_PrintBitmapFast", {Val(0), Bmp(8, kAny, kAny), Val(2), Val(3), Val(20), Val(10), Val(1)},
            [](Call &c) -> intptr_t {
                return reinterpret_cast<intptr_t>(
                    Z_PrintBitmapFast(StartJob(), c.bmp(1), c.i(2), c.i(3), c.i(4), c.i(5), c.i(6)));
            })
            .Returns(Result::Handle).OnFail(kAny).Prepare(EnsurePrinter));
    Add(Row("Z_PrintBitmap", {Bmp(24, kAny, 0), Val(2), Val(3), Val(20), Val(10), Val(1)},
            [](Call &c) -> intptr_t {
                zv::GetPaintSettings()->PrintDC = StartJob();  // the thread's job, on the sweep's printer
                return reinterpret_cast<intptr_t>(Z_PrintBitmap(c.bmp(0), c.i(1), c.i(2), c.i(3), c.i(4), c.i(5)));
            })
            .Returns(Result::Handle).Prepare(EnsurePrinter));

    // Metafiles.
    struct ToMeta {
        const char *name;
        HANDLE(__stdcall *fn)(BitmapHandle *);
        bool change;
    };
    static const ToMeta kTo[] = {{"Z_ConvertToWMF", Z_ConvertToWMF, false},
                                 {"Z_ConvertToEMF", Z_ConvertToEMF, false},
                                 {"Z_ChangeToWMF", Z_ChangeToWMF, true},
                                 {"Z_ChangeToEMF", Z_ChangeToEMF, true}};
    for (const ToMeta &t : kTo) {
        Row row(t.name, {Bmp(t.change ? 24 : 8, 0, 0)},  // Change: no palette block a bad descriptor hides
                [fn = t.fn](Call &c) -> intptr_t { return reinterpret_cast<intptr_t>(fn(c.bmp(0))); });
        row.Returns(Result::Handle).OnFail(kAny).Cleanup([](Call &, intptr_t r) { DeleteMeta(reinterpret_cast<HANDLE>(r)); });
        if (t.change)
            row.ChangesOnFail();
        Add(row);
    }
    Add(Row("Z_ConvertToMetafile", {Bmp(24, 0, 0), Val(1)}, Fwd(Z_ConvertToMetafile))
            .Returns(Result::Handle).OnFail(kAny)
            .Cleanup([](Call &, intptr_t r) { DeleteMeta(reinterpret_cast<HANDLE>(r)); }));
    Add(Row("Z_ChangeToMetafile", {Bmp(24, 0, 0), Val(0)}, Fwd(Z_ChangeToMetafile))
            .Returns(Result::Handle).OnFail(kAny).ChangesOnFail()
            .Cleanup([](Call &, intptr_t r) { DeleteMeta(reinterpret_cast<HANDLE>(r)); }));
    struct FromMeta {
        const char *name;
        int(__stdcall *fn)(BitmapHandle *, HANDLE, int, int);
        bool change, enhanced;
    };
    static const FromMeta kFrom[] = {{"Z_ConvertFromMetafile", Z_ConvertFromMetafile, false, true},
                                     {"Z_ChangeFromMetafile", Z_ChangeFromMetafile, true, false},
                                     {"Z_ConvertFromWMF", Z_ConvertFromWMF, false, false},
                                     {"Z_ConvertFromEMF", Z_ConvertFromEMF, false, true},
                                     {"Z_ChangeFromWMF", Z_ChangeFromWMF, true, false},
                                     {"Z_ChangeFromEMF", Z_ChangeFromEMF, true, true}};
    for (const FromMeta &f : kFrom)
        Add(Row(f.name, {Out(sizeof(BitmapHandle)), Val(0), Val(16), Val(0)}, After(MetaArg(1, f.enhanced), Fwd(f.fn)))
                .Cleanup(ReleaseHandle(f.change, FreeFilled(0))));
    Add(Row("Z_GetMetafileInfo", {Val(0), Out(sizeof(MetaBitmap))},
            After(MetaArg(0, false), Fwd(Z_GetMetafileInfo)))
            .ChangesOnFail()  // the record's fields are written before the bits are read
            .Cleanup(ReleaseHandle(false)));
    Add(Row("Z_ParseMetaBits", {In(WmfBytes{}), Val(0), Out(sizeof(MetaBitmap)), Val(1)}, Fwd(Z_ParseMetaBits))
            .Prepare(WmfBytesArg).Cleanup([](Call &c, intptr_t r) { DeleteMetaRecord(c, 2, r); }));
    Add(Row("Z_LoadMetaBitmap", {In(WmfFile(), RC_FILE_OPEN), Out(sizeof(MetaBitmap))},
            Fwd(Z_LoadMetaBitmap))
            .Prepare(WriteWmfFile).Cleanup([](Call &c, intptr_t r) { DeleteMetaRecord(c, 1, r); }));
    Add(Row("Z_AllocateMetaBitmapBits", {In(MetaBitmap{}), OptOut(sizeof(void *)), Out(sizeof(UINT))},
            After(MetaRecordArg(0), Fwd(Z_AllocateMetaBitmapBits)))
            
            .ChangesOnFail()  // the size is written before the bits are allocated
            .Cleanup(ReleaseHandle(false, [](Call &c, intptr_t r) {
                if (r == RC_SUCCESS && c.ptr[1])
                    K_Free(*c.p<void *>(1));
            })));
    Add(Row("Z_CopyMetaBitmap", {Out(sizeof(MetaBitmap)), In(MetaBitmap{})},
            After(MetaRecordArg(1), Fwd(Z_CopyMetaBitmap)))
            .NoAlloc()
            .Cleanup(ReleaseHandle(false, [](Call &c, intptr_t r) { DeleteMetaRecord(c, 0, r); })));
    Add(Row("Z_PaintMetaBitmap", {Dc(kAny), In(MetaBitmap{}, kAny), In(kArea, kAny)},
            After(MetaRecordArg(1), Fwd(Z_PaintMetaBitmap)))
            .Returns(Result::Value).NoAlloc().Cleanup(ReleaseHandle(false)));
    Add(Row("Z_DeleteMetaBitmap", {In(MetaBitmap{}, kAny)},
            After(MetaRecordArg(0), [](Call &c) -> intptr_t {
                Z_DeleteMetaBitmap(c.p<MetaBitmap>(0));
                return 0;
            }))
            .Returns(Result::Value).NoAlloc()
            .Cleanup([](Call &c, intptr_t) {
                if (!c.ptr[0])  // bad input: the record was not given, its metafile stays
                    DeleteMeta(reinterpret_cast<HANDLE>(c.extra[0]));
            }));
}

}  // namespace zvsweep
