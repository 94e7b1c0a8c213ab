// zvfuzz: a seeded mutation run over the readers of data that comes from
// outside the process: metafile bytes and files (Z_ParseMetaBits,
// Z_LoadMetaBitmap), stored region data (Z_SetBitmapRgnData), the
// clipboard's formats (Z_CopyFromClipboard) and BMP files
// (K_LoadBitmapFile).  Valid inputs are made here, then mutated.
//
//   zvfuzz [--seconds S] [--seed N] [--target all|meta|rgn|clip|bmp[,...]] [--out DIR]
//   zvfuzz --replay DIR/crash-<target>-<seed>-<case>.bin
//
// A case must return a documented status, release what it made, leave no
// kernel block or GDI object behind and keep the caller's data on failure.
// A crash writes the input being tried to DIR/crash-<target>-<seed>-<case>.bin
// before the process ends (the kernel checks its heap all along); a leak
// writes leak-...bin, a heap fault heap-...bin and a wrong status or
// changed data fault-...bin, and each fails the exit code.  Each case draws
// its choices from (seed, target, case) alone, so --replay repeats one.
// A metafile the library made is also played, from GDI's copy of the bytes
// placed before a no-access page.  What the system's player does wrong is
// counted and kept apart, and does not fail the run: a read past its copy
// (overread-...bin), a fault of its own (playcrash-...bin; the play is
// abandoned), a record chain it would walk forever (loop-...bin, not
// played), GDI objects left behind.  A play that still does not end in 20 s
// keeps hang-...bin and ends the run.
#include "tools/fuzz/fuzz.h"

#include "tools/common/gdi_count.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace zvfuzz;

namespace {

// ---- Mutations -------------------------------------------------------

// Boundaries, and the sizes and versions of the headers read here.
constexpr uint32_t kBoundary[] = {0,      1,      2,      3,      4,      8,          9,          12,
                                  16,     40,     52,     56,     108,    124,        0x7F,       0x80,
                                  0xFF,   0x100,  0x300,  0x7FFF, 0x8000, 0xFFFF,     0x10000,    0x3FFFFFFF,
                                  0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
constexpr uint8_t kInteresting[] = {0, 0xFF, 0x7F, 0x80};

// Headers are where readers go wrong: half the positions fall in the first 64 bytes.
size_t Position(Rng &r, size_t n) { return r.OneIn(2) ? r.Below(std::min<size_t>(n, 64)) : r.Below(n); }

// One to four of: bit flip, interesting byte, 16/32-bit boundary value (or
// the size itself), truncation, extension, chunk duplication, random byte.
void Mutate(Bytes &b, Rng &r) {
    for (int k = 1 + int(r.Below(4)); k > 0; --k) {
        const size_t n = b.size();
        const int op = int(r.Below(8));
        if (!n && op != 5)
            continue;
        switch (op) {
        case 0: b[Position(r, n)] ^= uint8_t(1u << r.Below(8)); break;
        case 1: b[Position(r, n)] = kInteresting[r.Below(std::size(kInteresting))]; break;
        case 2:
        case 3: {
            const uint32_t v = r.OneIn(4) ? uint32_t(n + r.Below(3) - 1) : kBoundary[r.Below(std::size(kBoundary))];
            Put(b, Position(r, n) & ~size_t(1), v, op == 2 ? 2 : 4);
            break;
        }
        case 4: b.resize(r.Below(n)); break;
        case 5:
            for (size_t more = 1 + r.Below(64); more; --more)
                b.push_back(r.OneIn(2) ? 0 : uint8_t(r.Next()));
            break;
        case 6: {
            const size_t from = r.Below(n), len = 1 + r.Below(std::min<size_t>(n - from, 256));
            const Bytes chunk(b.begin() + from, b.begin() + from + len);
            b.insert(b.begin() + r.Below(n + 1), chunk.begin(), chunk.end());
            break;
        }
        default: b[Position(r, n)] = uint8_t(r.Next()); break;
        }
    }
    if (b.size() > (1u << 20))
        b.resize(1u << 20);
}

// ---- The case being tried, for the crash handlers ------------------------

struct Current {
    int target = 0;
    unsigned long long seed = 0, kase = 0;
    const Bytes *input = nullptr;
} g_cur;
std::string g_out = ".";
int g_faults = 0, g_player[kPlayerKinds] = {}, g_playerObjects = 0;

void WriteInput(const char *kind) {
    char path[MAX_PATH + 96];
    std::snprintf(path, sizeof path, "%s/%s-%s-%llu-%llu.bin", g_out.c_str(), kind, kTargets[g_cur.target].Name,
                  g_cur.seed, g_cur.kase);
    const HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        if (g_cur.input && !g_cur.input->empty())
            WriteFile(f, g_cur.input->data(), DWORD(g_cur.input->size()), &done, nullptr);
        CloseHandle(f);
    }
    std::fprintf(stderr, "fuzz: %s: input kept as %s\n", kind, path);
}

[[noreturn]] void Die(const EXCEPTION_RECORD *e) {
    std::fprintf(stderr, "fuzz: exception %08lx at %p (address %p), %s case %llu of seed %llu\n", e->ExceptionCode,
                 e->ExceptionAddress, e->NumberParameters >= 2 ? reinterpret_cast<void *>(e->ExceptionInformation[1]) : nullptr,
                 kTargets[g_cur.target].Name, g_cur.kase, g_cur.seed);
    WriteInput("crash");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) {
    }
}

// A fault in the library's own code is a crash even when some handler
// further up would swallow it; anything else is one when nobody handles it.
LONG CALLBACK OnException(EXCEPTION_POINTERS *p) {
    const DWORD code = p->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION && p->ExceptionRecord->NumberParameters >= 2 &&
        OnPlayerGuard(reinterpret_cast<const void *>(p->ExceptionRecord->ExceptionInformation[1]))) {
        PlayerFinding(kPlayerOverread);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    const bool fatal = code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
                       code == EXCEPTION_INT_DIVIDE_BY_ZERO || code == EXCEPTION_STACK_OVERFLOW ||
                       code == EXCEPTION_PRIV_INSTRUCTION || code == EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
    HMODULE m = nullptr;
    if (!fatal)
        return EXCEPTION_CONTINUE_SEARCH;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(p->ExceptionRecord->ExceptionAddress), &m);
    if (m && (m == GetModuleHandleA(nullptr) || m == GetModuleHandleA("zvdisp.dll") || m == GetModuleHandleA("zvkern.dll")))
        Die(p->ExceptionRecord);
    if (OnPlayerCrash(p->ContextRecord)) {
        PlayerFinding(kPlayerCrash);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}
LONG WINAPI OnUnhandled(EXCEPTION_POINTERS *p) { Die(p->ExceptionRecord); }

}  // namespace

bool zvfuzz::Fault(const char *what, int rc) {
    std::fprintf(stderr, "fuzz: %s case %llu: %s (status %d)\n", kTargets[g_cur.target].Name, g_cur.kase, what, rc);
    WriteInput("fault");
    ++g_faults;
    return false;
}
bool zvfuzz::Expect(int rc, std::initializer_list<int> codes, const char *call) {
    return std::find(codes.begin(), codes.end(), rc) != codes.end() || Fault(call, rc);
}

namespace {

// ---- The run ---------------------------------------------------------

Rng CaseRng(unsigned long long seed, int target, unsigned long long kase) {
    return Rng(seed * 0x100000001B3ull ^ (uint64_t(target) << 56) ^ kase);
}

// A seed mutated.  The clipboard's kind byte stays; of a metafile only the
// fields the library reads are mutated, in place (EMF bounds and frame, the
// picture's mapping mode and extents): its records go to the system's
// player, which leaves objects behind for a WMF or EMF that lies about its
// object count.
Bytes MakeCase(const std::vector<Bytes> &seeds, int target, Rng &r) {
    Bytes in = seeds[r.Below(seeds.size())];
    if (target != 2) {
        Mutate(in, r);
        return in;
    }
    const size_t from = in[0] == kClipEmf ? 9 : 1, to = in[0] == kClipEmf ? 41 : in[0] == kClipPict ? 13 : in.size();
    Bytes part(in.begin() + from, in.begin() + to);
    Mutate(part, r);
    if (to != in.size())
        part.resize(to - from);
    in.erase(in.begin() + from, in.begin() + to);
    in.insert(in.begin() + from, part.begin(), part.end());
    return in;
}

// Live kernel blocks, GDI objects and the kernel's heap faults (the run
// checks the heap) against the baseline; a leak or a heap fault keeps the
// input and moves the baseline.
struct Baseline {
    int blocks = 0, gdi = 0, heapFaults = 0;
    void Take() {
        blocks = K_GetLiveBlockCount(), gdi = zvtools::GdiObjectCount(), heapFaults = K_GetHeapFaultCount();
    }
} g_base;
bool Clean(Baseline &base) {
    const int blocks = K_GetLiveBlockCount(), gdi = zvtools::GdiObjectCount(), heap = K_GetHeapFaultCount();
    if (blocks == base.blocks && gdi == base.gdi && heap == base.heapFaults)
        return true;
    std::fprintf(stderr, "fuzz: %s case %llu left %d kernel blocks, %d GDI objects, %d heap faults\n",
                 kTargets[g_cur.target].Name, g_cur.kase, blocks - base.blocks, gdi - base.gdi,
                 heap - base.heapFaults);
    WriteInput(heap != base.heapFaults ? "heap" : "leak");
    base.Take();
    return false;
}

}  // namespace

void zvfuzz::PlayerFinding(PlayerKind kind) {
    static const char *const names[] = {"overread", "playcrash", "loop", "hang"},
                              *const what[] = {"read past its copy", "faulted (the play is abandoned)",
                                               "would walk it forever: not played", "did not end in 20 s"};
    std::fprintf(stderr, "fuzz: %s case %llu: the system's player %s\n", kTargets[g_cur.target].Name, g_cur.kase,
                 what[kind]);
    if (g_player[kind]++ < 5)
        WriteInput(names[kind]);
}

void zvfuzz::PlayerLeftObjects(int count) {
    g_base.gdi += count;
    g_playerObjects += count;
}

int main(int argc, char **argv) {
    double seconds = 10;
    unsigned long long seed = 1;
    std::string target = "all", replay;
    char which[16] = {};
    unsigned long long replayCase = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (a == "--seed")
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (a == "--target")
            target = argv[i + 1];
        else if (a == "--out")
            g_out = argv[i + 1];
        else if (a == "--replay")
            replay = argv[i + 1];
        else
            return std::fprintf(stderr, "usage: zvfuzz [--seconds S] [--seed N] [--target all|meta,rgn,clip,bmp] "
                                        "[--out DIR] [--replay FILE]\n"), 2;
    }
    K_SetHeapChecking(1);
    AddVectoredExceptionHandler(1, OnException);
    if (!GuardPlayerCopies())
        std::fprintf(stderr, "fuzz: gdi32's heap imports not found: metafiles play from unguarded copies\n");
    SetUnhandledExceptionFilter(OnUnhandled);
    CreateDirectoryA(g_out.c_str(), nullptr);

    std::vector<int> chosen;
    std::string name;
    if (!replay.empty()) {  // kind-target-seed-case.bin
        const size_t slash = replay.find_last_of("/\\");
        name = replay.substr(slash == std::string::npos ? 0 : slash + 1);
        char kind[16] = {};
        if (std::sscanf(name.c_str(), "%15[a-z]-%15[a-z]-%llu-%llu", kind, which, &seed, &replayCase) != 4)
            return std::fprintf(stderr, "fuzz: %s is not named kind-target-seed-case.bin\n", name.c_str()), 2;
        target = which;
    }
    for (int t = 0; t < 4; ++t)
        if (target == "all" || ("," + target + ",").find(std::string(",") + kTargets[t].Name + ",") != std::string::npos)
            chosen.push_back(t);
    if (chosen.empty())
        return std::fprintf(stderr, "fuzz: no target %s\n", target.c_str()), 2;

    // Valid inputs, made from the seed; then each once unmutated: warms GDI
    // up, and must pass.
    Rng seedRng(seed);
    std::vector<Bytes> seeds[4];
    for (int t = 0; t < 4; ++t)
        seeds[t] = kTargets[t].Seeds(seedRng);

    Baseline &base = g_base;
    zvtools::WarmUp();
    for (int t : chosen)
        for (const Bytes &s : seeds[t]) {
            Rng r(0);
            g_cur.target = t, g_cur.input = &s, g_cur.seed = seed, g_cur.kase = ~0ull;  // an unmutated seed
            kTargets[t].Run(s, r);
        }
    base.Take();

    if (!replay.empty()) {  // the case's choices again, over the kept input
        g_cur.target = chosen[0], g_cur.seed = seed, g_cur.kase = replayCase;
        Rng r = CaseRng(seed, g_cur.target, g_cur.kase);
        MakeCase(seeds[g_cur.target], g_cur.target, r);
        const Bytes in = ReadFileBytes(replay);
        g_cur.input = &in;
        const bool ok = kTargets[g_cur.target].Run(in, r) & Clean(base);
        std::printf("fuzz: replayed %s (%zu bytes): %s\n", name.c_str(), in.size(), ok ? "fine" : "fails");
        return ok ? 0 : 1;
    }

    // The targets in turn, 20 ms each, so that every one gets its share of
    // the time whatever its speed.
    unsigned long long cases[4] = {};
    int leaks = 0;
    double busy[4] = {};
    LARGE_INTEGER freq, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&now);
    const double tick = double(freq.QuadPart), end = double(now.QuadPart) + seconds * tick;
    while (double(now.QuadPart) < end)
        for (int t : chosen) {
            const LARGE_INTEGER t0 = now;
            do {
                g_cur.target = t, g_cur.seed = seed, g_cur.kase = cases[t]++;
                Rng r = CaseRng(seed, t, g_cur.kase);
                const Bytes in = MakeCase(seeds[t], t, r);
                g_cur.input = &in;
                kTargets[t].Run(in, r);
                leaks += !Clean(base);
                g_cur.input = nullptr;
                QueryPerformanceCounter(&now);
            } while (double(now.QuadPart - t0.QuadPart) < 0.02 * tick);
            busy[t] += double(now.QuadPart - t0.QuadPart) / tick;
        }
    TargetsDone();
    const int heapFaults = K_CheckHeap();

    for (int t : chosen)
        std::printf("fuzz: %s %.0f cases/s\n", kTargets[t].Name, busy[t] > 0 ? double(cases[t]) / busy[t] : 0.0);
    if (g_faults)
        std::printf("fuzz: %d cases gave a wrong status or changed the caller's data\n", g_faults);
    if (g_player[kPlayerOverread] || g_player[kPlayerCrash] || g_player[kPlayerLoop] || g_playerObjects)
        std::printf("fuzz: the system's player: %d reads past its copy, %d faults, %d record chains it would walk "
                    "forever, %d GDI objects left\n",
                    g_player[kPlayerOverread], g_player[kPlayerCrash], g_player[kPlayerLoop], g_playerObjects);
    char line[200];
    std::snprintf(line, sizeof line, "fuzz: %llu mutation cases run (meta %llu, rgn %llu, clip %llu, bmp %llu), 0 crashes, %d leaks, %d heap faults",
                  cases[0] + cases[1] + cases[2] + cases[3], cases[0], cases[1], cases[2], cases[3], leaks, heapFaults);
    std::printf("%s\n", line);
    const char *depth = std::getenv("ZV_DEPTH");
    if (FILE *f = std::fopen((std::string("fuzz-summary-") + (depth ? depth : "24") + ".txt").c_str(), "w")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
    return leaks || g_faults || heapFaults ? 1 : 0;
}
