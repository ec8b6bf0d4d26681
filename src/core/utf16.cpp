// UTF-16 to UTF-8 and back, one character at a time into room reserved for the longest result.
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

static i32 is_continuation(u8 b) { return b >= 0x80 && b <= 0xBF; }

// Decodes the character at the front of p by the table: lead byte, continuation bytes, range.
static Utf8Char decode_complete(const u8* p, i64 n) {
    Utf8Char d = {REJECTED, {0xFFFD, 0}, 1, 1};
    u8 b0 = p[0];
    if (b0 < 0x80) return Utf8Char{DECODED, {b0, 0}, 1, 1};
    i64 need = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
    if (need == 0) return d;
    if (n < need) {
        d.status = INCOMPLETE;
        return d;
    }
    u32 c = b0 & (need == 2 ? 0x1F : 0x0F);
    for (i64 i = 1; i < need; i++) {
        if (!is_continuation(p[i])) return d;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (need == 2 && c < 0x80) return d;
    if (need == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) return d;
    if (need == 4 && (c < 0x10000 || c > 0x10FFFF)) return d;
    if (c < 0x10000) return Utf8Char{DECODED, {(u16)c, 0}, 1, need};
    c -= 0x10000;
    return Utf8Char{DECODED, {(u16)(0xD800 + (c >> 10)), (u16)(0xDC00 + (c & 0x3FF))}, 2, need};
}

// A cut-off sequence is kept only when some completion of it would decode: filling with the
// lowest and with the highest continuation byte covers every range test of the table.
Utf8Char utf8_decode(const u8* p, i64 n) {
    Utf8Char d = decode_complete(p, n);
    if (d.status != INCOMPLETE) return d;
    u8 low[4] = {0x80, 0x80, 0x80, 0x80}, high[4] = {0xBF, 0xBF, 0xBF, 0xBF};
    for (i64 i = 0; i < n; i++) low[i] = high[i] = p[i];
    if (decode_complete(low, 4).status == DECODED || decode_complete(high, 4).status == DECODED)
        return d;
    return Utf8Char{REJECTED, {0xFFFD, 0}, 1, 1};
}

i64 utf8_to_utf16(Str text, u16* out) {
    i64 n = 0;
    for (i64 i = 0; i < text.len;) {
        Utf8Char c = utf8_decode((const u8*)text.data + i, text.len - i);
        if (c.status == INCOMPLETE) c = Utf8Char{REJECTED, {0xFFFD, 0}, 1, 1};
        for (i64 k = 0; k < c.unit_count; k++) out[n++] = c.units[k];
        i += c.used;
    }
    return n;
}

i64 utf8_characters(Str text) {
    i64 n = 0;
    for (i64 i = 0; i < text.len; i++) n += (str_at(text, i) & 0xC0) != 0x80;
    return n;
}
