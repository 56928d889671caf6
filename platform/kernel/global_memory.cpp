// Global memory blocks: fixed blocks (the handle is the address) and moveable
// ones (an opaque handle that GlobalLock turns into an address, with a lock
// count). Every handle is checked against the table of live blocks, so a
// stale, freed or made-up handle is refused instead of being dereferenced.
#include <windows.h>

#include <cstdlib>
#include <unordered_map>

#include "kernel/global_memory.h"
#include "kernel/failure.h"

namespace {

struct Block {
    void *data = nullptr;
    SIZE_T size = 0;
    bool moveable = false;
    unsigned locks = 0;
};

struct Heap {
    std::unordered_map<uintptr_t, Block> blocks;
    uintptr_t next_moveable = 1;  // moveable handles are never reused
};

Heap &heap() {
    static Heap h;
    return h;
}

// Moveable handles: a tag in the top bits that no heap address carries (with
// 32-bit pointers, as in WebAssembly, the top quarter, above the 2 GiB heap).
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr uintptr_t kMoveableTag = uintptr_t(0x4B) << 48;
#else
constexpr uintptr_t kMoveableTag = uintptr_t(3) << 30;
#endif

Block *find(HGLOBAL handle) {
    auto it = heap().blocks.find(reinterpret_cast<uintptr_t>(handle));
    return it == heap().blocks.end() ? nullptr : &it->second;
}

}  // namespace

// Allocates a block (always zero-filled); GMEM_MOVEABLE gives a handle to lock.
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (kernel_creation_fails()) return nullptr;
    Block b;
    b.size = bytes;
    b.moveable = (flags & GMEM_MOVEABLE) != 0;
    if (bytes > 0 || !b.moveable) {  // a moveable block of 0 bytes has no memory behind it
        b.data = calloc(1, bytes > 0 ? bytes : 1);
        if (!b.data) return nullptr;
    }
    uintptr_t handle = b.moveable ? (kMoveableTag | heap().next_moveable++) : reinterpret_cast<uintptr_t>(b.data);
    heap().blocks[handle] = b;
    return reinterpret_cast<HGLOBAL>(handle);
}

// The block's address; a moveable block's lock count goes up.
LPVOID WINAPI GlobalLock(HGLOBAL handle) {
    Block *b = find(handle);
    if (!b) return nullptr;
    if (b->moveable && b->data) b->locks++;
    return b->data;
}

// Drops one lock; nonzero while the block stays locked, FALSE once unlocked
// (or when it was not locked). Fixed blocks are never locked: TRUE.
BOOL WINAPI GlobalUnlock(HGLOBAL handle) {
    Block *b = find(handle);
    if (!b) return FALSE;
    if (!b->moveable) return TRUE;
    if (b->locks == 0) return FALSE;
    b->locks--;
    return b->locks > 0;
}

// Frees a block, locked or not; NULL on success, the handle back on failure.
HGLOBAL WINAPI GlobalFree(HGLOBAL handle) {
    auto it = heap().blocks.find(reinterpret_cast<uintptr_t>(handle));
    if (it == heap().blocks.end()) return handle;
    free(it->second.data);
    heap().blocks.erase(it);
    return nullptr;
}

// The size asked for at allocation; 0 for an unknown handle.
SIZE_T WINAPI GlobalSize(HGLOBAL handle) {
    Block *b = find(handle);
    return b ? b->size : 0;
}

// Blocks allocated and not yet freed.
int kernel_live_global_blocks(void) { return (int)heap().blocks.size(); }
