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
    Region* region;  // the reserved space the block lies in, committed on demand; null for a usable block
};

Arena arena_over(void* block, i64 size);
// An arena over reserved space of which nothing is usable yet; the region record outlives it.
Arena arena_over_region(Region* region, void* block, i64 size);
// Whether arena_alloc with these arguments would succeed.
i32 arena_fits(const Arena* arena, i64 count, i64 size, i64 align);
void* arena_alloc(Arena* arena, i64 count, i64 size, i64 align);
// arena_alloc without the zero-filling, for bytes the caller writes before anything reads them.
char* arena_take(Arena* arena, i64 count, i64 size, i64 align);
void arena_rewind(Arena* arena, const void* p);
Str str_clone(Arena* arena, Str s);
Str str_concat(Arena* arena, Str a, Str b);
