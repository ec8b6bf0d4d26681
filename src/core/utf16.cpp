// UTF-16 to UTF-8, appended piece by piece so the text grows in place at the arena's end.
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

Str utf16_to_utf8(Arena* arena, const u16* units, i64 count) {
    Str result = {};
    i64 i = 0;
    while (i < count) {
        u32 u = units[i++];
        u32 c = u;
        if (is_low_surrogate(u)) {
            c = 0xFFFD;
        } else if (is_high_surrogate(u)) {
            if (i < count && is_low_surrogate(units[i])) c = 0x10000 + ((u - 0xD800) << 10) + (units[i++] - 0xDC00);
            else c = 0xFFFD;
        }
        char bytes[4];
        result = str_concat(arena, result, Str{utf8_encode(c, bytes), bytes});
    }
    return result;
}
