// Output writers: every byte passes the same line-start and buffer-full rules.
#include "output/output.h"

void flush_output(Output* out) {
    out->flush_fn(out->sink, out->length, out->buffer);
    out->length = 0;
}

static void start_line(Output* out) {
    if (out->indent < 0) out->indent = 0;
    i64 spaces = 4 * (i64)out->indent;
    if (spaces > OUTPUT_CAPACITY - out->length) flush_output(out);
    for (i64 i = 0; i < spaces; i += 4) __builtin_memcpy(out->buffer + out->length + i, "    ", 4);
    out->length += spaces;
    out->at_line_start = 0;
}

void put_byte(Output* out, u8 b) {
    if (out->at_line_start) start_line(out);
    if (out->length == OUTPUT_CAPACITY) flush_output(out);
    out->buffer[out->length++] = (char)b;
    if (b == '\n') out->at_line_start = 1;
}

// Appends bytes that hold no line feed, with the same line-start and buffer-full rules as put_byte.
static void write_plain(Output* out, const char* p, i64 n) {
    while (n > 0) {
        if (out->at_line_start) start_line(out);
        if (out->length == OUTPUT_CAPACITY) flush_output(out);
        i64 room = OUTPUT_CAPACITY - out->length;
        i64 k = n < room ? n : room;
        __builtin_memcpy(out->buffer + out->length, p, (size_t)k);
        out->length += k;
        p += k;
        n -= k;
    }
}

// Copies the runs between line feeds in bulk: the bytes are exactly those of put_byte for each.
void write_str(Output* out, Str s) {
    const char* p = s.data;
    i64 n = s.len;
    while (n > 0) {
        const void* lf = __builtin_memchr(p, '\n', (size_t)n);
        i64 run = lf ? (const char*)lf - p : n;
        write_plain(out, p, run);
        if (!lf) return;
        put_byte(out, '\n');
        p += run + 1;
        n -= run + 1;
    }
}

void write_line(Output* out, Str s) {
    write_str(out, s);
    put_byte(out, '\n');
}

void write_int(Output* out, i64 value) {
    uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
    char digits[20];
    i64 n = 0;
    do {
        digits[19 - n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) put_byte(out, '-');
    write_str(out, Str{n, digits + 20 - n});
}

void write_bool_line(Output* out, i32 value) { write_line(out, value ? "true"_s : "false"_s); }

// Bytes that a JSON string holds as they are: all but the quotation mark, backslash and controls.
struct JsonPlainBytes {
    u8 is_plain[256];
    constexpr JsonPlainBytes() : is_plain() {
        for (int b = 0x20; b < 256; b++) is_plain[b] = b != '"' && b != '\\';
    }
};
static constexpr JsonPlainBytes json_plain;

// The escape written for a byte that is not plain.
static Str json_escape(u8 b, char* scratch) {
    switch (b) {
    case '"': return "\\\""_s;
    case '\\': return "\\\\"_s;
    case 0x08: return "\\b"_s;
    case 0x09: return "\\t"_s;
    case 0x0A: return "\\n"_s;
    case 0x0C: return "\\f"_s;
    case 0x0D: return "\\r"_s;
    default: break;
    }
    const char* hex = "0123456789ABCDEF";
    scratch[0] = '\\';
    scratch[1] = 'u';
    scratch[2] = '0';
    scratch[3] = '0';
    scratch[4] = hex[b >> 4];
    scratch[5] = hex[b & 15];
    return Str{6, scratch};
}

// Nonzero when one of the eight bytes must be escaped: a control byte, '"' or '\\'.
static uint64_t json_escapes_in(uint64_t x) {
    const uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    uint64_t quote = x ^ (ones * '"'), backslash = x ^ (ones * '\\');
    uint64_t control = (x - ones * 0x20) & ~x;  // a byte below 0x20
    uint64_t quotes = (quote - ones) & ~quote;   // a byte equal to '"'
    uint64_t backslashes = (backslash - ones) & ~backslash;
    return (control | quotes | backslashes) & highs;
}

// Writes the escaped form of s into the buffer, which has room for six bytes for each byte of s:
// eight bytes at a time where none needs an escape.
static void escape_into_buffer(Output* out, Str s) {
    char* dst = out->buffer + out->length;
    i64 i = 0;
    while (i < s.len) {
        if (i + 8 <= s.len) {
            uint64_t x;
            __builtin_memcpy(&x, s.data + i, 8);
            __builtin_memcpy(dst, &x, 8);
            uint64_t escapes = json_escapes_in(x);
            i64 plain = escapes ? __builtin_ctzll(escapes) / 8 : 8;
            i += plain;
            dst += plain;
            if (plain == 8) continue;
        }
        u8 b = str_at(s, i++);
        if (json_plain.is_plain[b]) {
            *dst++ = (char)b;
            continue;
        }
        char scratch[6];
        Str escape = json_escape(b, scratch);
        __builtin_memcpy(dst, escape.data, (size_t)escape.len);
        dst += escape.len;
    }
    out->length = dst - out->buffer;
}

void write_json_str(Output* out, Str s) {
    put_byte(out, '"');
    i64 i = 0;
    while (i < s.len) {
        i64 room = (OUTPUT_CAPACITY - out->length) / 6;
        if (room > 0) {
            i64 n = room < s.len - i ? room : s.len - i;
            escape_into_buffer(out, Str{n, s.data + i});
            i += n;
            continue;
        }
        // Near the end of the buffer, byte by byte, so that it is flushed exactly when full.
        char scratch[6];
        u8 b = str_at(s, i++);
        Str piece = json_plain.is_plain[b] ? Str{1, s.data + i - 1} : json_escape(b, scratch);
        write_plain(out, piece.data, piece.len);
    }
    put_byte(out, '"');
}

void write_json_line(Output* out, Str s) {
    write_json_str(out, s);
    put_byte(out, '\n');
}

void write_str_list(Output* out, const StrNode* first, i64 count) {
    if (count == 0) {
        write_str(out, "[] (list empty)"_s);
        return;
    }
    write_line(out, "["_s);
    out->indent++;
    for (const StrNode* node = first; node; node = node->next) {
        if (node != first) write_line(out, ","_s);
        write_json_str(out, node->value);
    }
    out->indent--;
    put_byte(out, '\n');
    write_str(out, "]"_s);
}
