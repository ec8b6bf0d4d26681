// Byte-string slices, cuts, cursors and the string operations the program is built from.
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef int64_t i64;
typedef int32_t i32;
typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;

// A slice of bytes: never owning, never NUL-terminated. The zero value is the empty Str with no data.
struct Str {
    i64 len;           // number of bytes, never negative
    const char* data;  // first byte, or null
};

// The result of cutting a Str at the first occurrence of a byte.
struct Cut {
    i32 found;  // 1 when the separator occurs
    Str head;   // bytes before the separator, or the whole text
    Str tail;   // bytes after the separator; no data when not found
};

// A Str with a read position, for matching operators in place.
struct Cursor {
    Str text;  // the text being read
    i64 pos;   // index of the next byte to read
};

constexpr Str operator""_s(const char* s, size_t n) { return Str{(i64)n, s}; }

inline u8 str_at(Str s, i64 i) { return (u8)s.data[i]; }

i32 str_equals(Str a, Str b);
i32 str_equals_any(Str s, const Str* table, i64 count);
i32 str_starts_with(Str s, Str prefix);
i32 str_ends_with(Str s, Str suffix);
i64 str_find_any(Str s, Str set);
i32 str_is_version(Str s);
Str str_normalize_slashes(Str s);
Str str_take(Str s, i64 n);
Str str_skip(Str s, i64 n);
Str str_drop_last(Str s, i64 n);
Str str_strip_suffix(Str s, Str suffix);
Str str_trim_left(Str s);
Str str_trim(Str s);
Str str_strip_quotes(Str s, Str q);
Cut str_cut(Str s, u8 separator);
i32 cursor_match(Cursor* c, Str literal);
