// String slice operations: tests, slicing, cutting, slash normalisation and cursor matching.
#include "core/str.h"
#include "core/bytes.h"
#include "core/block.h"
#include "core/fast_paths.h"

static i64 clamp_len(Str s, i64 n) { return n < 0 ? 0 : (n > s.len ? s.len : n); }

// Most comparisons are of short words that differ early, so a plain loop beats a library call.
static i32 bytes_equal(const char* a, const char* b, i64 n) {
    for (i64 i = 0; i < n; i++)
        if (a[i] != b[i]) return 0;
    return 1;
}

i32 str_equals(Str a, Str b) { return a.len == b.len && bytes_equal(a.data, b.data, a.len); }

i32 str_equals_any(Str s, const Str* table, i64 count) {
    for (i64 i = 0; i < count; i++)
        if (str_equals(s, table[i])) return 1;
    return 0;
}

i32 str_starts_with(Str s, Str prefix) {
    if (!s.data || prefix.len > s.len) return 0;
    return bytes_equal(s.data, prefix.data, prefix.len);
}

i32 str_ends_with(Str s, Str suffix) {
    if (suffix.len > s.len || !s.data) return 0;
    return bytes_equal(s.data + s.len - suffix.len, suffix.data, suffix.len);
}

// The general rule: each byte of s against each byte of the set.
static i64 find_any_general(Str s, Str set) {
    for (i64 i = 0; i < s.len; i++)
        for (i64 j = 0; j < set.len; j++)
            if (s.data[i] == set.data[j]) return i;
    return -1;
}

// The fast kernel: one byte is the C library's memchr, unless s is one block, which is tested at
// once as for a set of that byte twice; the program's other sets have two or three bytes, so a block
// of s at a time is tested against all of them at once.
[[gnu::always_inline]] static inline i64 find_any_fast(Str s, Str set) {
    if (set.len > 3) return find_any_general(s, set);
    if (set.len == 1 && s.len > BLOCK_BYTES) {
        const void* hit = __builtin_memchr(s.data, set.data[0], (size_t)s.len);
        return hit ? (const char*)hit - s.data : -1;
    }
    Block first = block_of((u8)set.data[0]), second = block_of((u8)set.data[set.len > 1]);
    if (set.len <= 2) return block_scan(s.data, s.len, [&](Block b, i64, i64) { return block_mask((b == first) | (b == second)); });
    Block third = block_of((u8)set.data[2]);
    return block_scan(s.data, s.len, [&](Block b, i64, i64) { return block_mask((b == first) | (b == second) | (b == third)); });
}

i64 str_find_any(Str s, Str set) {
    if (!s.data || !set.data || s.len == 0) return -1;
    return fast_or_general(find_any_fast, find_any_general)(s, set);
}

i32 str_is_version(Str s) {
    i32 need_digit = 1;
    for (i64 i = 0; i < s.len; i++) {
        u8 b = str_at(s, i);
        if (b >= '0' && b <= '9') need_digit = 0;
        else if (b == '.' && !need_digit) need_digit = 1;
        else return 0;
    }
    return !need_digit;
}

// The rewriting from byte start on, every byte before it kept as it is.
static Str normalize_slashes_from(Str s, i64 start) {
    char* bytes = const_cast<char*>(s.data);
    i64 w = start;
    for (i64 r = start; r < s.len; r++) {
        char b = bytes[r];
        if (b != '\\') {
            bytes[w++] = b;
        } else if (r + 1 < s.len && bytes[r + 1] == ' ') {
            bytes[w++] = ' ';
            r++;
        } else {
            bytes[w++] = '/';
            if (r + 1 < s.len && bytes[r + 1] == '\\') r++;
        }
    }
    return Str{w, s.data};
}

// The general rule: every byte is looked at and written.
static Str normalize_slashes_general(Str s) { return normalize_slashes_from(s, 0); }

// The fast kernel: the bytes before the first backslash stay as they are, so the rewriting starts
// there, and a text without one (most paths) is not written at all.
static Str normalize_slashes_fast(Str s) {
    i64 first = str_find_any(s, "\\"_s);
    return first < 0 ? s : normalize_slashes_from(s, first);
}

// Writes into the slice's own bytes: callers apply it only to text they own.
Str str_normalize_slashes(Str s) { return fast_or_general(normalize_slashes_fast, normalize_slashes_general)(s); }

Str str_take(Str s, i64 n) {
    if (s.len == 0) return s;
    return Str{clamp_len(s, n), s.data};
}

Str str_skip(Str s, i64 n) {
    if (s.len == 0) return s;
    i64 k = clamp_len(s, n);
    return Str{s.len - k, s.data + k};
}

Str str_drop_last(Str s, i64 n) {
    if (s.len == 0) return s;
    return Str{s.len - clamp_len(s, n), s.data};
}

Str str_strip_suffix(Str s, Str suffix) {
    return str_ends_with(s, suffix) ? str_drop_last(s, suffix.len) : s;
}

Str str_trim_left(Str s) {
    i64 i = 0;
    while (i < s.len && byte_is(str_at(s, i), BYTE_SPACE)) i++;
    return str_skip(s, i);
}

Str str_trim(Str s) {
    s = str_trim_left(s);
    i64 n = 0;
    while (n < s.len && byte_is(str_at(s, s.len - 1 - n), BYTE_SPACE)) n++;
    return str_drop_last(s, n);
}

Str str_strip_quotes(Str s, Str q) {
    if (str_starts_with(s, q)) s = str_skip(s, 1);
    if (str_ends_with(s, q)) s = str_drop_last(s, 1);
    return s;
}

// The separator is found by the C library's memchr (or the platform's own).
Cut str_cut(Str s, u8 separator) {
    Cut cut = {0, s, Str{0, nullptr}};
    if (!s.data || s.len == 0) return cut;
    const void* hit = __builtin_memchr(s.data, separator, (size_t)s.len);
    if (!hit) return cut;
    i64 i = (const char*)hit - s.data;
    cut.found = 1;
    cut.head = str_take(s, i);
    cut.tail = str_skip(s, i + 1);
    return cut;
}

i32 cursor_match(Cursor* c, Str literal) {
    i64 k = clamp_len(c->text, c->pos);
    Str rest = {c->text.len - k, c->text.data ? c->text.data + k : nullptr};
    if (!str_starts_with(rest, literal)) return 0;
    c->pos += literal.len;
    return 1;
}

