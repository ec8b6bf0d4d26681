// Bump allocation over one block, and the string operations that allocate.
#pragma once
#include "core/str.h"

// Address space reserved at once and made usable as the arenas over it fill, so that memory follows the
// input however large it grows. Every copy of an arena over it shares this record.
struct Region {
    char* committed;  // end of the usable part, from the start of the space on
    char* end;        // one past the last reserved byte
};

// A bump allocator; copying it by value gives a scratch arena over the same free memory.
struct Arena {
    char* base;      // start of the block
    char* cur;       // first free byte
    char* end;       // one past the last byte
    char* ready;     // end of what is known to be usable: end for a usable block, else how far the
                     // region was committed when this arena (or the one it was copied from) last looked
    Region* region;  // the reserved space the block lies in, committed on demand; null for a usable block
};

// Under AddressSanitizer the bytes just past the last allocation are poisoned, so that a read or
// write running off what was handed out is reported even though the whole region is one block; every
// allocation then takes the path that marks them.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ARENA_POISONING 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ARENA_POISONING 1
#endif

Arena arena_over(void* block, i64 size);
// An arena over reserved space of which nothing is usable yet; the region record outlives it.
Arena arena_over_region(Region* region, void* block, i64 size);
// Gives the upper half of the arena's free space to a new arena, with the region record upper for
// it, so that the two grow apart: the input can then be read into one while the other is worked in.
Arena arena_split(Arena* arena, Region* upper);
// Whether arena_alloc with these arguments would succeed.
i32 arena_fits(const Arena* arena, i64 count, i64 size, i64 align);
// arena_take's rare path, out of line: the request passes what is known to be usable, so more of
// the region is made usable, or the program stops when the arena is full; and every request under
// the address sanitizer.
char* arena_take_more(Arena* arena, i64 count, i64 size, i64 align);

// arena_alloc without the zero-filling, for bytes the caller writes before anything reads them. The
// common case is a bump within usable memory, inlined wherever memory is taken; a request needs room
// for one element more than it asks for.
inline char* arena_take(Arena* arena, i64 count, i64 size, i64 align) {
#ifndef ARENA_POISONING
    char* block = arena->cur + ((align - 1) & -(i64)(uintptr_t)arena->cur);
    if (count >= 0 && (arena->ready - block) / size > count) {
        arena->cur = block + count * size;
        return block;
    }
#endif
    return arena_take_more(arena, count, size, align);
}

inline void* arena_alloc(Arena* arena, i64 count, i64 size, i64 align) {
    char* block = arena_take(arena, count, size, align);
    if (count < 0) __builtin_unreachable();  // arena_take stops the program first
    __builtin_memset(block, 0, (size_t)(count * size));
    return block;
}

void arena_rewind(Arena* arena, const void* p);

// The three texts one after another, in the arena.
Str str_join(Arena* arena, Str a, Str b, Str c);
// A copy of s with every backslash a slash.
Str str_with_slashes(Arena* arena, Str s);

// The copy overwrites the whole block, so it is not zero-filled first.
inline Str str_clone(Arena* arena, Str s) {
    char* block = arena_take(arena, s.len, 1, 1);
    if (s.data && s.len > 0) __builtin_memcpy(block, s.data, (size_t)s.len);
    return Str{s.len, block};
}
