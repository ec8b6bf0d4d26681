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
    __builtin_memset(out->buffer + out->length, ' ', (size_t)spaces);
    out->length += spaces;
    out->at_line_start = 0;
}

void put_byte(Output* out, u8 b) {
    if (out->at_line_start) start_line(out);
    if (out->length == OUTPUT_CAPACITY) flush_output(out);
    out->buffer[out->length++] = (char)b;
    if (b == '\n') out->at_line_start = 1;
}

// Copies runs without line feeds in bulk; a line feed and the byte after it take the byte path,
// so the result is exactly that of put_byte for every byte.
void write_str(Output* out, Str s) {
    i64 i = 0;
    while (i < s.len) {
        if (out->at_line_start || out->length == OUTPUT_CAPACITY || s.data[i] == '\n') {
            put_byte(out, str_at(s, i++));
            continue;
        }
        i64 room = OUTPUT_CAPACITY - out->length;
        i64 n = s.len - i < room ? s.len - i : room;
        const void* lf = __builtin_memchr(s.data + i, '\n', (size_t)n);
        if (lf) n = (const char*)lf - (s.data + i);
        __builtin_memcpy(out->buffer + out->length, s.data + i, (size_t)n);
        out->length += n;
        i += n;
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

// The escape written for a byte, or an empty Str when the byte stands for itself.
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
    if (b >= 0x20) return Str{};
    const char* hex = "0123456789ABCDEF";
    scratch[0] = '\\';
    scratch[1] = 'u';
    scratch[2] = '0';
    scratch[3] = '0';
    scratch[4] = hex[b >> 4];
    scratch[5] = hex[b & 15];
    return Str{6, scratch};
}

void write_json_str(Output* out, Str s) {
    put_byte(out, '"');
    i64 run = 0;  // start of the bytes not yet written
    for (i64 i = 0; i < s.len; i++) {
        char scratch[6];
        Str escape = json_escape(str_at(s, i), scratch);
        if (escape.len == 0) continue;
        write_str(out, Str{i - run, s.data + run});
        write_str(out, escape);
        run = i + 1;
    }
    write_str(out, Str{s.len - run, s.data + run});
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
