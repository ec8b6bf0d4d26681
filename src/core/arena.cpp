// The allocator's rare paths: arenas over blocks and reserved space, committing more of it, the
// out-of-memory stop, rewinding, and the poisoning of free bytes under the address sanitizer.
#include "core/arena.h"
#include "core/fail.h"
#include "core/platform.h"

#ifdef ARENA_POISONING
#include <sanitizer/asan_interface.h>
enum { ARENA_RED_ZONE = 256 };
// Poisons the free bytes right after cur; rewound memory up to old_cur is poisoned too.
static void arena_mark(const Arena* arena, const char* old_cur) {
    const char* end = arena->cur + ARENA_RED_ZONE < arena->end ? arena->cur + ARENA_RED_ZONE : arena->end;
    if (old_cur > end) end = old_cur;
    ASAN_POISON_MEMORY_REGION(arena->cur, (size_t)(end - arena->cur));
}
static void arena_unpoison(const void* p, i64 n) { ASAN_UNPOISON_MEMORY_REGION(p, (size_t)n); }
#else
static void arena_mark(const Arena*, const char*) {}
static void arena_unpoison(const void*, i64) {}
#endif

// The block is the new arena's from now on: what an earlier arena over it marked is forgotten.
Arena arena_over(void* block, i64 size) {
    char* base = (char*)block;
    Arena arena = {base, base, base + size, base + size, nullptr};
    arena_unpoison(base, size);
    arena_mark(&arena, base);
    return arena;
}

// Reserved space is new to the program: nothing in it has been marked.
Arena arena_over_region(Region* region, void* block, i64 size) {
    char* base = (char*)block;
    *region = Region{base, base + size};
    Arena arena = {base, base, base + size, base, region};
    return arena;
}

// Reserved space is made usable a few MiB at a time, on boundaries of huge pages, up to at least need.
enum { REGION_COMMIT_STEP = 4 << 20 };

static void region_commit(Region* region, const char* need) {
    uintptr_t step_end = ((uintptr_t)need + REGION_COMMIT_STEP - 1) & ~(uintptr_t)(REGION_COMMIT_STEP - 1);
    char* upto = step_end < (uintptr_t)region->end ? (char*)step_end : region->end;
    if (!platform_commit(region->committed, upto - region->committed)) fail_out_of_memory();
    region->committed = upto;
}

static i64 arena_padding(const Arena* arena, i64 align) { return (align - 1) & -(i64)(uintptr_t)arena->cur; }

// The halves meet on a boundary of the steps in which memory is made usable.
Arena arena_split(Arena* arena, Region* upper) {
    uintptr_t middle = (uintptr_t)arena->cur + (uintptr_t)(arena->end - arena->cur) / 2;
    char* mid = (char*)(middle & ~(uintptr_t)(REGION_COMMIT_STEP - 1));
    if (mid < arena->cur) mid = (char*)middle;
    char* end = arena->end;
    arena->end = mid;
    if (arena->ready > mid) arena->ready = mid;
    Region* lower = arena->region;
    if (!lower) return arena_over(mid, end - mid);
    char* usable = lower->committed > mid ? lower->committed : mid;
    if (lower->committed > mid) lower->committed = mid;
    lower->end = mid;
    *upper = Region{usable, end};
    return Arena{mid, mid, end, usable, upper};
}

// A request needs room for one element more than it asks for.
i32 arena_fits(const Arena* arena, i64 count, i64 size, i64 align) {
    return (arena->end - arena->cur - arena_padding(arena, align)) / size > count;
}

// The region is committed up to the end of the request; a request whose headroom passes the
// committed end comes here again until a later one commits more, which is rare.
char* arena_take_more(Arena* arena, i64 count, i64 size, i64 align) {
    i64 pad = arena_padding(arena, align);
    if (!arena_fits(arena, count, size, align)) fail_out_of_memory();
    i64 bytes = count * size;
    if (bytes < 0) fail("internal error: negative allocation size"_s);
    char* block = arena->cur + pad;
    arena->cur = block + bytes;
    if (arena->region) {
        if (arena->cur > arena->region->committed) region_commit(arena->region, arena->cur);
        arena->ready = arena->region->committed;
    }
    arena_unpoison(block, bytes);
    arena_mark(arena, arena->cur);
    return block;
}

void arena_rewind(Arena* arena, const void* p) {
    const char* point = (const char*)p;
    if (point < arena->base || point > arena->cur)
        fail("internal error: memory released outside its arena"_s);
    const char* old_cur = arena->cur;
    arena->cur = (char*)point;
    arena_mark(arena, old_cur);
}

Str str_join(Arena* arena, Str a, Str b, Str c) {
    char* bytes = arena_take(arena, a.len + b.len + c.len, 1, 1);
    if (a.len > 0) __builtin_memcpy(bytes, a.data, (size_t)a.len);
    if (b.len > 0) __builtin_memcpy(bytes + a.len, b.data, (size_t)b.len);
    if (c.len > 0) __builtin_memcpy(bytes + a.len + b.len, c.data, (size_t)c.len);
    return Str{a.len + b.len + c.len, bytes};
}

Str str_with_slashes(Arena* arena, Str s) {
    char* bytes = arena_take(arena, s.len, 1, 1);
    for (i64 i = 0; i < s.len; i++) bytes[i] = str_at(s, i) == '\\' ? '/' : (char)str_at(s, i);
    return Str{s.len, bytes};
}
