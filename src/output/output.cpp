// Output writers: every byte passes the same line-start and buffer-full rules, put_byte's. Each
// writer is a pair: the general rule writes through put_byte, and the fast kernel stores whole blocks
// straight into the buffer where it has the room, writing the same bytes with the same flushes.
#include "output/output.h"
#include "core/bytes.h"
#include "core/block.h"
#include "core/fast_paths.h"

void flush_output(Output* out) {
    out->flush_fn(out->sink, out->length, out->buffer);
    out->length = 0;
}

i64 output_indentation(Output* out) {
    if (out->indent < 0) out->indent = 0;
    return 4 * (i64)out->indent;
}

void output_append(Output* out, const char* p, i64 n) {
    while (n > 0) {
        if (out->length == OUTPUT_CAPACITY) flush_output(out);
        i64 room = OUTPUT_CAPACITY - out->length;
        i64 k = n < room ? n : room;
        __builtin_memcpy(out->buffer + out->length, p, (size_t)k);
        out->length += k;
        p += k;
        n -= k;
    }
}

static void start_line(Output* out) {
    i64 spaces = output_indentation(out);
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

// The spaces the next byte gets: the line's indentation when a line starts there, else none. A
// negative level becomes 0 there, as start_line makes it; callers write a byte after asking.
static i64 pending_spaces(Output* out) {
    return out->at_line_start ? output_indentation(out) : 0;
}

// Stores n spaces at dst, where there is room for them and a block more: a block at a time, the first
// unconditionally, since most lines need just one.
static void store_spaces(char* dst, i64 n) {
    Block spaces = block_of(' ');
    block_store(dst, spaces);
    for (i64 i = BLOCK_BYTES; i < n; i += BLOCK_BYTES) block_store(dst + i, spaces);
}

// What start_line does, for a caller that has asked pending_spaces and made sure the buffer holds
// them and a block more: the spaces go in as whole blocks (a block of them even when there are none).
static void store_indentation(Output* out, i64 spaces) {
    store_spaces(out->buffer + out->length, spaces);
    out->length += spaces;
    out->at_line_start = 0;
}

// Appends bytes that hold no line feed, with the same line-start and buffer-full rules as put_byte:
// a run of at most two blocks, with room for its line's indentation and two blocks to spare, goes in
// as its first and its last block (put_byte would not flush on the way); longer runs are copied as far
// as the buffer holds them.
static void write_within_line(Output* out, const char* p, i64 n) {
    i64 spaces = n > 0 ? pending_spaces(out) : 0;
    if (n > 0 && n <= 2 * BLOCK_BYTES && OUTPUT_CAPACITY - out->length >= spaces + 2 * BLOCK_BYTES) {
        store_indentation(out, spaces);
        block_store(out->buffer + out->length, block_load(p, n));
        if (n > BLOCK_BYTES) block_store(out->buffer + out->length + n - BLOCK_BYTES, block_load(p + n - BLOCK_BYTES, BLOCK_BYTES));
        out->length += n;
        return;
    }
    if (n > 0 && out->at_line_start) start_line(out);
    output_append(out, p, n);
}

// A text shorter than two blocks, followed by a line feed when `line` is set, goes in as its first and
// its last block (the same one, or two that overlap) after its line's indentation, when the buffer has
// room for them and two blocks to spare; put_byte would not flush on the way. A line feed inside the
// text would start an indented line, so such a text is left to the caller, except at indentation 0,
// where a line start adds nothing. Returns 0 and writes nothing when the text is not stored.
[[gnu::always_inline]] static inline i32 store_short_text(Output* out, Str s, i32 line) {
    if (s.len <= 0 || s.len >= 2 * BLOCK_BYTES) return 0;
    i64 spaces = pending_spaces(out);
    if (OUTPUT_CAPACITY - out->length < spaces + 2 * BLOCK_BYTES) return 0;
    i32 spans_two_blocks = s.len > BLOCK_BYTES;
    Block first = block_load(s.data, s.len);
    Block last = spans_two_blocks ? block_load(s.data + s.len - BLOCK_BYTES, BLOCK_BYTES) : first;
    u32 line_feeds = spans_two_blocks ? block_mask(first == '\n') | block_mask(last == '\n')
                                      : block_mask(first == '\n') & ((1u << s.len) - 1);
    if (line_feeds && out->indent > 0) return 0;
    store_indentation(out, spaces);
    block_store(out->buffer + out->length, first);
    if (spans_two_blocks) block_store(out->buffer + out->length + s.len - BLOCK_BYTES, last);
    out->length += s.len;
    if (line) out->buffer[out->length++] = '\n';
    out->at_line_start = line || str_at(s, s.len - 1) == '\n';
    return 1;
}

static void write_str_general(Output* out, Str s) {
    for (i64 i = 0; i < s.len; i++) put_byte(out, str_at(s, i));
}

// A short text is stored whole; a longer one goes in as its runs between line feeds, copied in bulk.
static void write_str_fast(Output* out, Str s) {
    if (store_short_text(out, s, 0)) return;
    while (s.len > 0) {
        i64 line_feed = str_find_any(s, "\n"_s);
        write_within_line(out, s.data, line_feed < 0 ? s.len : line_feed);
        if (line_feed < 0) return;
        put_byte(out, '\n');
        s = str_skip(s, line_feed + 1);
    }
}

void write_str(Output* out, Str s) { fast_or_general(write_str_fast, write_str_general)(out, s); }

static void write_line_general(Output* out, Str s) {
    write_str_general(out, s);
    put_byte(out, '\n');
}

static void write_line_fast(Output* out, Str s) {
    if (store_short_text(out, s, 1)) return;
    write_str_fast(out, s);
    put_byte(out, '\n');
}

void write_line(Output* out, Str s) { fast_or_general(write_line_fast, write_line_general)(out, s); }

char* format_int(char* dst, i64 value) {
    uint64_t magnitude = value < 0 ? 0 - (uint64_t)value : (uint64_t)value;
    char digits[20];
    i64 n = 0;
    do {
        digits[19 - n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) *dst++ = '-';
    __builtin_memcpy(dst, digits + 20 - n, (size_t)n);
    return dst + n;
}

void write_int(Output* out, i64 value) {
    char text[20];
    write_str(out, Str{format_int(text, value) - text, text});
}

// Writes the JSON escape of a byte that cannot stand as it is into out (room for six bytes); returns
// its length.
static i64 json_escape_byte(u8 b, char* out) {
    static const char letters[32] = {0, 0, 0, 0, 0, 0, 0, 0, 'b', 't', 'n', 0, 'f', 'r'};
    const char* hex = "0123456789ABCDEF";
    out[0] = '\\';
    if (b == '"' || b == '\\') {
        out[1] = (char)b;
        return 2;
    }
    if (letters[b]) {
        out[1] = letters[b];
        return 2;
    }
    __builtin_memcpy(out + 1, "u00", 3);
    out[4] = hex[b >> 4];
    out[5] = hex[b & 15];
    return 6;
}

// Bit i is set when byte i of the block needs an escape in a JSON string: a control byte, the
// quotation mark or the backslash.
static u32 json_special(Block b) { return block_mask((b < 0x20) | (b == '"') | (b == '\\')); }

// Writes the escaped form of s at dst, which has room for six bytes for each byte of s and one block
// more, and returns its end: each block is stored whole, and the bytes before its first escape count.
[[gnu::noinline]] static char* json_escape_blockwise(char* dst, Str s) {
    const char* p = s.data;
    i64 left = s.len;
    while (left > 0) {
        Block b = block_load(p, left);
        block_store(dst, b);
        i64 unescaped = block_count_before(json_special(b), left);
        p += unescaped;
        dst += unescaped;
        left -= unescaped;
        if (left == 0 || unescaped == BLOCK_BYTES) continue;
        dst += json_escape_byte((u8)*p++, dst);
        left--;
    }
    return dst;
}

// json_escape_blockwise for a string of at most two blocks whose bytes to escape are the set bits of
// special (bit i for byte i): the runs between them go in as their first and their last block.
[[gnu::noinline]] static char* json_escape_marked(char* dst, Str s, u32 special) {
    i64 done = 0;
    for (;;) {
        i64 next = special ? __builtin_ctz(special) : s.len;
        i64 run = next - done;
        if (run > 0) {
            block_store(dst, block_load(s.data + done, run));
            if (run > BLOCK_BYTES) block_store(dst + run - BLOCK_BYTES, block_load(s.data + next - BLOCK_BYTES, BLOCK_BYTES));
            dst += run;
        }
        if (!special) return dst;
        dst += json_escape_byte(str_at(s, next), dst);
        done = next + 1;
        special &= special - 1;
    }
}

// Writes s escaped as the inside of a JSON string at dst, with room as for json_escape_blockwise, and
// returns its end. Most strings are at most two blocks: their first block and the block that ends
// with their last byte (the same one, or two that overlap) are tested, and stored whole when nothing
// needs an escape; else their marks say where the escapes go.
static char* json_escape_into(char* dst, Str s) {
    if (s.len > 0 && s.len <= 2 * BLOCK_BYTES) {
        i32 spans_two_blocks = s.len > BLOCK_BYTES;
        Block first = block_load(s.data, s.len);
        Block last = spans_two_blocks ? block_load(s.data + s.len - BLOCK_BYTES, BLOCK_BYTES) : first;
        u32 special = spans_two_blocks ? json_special(first) | json_special(last) << (s.len - BLOCK_BYTES)
                                       : json_special(first) & ((1u << s.len) - 1);
        if (special) return json_escape_marked(dst, s, special);
        block_store(dst, first);
        if (spans_two_blocks) block_store(dst + s.len - BLOCK_BYTES, last);
        return dst + s.len;
    }
    return json_escape_blockwise(dst, s);
}

// Stores the line's indentation, when a line starts here, the label and s as a JSON string straight
// into the buffer, provided it holds them with every byte of s at its longest escape, `after` bytes
// more and a block to spare. put_byte would flush nothing on the way then, so the bytes and the
// flushes are the same. Returns 0 and writes nothing when that much room is not there.
[[gnu::always_inline]] static inline i32 store_json_str(Output* out, Str label, Str s, i64 after) {
    i64 spaces = pending_spaces(out);
    if (OUTPUT_CAPACITY - out->length < spaces + label.len + 6 * s.len + 2 + after + BLOCK_BYTES) return 0;
    store_indentation(out, spaces);
    if (label.len > 0 && label.len <= BLOCK_BYTES) block_store(out->buffer + out->length, block_load(label.data, label.len));
    else if (label.len > 0) __builtin_memcpy(out->buffer + out->length, label.data, (size_t)label.len);
    out->length += label.len;
    out->buffer[out->length++] = '"';
    out->length = json_escape_into(out->buffer + out->length, s) - out->buffer;
    out->buffer[out->length++] = '"';
    return 1;
}

// A byte at a time, each escaped on its own, through put_byte.
static void write_json_str_general(Output* out, Str s) {
    put_byte(out, '"');
    for (i64 i = 0; i < s.len; i++) {
        u8 b = str_at(s, i);
        char escape[6];
        i64 n = byte_is(b, BYTE_JSON_ESCAPED) ? json_escape_byte(b, escape) : 0;
        if (n == 0) put_byte(out, b);
        for (i64 k = 0; k < n; k++) put_byte(out, (u8)escape[k]);
    }
    put_byte(out, '"');
}

enum { ESCAPE_PIECE = 64 };

// The quoted, escaped text, and a comma after it when `comma` is set, made in a scratch area a piece
// at a time and copied on by write_within_line, which flushes exactly when the buffer is full: a text
// of up to a piece goes on in one copy.
static void write_json_pieces(Output* out, Str s, i32 comma) {
    char scratch[6 * ESCAPE_PIECE + BLOCK_BYTES + 3];
    char* end = scratch;
    *end++ = '"';
    for (;;) {
        Str piece = str_take(s, ESCAPE_PIECE);
        end = json_escape_into(end, piece);
        s = str_skip(s, piece.len);
        if (s.len == 0) break;
        write_within_line(out, scratch, end - scratch);
        end = scratch;
    }
    *end++ = '"';
    if (comma) *end++ = ',';
    write_within_line(out, scratch, end - scratch);
}

// Stored whole where the buffer has the room; elsewhere made and copied on a piece at a time.
static void write_json_str_fast(Output* out, Str s) {
    if (!store_json_str(out, Str{}, s, 0)) write_json_pieces(out, s, 0);
}

void write_json_str(Output* out, Str s) { fast_or_general(write_json_str_fast, write_json_str_general)(out, s); }

static void write_json_item_general(Output* out, Str label, Str s, i32 more) {
    write_str_general(out, label);
    write_json_str_general(out, s);
    if (more) put_byte(out, ',');
    put_byte(out, '\n');
}

[[gnu::always_inline]] static inline void write_json_item_fast(Output* out, Str label, Str s, i32 more) {
    if (store_json_str(out, label, s, 2)) {
        if (more) out->buffer[out->length++] = ',';
        out->buffer[out->length++] = '\n';
        out->at_line_start = 1;
        return;
    }
    write_str_fast(out, label);
    write_json_pieces(out, s, more);
    put_byte(out, '\n');
}

void write_json_item(Output* out, Str label, Str s, i32 more) {
    fast_or_general(write_json_item_fast, write_json_item_general)(out, label, s, more);
}

char* json_store_items(char* dst, const char* limit, const StrNode** node, i64 spaces, i64* ends, const char* base) {
    for (const StrNode* n = *node; n && limit - dst >= 6 * n->value.len; n = n->next) {
        store_spaces(dst, spaces);
        dst += spaces;
        *dst++ = '"';
        dst = json_escape_into(dst, n->value);
        *dst++ = '"';
        if (n->next) *dst++ = ',';
        *dst++ = '\n';
        if (ends) *ends++ = dst - base;
        *node = n->next;
    }
    return dst;
}

static void write_json_items_general(Output* out, const StrNode* first) {
    for (const StrNode* node = first; node; node = node->next)
        write_json_item_general(out, Str{}, node->value, node->next != nullptr);
}

// Hands on what put_byte would have handed on by the time the bytes stored past OUTPUT_CAPACITY were
// written, and moves the rest to the front. The lines from start on are item lines indented by
// spaces: when the one that runs across the capacity starts too near it for its indentation,
// start_line hands on the bytes before that line; otherwise the buffer fills up to the capacity. So
// only the last `spaces` bytes before the capacity are searched for the line's start, a block at a
// time from the end.
static void hand_on_past_capacity(Output* out, const char* start, i64 spaces) {
    const char* capacity = out->buffer + OUTPUT_CAPACITY;
    const char* from = capacity - spaces > start ? capacity - spaces : start;
    const char* line = from;  // the start of that line, where it lies after from; else from
    for (const char* p = capacity; p > from; p -= BLOCK_BYTES) {
        i64 n = p - from < BLOCK_BYTES ? p - from : BLOCK_BYTES;
        u32 line_feeds = block_mask(block_load(p - BLOCK_BYTES, BLOCK_BYTES) == '\n') >> (BLOCK_BYTES - n);
        if (line_feeds) {
            line = p - n + 32 - __builtin_clz(line_feeds);
            break;
        }
    }
    i64 cut = line > capacity - spaces ? line - out->buffer : (i64)OUTPUT_CAPACITY;
    out->flush_fn(out->sink, cut, out->buffer);
    out->length -= cut;
    __builtin_memcpy(out->buffer, out->buffer + cut, (size_t)out->length);
}

// Items that start at a line start all have the same indentation: while the buffer with its slack
// holds the next line even with every byte at its longest escape, and a block to spare, the lines go
// straight in one after another, with the place in the buffer kept in hand. Then the bytes past the
// capacity are handed on as put_byte would have, and the items go on; one too long for the room there
// is written by write_json_item_fast.
static void write_json_items_fast(Output* out, const StrNode* first) {
    const StrNode* node = first;
    while (node) {
        if (out->at_line_start && out->indent >= 0) {
            i64 spaces = output_indentation(out);
            const char* limit = out->buffer + OUTPUT_CAPACITY + OUTPUT_SLACK - spaces - 4 - BLOCK_BYTES;
            char* start = out->buffer + out->length;
            char* end = json_store_items(start, limit, &node, spaces, nullptr, nullptr);
            out->length = end - out->buffer;
            if (out->length > OUTPUT_CAPACITY) hand_on_past_capacity(out, start, spaces);
            if (!node) return;
            if (end > start) continue;
        }
        write_json_item_fast(out, Str{}, node->value, node->next != nullptr);
        node = node->next;
    }
}

void write_json_items(Output* out, const StrNode* first) {
    fast_or_general(write_json_items_fast, write_json_items_general)(out, first);
}

void write_str_list(Output* out, StrList list) {
    if (list.count == 0) {
        write_line(out, "[] (list empty)"_s);
        return;
    }
    write_line(out, "["_s);
    out->indent++;
    write_json_items(out, list.head);
    out->indent--;
    write_line(out, "]"_s);
}
