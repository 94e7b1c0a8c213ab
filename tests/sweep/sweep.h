// The export sweep: one row per export of zvdisp.dll, saying how to call it
// on a valid case and what it may allocate.  From the same row the harness
// (sweep_test.cpp) fails each kernel allocation of the call in turn and
// generates bad input for every argument.
//
// A row:
//   ZV_SWEEP_ROWS(Family) {
//       Add(Row("Z_Name", {Bmp(), In(Rect(0, 0, 8, 8)), Enum(1, 0, 6)},
//               [](Call &c) -> intptr_t { return Z_Name(c.bmp(0), c.p<RECT>(1), c.u(2)); }));
//   }
// Arguments are made fresh for every call: Bmp gives a small bitmap with a
// region, Dc a memory DC with a 24-bit DIB, Wnd a window of this thread,
// In/Out a copy of the template or a scratch buffer.  Bad input: null in
// each pointer argument, unallocated and impossible descriptors in each
// bitmap argument, out-of-range values in each Enum.
#pragma once

#include "support.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <type_traits>
#include <utility>
#include <vector>

namespace zvsweep {

// Any result is defined (bad input that the export tolerates).
constexpr int kAny = 0x7FFFFFF0;

enum class Kind : uint8_t { Bitmap, Dc, Wnd, In, OptIn, Out, OptOut, Enum, Value, Rgn };
enum class Result : uint8_t { Status, Handle, Value };

struct Arg {
    explicit Arg(Kind k) : kind(k) {}
    Kind kind;
    int nullCode = RC_INVALID_PARAMETER;  // expected when the pointer is null
    int badCode = kAny;                   // expected for an unallocated descriptor / out-of-range value
    int bits = 24;                        // Bitmap: depth of the fixture
    intptr_t value = 0;                   // Enum, Value: the valid value
    int lo = 0, hi = 0;                   // Enum: the valid range
    std::vector<uint8_t> data;            // In: template; Out: size
    bool handle = false;                  // Out: receives a handle (its value differs from call to call)
};

// One call's arguments, made fresh for each call.
struct Call {
    void *ptr[16] = {};
    intptr_t val[16] = {};
    intptr_t extra[4] = {};  // for prepare/cleanup of a row (e.g. a window it made)
    BitmapHandle *bmp(int i) const { return static_cast<BitmapHandle *>(ptr[i]); }
    template <class T>
    T *p(int i) const { return static_cast<T *>(ptr[i]); }
    HDC dc(int i) const { return static_cast<HDC>(ptr[i]); }
    HWND wnd(int i) const { return static_cast<HWND>(ptr[i]); }
    int i(int k) const { return static_cast<int>(val[k]); }
    UINT u(int k) const { return static_cast<UINT>(val[k]); }
};

using CallFn = std::function<intptr_t(Call &)>;

// Argument i of a call as parameter type T: a pointer from ptr[i] (from
// val[i] when the row passes it as a value), anything else from val[i].
template <class T>
T ArgAs(const Call &c, size_t i) {
    if constexpr (std::is_pointer_v<T>)
        return static_cast<T>(c.ptr[i] ? c.ptr[i] : reinterpret_cast<void *>(c.val[i]));
    else
        return static_cast<T>(c.val[i]);
}
template <class R, class... A, size_t... Slot>
CallFn FwdSlots(R(__stdcall *fn)(A...), std::index_sequence<Slot...>) {
    return [fn](Call &c) -> intptr_t {
        const R r = fn(ArgAs<A>(c, Slot)...);
        if constexpr (std::is_pointer_v<R>)
            return reinterpret_cast<intptr_t>(r);
        else
            return static_cast<intptr_t>(r);
    };
}
// The call of a row whose arguments are the export's, in order; FwdAt
// names the argument of each parameter.
template <class R, class... A>
CallFn Fwd(R(__stdcall *fn)(A...)) {
    return FwdSlots(fn, std::index_sequence_for<A...>{});
}
template <size_t... Slot, class R, class... A>
CallFn FwdAt(R(__stdcall *fn)(A...)) {
    return FwdSlots(fn, std::index_sequence<Slot...>{});
}
using CleanupFn = std::function<void(Call &, intptr_t result)>;

struct Row {
    const char *name;
    std::vector<Arg> args;
    CallFn call;
    Result result = Result::Status;
    bool allocates = true;               // false: the call must make no kernel allocation
    int failCode = RC_NO_MEMORY;         // when an allocation fails (Handle: null; kAny: tolerated)
    bool changesOnFail = false;          // documented: a failed call keeps some changes
    CallFn prepare;                      // before the counts are taken (optional)
    CleanupFn cleanup;                   // after a call: release what it returned (optional)
    Row(const char *n, std::vector<Arg> a, CallFn f) : name(n), args(std::move(a)), call(std::move(f)) {}
    Row &Returns(Result r) { result = r; if (r == Result::Handle) failCode = 0; return *this; }
    Row &NoAlloc() { allocates = false; return *this; }
    Row &OnFail(int code) { failCode = code; return *this; }
    Row &ChangesOnFail() { changesOnFail = true; return *this; }
    Row &Prepare(CallFn f) { prepare = std::move(f); return *this; }
    Row &Cleanup(CleanupFn f) { cleanup = std::move(f); return *this; }
};

std::vector<Row> &Rows();
inline void Add(Row r) { Rows().push_back(std::move(r)); }

struct Registrar {
    explicit Registrar(void (*f)()) { f(); }
};
#define ZV_SWEEP_ROWS(family)                                      \
    static void SweepRows_##family();                              \
    static ::zvsweep::Registrar sweep_registrar_##family(SweepRows_##family); \
    static void SweepRows_##family()

// Argument makers.
inline Arg Bmp(int bits = 24, int nullCode = RC_NO_BITMAP, int unallocatedCode = RC_NO_BITMAP) {
    Arg a(Kind::Bitmap);
    a.bits = bits, a.nullCode = nullCode, a.badCode = unallocatedCode;
    return a;
}
inline Arg Dc(int nullCode = RC_INVALID_PARAMETER) { Arg a(Kind::Dc); a.nullCode = nullCode; return a; }
inline Arg Wnd(int nullCode = RC_INVALID_PARAMETER) { Arg a(Kind::Wnd); a.nullCode = nullCode; return a; }
template <class T>
Arg In(const T &templ, int nullCode = RC_INVALID_PARAMETER) {
    Arg a(Kind::In);
    a.nullCode = nullCode;
    a.data.assign(reinterpret_cast<const uint8_t *>(&templ), reinterpret_cast<const uint8_t *>(&templ) + sizeof templ);
    return a;
}
template <class T>
Arg OptIn(const T &templ) { Arg a = In(templ, kAny); a.kind = Kind::OptIn; return a; }
inline Arg OptNull() { Arg a(Kind::OptIn); a.nullCode = kAny; return a; }  // passed as null
inline Arg Out(size_t size, int nullCode = RC_INVALID_PARAMETER) {
    Arg a(Kind::Out);
    a.nullCode = nullCode;
    a.data.resize(size);
    return a;
}
inline Arg OptOut(size_t size) { Arg a = Out(size, kAny); a.kind = Kind::OptOut; return a; }
inline Arg OutHandle(int nullCode = RC_INVALID_PARAMETER) {
    Arg a = Out(sizeof(HANDLE), nullCode);
    a.handle = true;
    return a;
}
inline Arg Enum(intptr_t valid, int lo, int hi, int badCode = RC_INVALID_PARAMETER) {
    Arg a(Kind::Enum);
    a.value = valid, a.lo = lo, a.hi = hi, a.badCode = badCode;
    return a;
}
inline Arg Val(intptr_t v) { Arg a(Kind::Value); a.value = v; return a; }
// A region (ZoraRgn *) of a bitmap that the fixture keeps.
inline Arg Rgn() { Arg a(Kind::Rgn); a.nullCode = kAny; return a; }

inline RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

// Caller rows for the paints from caller rows: a 24 x 16 24-bit bitmap's
// (72 bytes each), with room to spare.
struct Rows16 {
    uint8_t bytes[16 * 48];
};
inline Rows16 SomeRows() {
    Rows16 rows = {};
    for (size_t i = 0; i < sizeof rows.bytes; ++i)
        rows.bytes[i] = static_cast<uint8_t>(i * 7);
    return rows;
}

}  // namespace zvsweep
