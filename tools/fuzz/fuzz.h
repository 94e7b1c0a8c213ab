// zvfuzz: what the mutation run (fuzz.cpp) and its targets (targets.cpp)
// share.
#pragma once

#include "zvdisp.h"
#include "zvkern.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace zvfuzz {

using Bytes = std::vector<uint8_t>;

// xorshift64, seeded through a multiplicative mix.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s((seed + 1) * 0x9E3779B97F4A7C15ull) {}
    uint64_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    size_t Below(size_t n) { return n ? size_t(Next() % n) : 0; }
    bool OneIn(size_t n) { return Below(n) == 0; }
};

inline void Put(Bytes &b, size_t at, uint32_t v, int width) {
    for (int i = 0; i < width && at + i < b.size(); ++i)
        b[at + i] = uint8_t(v >> 8 * i);
}
inline uint32_t Get32(const Bytes &b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// A target: its valid inputs (made from the generator) and one case, which
// reports a wrong status or changed caller data through Expect and Fault.
struct Target {
    const char *Name;
    std::vector<Bytes> (*Seeds)(Rng &r);
    bool (*Run)(const Bytes &in, Rng &r);
};
extern const Target kTargets[4];  // meta, rgn, clip, bmp
void TargetsDone();               // releases what the seeds made

// What goes on the clipboard: the first byte of a clip input.
enum ClipKind { kClipDib, kClipRegion, kClipPalette, kClipEmf, kClipPict, kClipKinds };

// GDI's copies of metafile bytes (player_guard.cpp).  GuardPlayerCopies
// patches gdi32's heap imports once (false where it cannot); while a
// PlayerCopies lives, gdi32's heap blocks of its sizes end where a
// no-access page begins.  OnPlayerGuard says whether an address lies on
// such a page, and makes the page readable so that the play goes on.
bool GuardPlayerCopies();
struct PlayerCopies {
    explicit PlayerCopies(std::initializer_list<size_t> sizes);
    ~PlayerCopies();
    PlayerCopies(const PlayerCopies &) = delete;
    PlayerCopies &operator=(const PlayerCopies &) = delete;
};
bool OnPlayerGuard(const void *address);

// What the system's player did with a metafile the library made (fuzz.cpp):
// counted and the first inputs kept as <kind>-...bin, apart from the
// library's faults; GDI objects it left behind move the leak baseline.
enum PlayerKind { kPlayerOverread, kPlayerCrash, kPlayerLoop, kPlayerHang, kPlayerKinds };
void PlayerFinding(PlayerKind kind);
void PlayerLeftObjects(int count);
// A fault outside this program's modules while a metafile plays
// (targets.cpp): the context is turned back to before the play, which is
// abandoned; false when no play is under way.
bool OnPlayerCrash(CONTEXT *context);

bool Fault(const char *what, int rc);  // counts and keeps the input; false
// True when rc is one of codes, else a fault.
bool Expect(int rc, std::initializer_list<int> codes, const char *call);
Bytes ReadFileBytes(const std::string &path);

}  // namespace zvfuzz
