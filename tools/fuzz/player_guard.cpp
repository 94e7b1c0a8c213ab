// GDI's own copies of metafile bytes, placed where a no-access page begins.
//
// SetMetaFileBitsEx and SetEnhMetaFileBits copy the bytes they get into
// their process heap and play from that copy, where a read past its end
// goes unseen.  While armed, gdi32's heap imports give a block of one of
// the armed sizes from pages of its own, ending where a no-access page
// begins; a read of that page is reported (OnPlayerGuard) and the page
// made readable, so the play goes on.  Where gdi32 takes its heap from
// elsewhere nothing is patched and nothing is guarded.
#include "tools/fuzz/fuzz.h"

#include <algorithm>

namespace zvfuzz {
namespace {

using AllocFn = LPVOID(WINAPI *)(HANDLE, DWORD, SIZE_T);
using FreeFn = BOOL(WINAPI *)(HANDLE, DWORD, LPVOID);
using ReAllocFn = LPVOID(WINAPI *)(HANDLE, DWORD, LPVOID, SIZE_T);
AllocFn g_alloc;
FreeFn g_free;
ReAllocFn g_realloc;

constexpr size_t kPage = 4096;
struct Block {
    uint8_t *base, *data, *guard;
    size_t size;
};
std::vector<Block> g_blocks;
std::vector<size_t> g_armed;

Block *Find(const void *p) {
    for (Block &b : g_blocks)
        if (b.data == p)
            return &b;
    return nullptr;
}
void Release(Block *b) {
    VirtualFree(b->base, 0, MEM_RELEASE);
    *b = g_blocks.back();
    g_blocks.pop_back();
}

LPVOID WINAPI GuardedAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
    if (std::find(g_armed.begin(), g_armed.end(), size) == g_armed.end())
        return g_alloc(heap, flags, size);
    const size_t span = (size + kPage - 1) / kPage * kPage;
    auto *base = static_cast<uint8_t *>(VirtualAlloc(nullptr, span + kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (!base || !VirtualProtect(base + span, kPage, PAGE_NOACCESS, &old))
        return base ? (VirtualFree(base, 0, MEM_RELEASE), g_alloc(heap, flags, size)) : nullptr;
    g_blocks.push_back(Block{base, base + span - size, base + span, size});
    return g_blocks.back().data;  // zero-filled, as HEAP_ZERO_MEMORY would give
}
BOOL WINAPI GuardedFree(HANDLE heap, DWORD flags, LPVOID p) {
    if (Block *b = Find(p))
        return Release(b), TRUE;
    return g_free(heap, flags, p);
}
LPVOID WINAPI GuardedReAlloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T size) {
    Block *b = Find(p);
    if (!b)
        return g_realloc(heap, flags, p, size);
    if (flags & HEAP_REALLOC_IN_PLACE_ONLY)
        return size <= b->size ? p : nullptr;
    void *to = g_alloc(heap, flags & ~HEAP_REALLOC_IN_PLACE_ONLY, size);
    if (to) {
        std::memcpy(to, b->data, std::min<size_t>(size, b->size));
        Release(b);
    }
    return to;
}

// Replaces gdi32's import of kernel32's `name` with `to`; the old entry.
void *Patch(const char *name, void *to) {
    auto *module = reinterpret_cast<uint8_t *>(GetModuleHandleA("gdi32.dll"));
    if (!module)
        return nullptr;
    const auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(module);
    const auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(module + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(module + dir.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<char *>(module + d->Name), "kernel32.dll") != 0 || !d->OriginalFirstThunk)
            continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(module + d->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(module + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(module + names->u1.AddressOfData)->Name, name))
                continue;
            DWORD old = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof(void *), PAGE_READWRITE, &old))
                return nullptr;
            void *was = reinterpret_cast<void *>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(to);
            VirtualProtect(&slots->u1.Function, sizeof(void *), old, &old);
            return was;
        }
    }
    return nullptr;
}

// Whether a WMF made while armed gets a guarded copy, freed through the
// patched import when deleted.
bool CopiesAreGuarded() {
    const WORD wmf[] = {1, 9, 0x0300, 12, 0, 0, 3, 0, 0, 3, 0, 0};  // header and end record
    bool made = false;
    HMETAFILE h;
    {
        const PlayerCopies copies{sizeof wmf};
        h = SetMetaFileBitsEx(sizeof wmf, reinterpret_cast<const BYTE *>(wmf));
        made = g_blocks.size() == 1;
    }
    DeleteMetaFile(h);
    return h && made && g_blocks.empty();
}

}  // namespace

bool GuardPlayerCopies() {
    if (g_alloc)
        return CopiesAreGuarded();
    g_alloc = reinterpret_cast<AllocFn>(Patch("HeapAlloc", reinterpret_cast<void *>(GuardedAlloc)));
    if (!g_alloc)
        return false;
    g_free = reinterpret_cast<FreeFn>(Patch("HeapFree", reinterpret_cast<void *>(GuardedFree)));
    g_realloc = reinterpret_cast<ReAllocFn>(Patch("HeapReAlloc", reinterpret_cast<void *>(GuardedReAlloc)));
    if (!g_free)  // a block must never reach the heap's own free
        Patch("HeapAlloc", reinterpret_cast<void *>(g_alloc)), g_alloc = nullptr;
    return g_alloc && CopiesAreGuarded();
}

PlayerCopies::PlayerCopies(std::initializer_list<size_t> sizes) { g_armed.assign(sizes.begin(), sizes.end()); }
PlayerCopies::~PlayerCopies() { g_armed.clear(); }

bool OnPlayerGuard(const void *address) {
    const auto *a = static_cast<const uint8_t *>(address);
    for (Block &b : g_blocks)
        if (a >= b.guard && a < b.guard + kPage) {
            DWORD old = 0;
            VirtualProtect(b.guard, kPage, PAGE_READONLY, &old);
            return true;
        }
    return false;
}

}  // namespace zvfuzz
