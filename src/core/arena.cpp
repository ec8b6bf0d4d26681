// The program's only allocator: zero-filled, aligned, one element of headroom per request.
#include "core/arena.h"
#include "core/fail.h"

Arena arena_over(void* block, i64 size) {
    char* base = (char*)block;
    return Arena{base, base, base + size};
}

static i64 arena_padding(const Arena* arena, i64 align) { return (align - 1) & -(i64)(uintptr_t)arena->cur; }

// A request needs room for one element more than it asks for.
i32 arena_fits(const Arena* arena, i64 count, i64 size, i64 align) {
    return (arena->end - arena->cur - arena_padding(arena, align)) / size > count;
}

void* arena_alloc(Arena* arena, i64 count, i64 size, i64 align) {
    i64 pad = arena_padding(arena, align);
    if (!arena_fits(arena, count, size, align))
        fail("out of memory: the input and the work on it must fit in 64 MiB"_s);
    i64 bytes = count * size;
    if (bytes < 0) fail("internal error: negative allocation size"_s);
    char* block = arena->cur + pad;
    arena->cur = block + bytes;
    __builtin_memset(block, 0, (size_t)bytes);
    return block;
}

void arena_rewind(Arena* arena, const void* p) {
    const char* point = (const char*)p;
    if (point < arena->base || point > arena->cur)
        fail("internal error: memory released outside its arena"_s);
    arena->cur = (char*)point;
}

Str str_clone(Arena* arena, Str s) {
    char* block = (char*)arena_alloc(arena, s.len, 1, 1);
    if (s.data && s.len > 0) __builtin_memcpy(block, s.data, (size_t)s.len);
    return Str{s.len, block};
}

Str str_concat(Arena* arena, Str a, Str b) {
    if (!(a.len > 0 && a.data + a.len == arena->cur)) a = str_clone(arena, a);
    str_clone(arena, b);
    return Str{a.len + b.len, a.data};
}
