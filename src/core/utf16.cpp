// UTF-16 to UTF-8, one character at a time into room reserved for the longest result.
#include "core/utf16.h"

i64 utf8_encode(u32 c, char* out) {
    if (c < 0x80) {
        out[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (char)(0xC0 | (c >> 6));
        out[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (char)(0xE0 | (c >> 12));
        out[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        out[2] = (char)(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (c >> 18));
    out[1] = (char)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (char)(0x80 | (c & 0x3F));
    return 4;
}

static i32 is_high_surrogate(u32 u) { return u >= 0xD800 && u <= 0xDBFF; }
static i32 is_low_surrogate(u32 u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The unit at index i of the text.
static u32 unit_at(Str bytes, Utf16Order order, i64 i) {
    u32 first = str_at(bytes, 2 * i), second = str_at(bytes, 2 * i + 1);
    return order == UTF16_LITTLE_ENDIAN ? first | second << 8 : first << 8 | second;
}

i64 utf16_decode(Str bytes, Utf16Order order, char* out) {
    i64 count = bytes.len / 2, i = 0, n = 0;
    while (i < count) {
        u32 u = unit_at(bytes, order, i++);
        u32 c = u;
        if (is_low_surrogate(u)) {
            c = 0xFFFD;
        } else if (is_high_surrogate(u)) {
            u32 next = i < count ? unit_at(bytes, order, i) : 0;
            if (is_low_surrogate(next)) c = 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00), i++;
            else c = 0xFFFD;
        }
        n += utf8_encode(c, out + n);
    }
    if (bytes.len % 2) n += utf8_encode(0xFFFD, out + n);
    return n;
}

Str utf16_bytes_to_utf8(Arena* arena, Str bytes, Utf16Order order) {
    if (bytes.len == 0) return Str{};
    char* out = arena_take(arena, 3 * ((bytes.len + 1) / 2), 1, 1);
    i64 n = utf16_decode(bytes, order, out);
    arena_rewind(arena, out + n);
    return Str{n, out};
}

Str utf16_to_utf8(Arena* arena, const u16* units, i64 count) {
    return utf16_bytes_to_utf8(arena, Str{2 * count, (const char*)units}, UTF16_NATIVE);
}
