// Output writers: every byte passes the same line-start and buffer-full rules.
#include "output/output.h"
#include "core/block.h"
#include "core/fast_paths.h"

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

// The spaces the next byte gets: the line's indentation when a line starts there, else none.
static i64 pending_spaces(const Output* out) {
    return out->at_line_start ? 4 * (i64)(out->indent > 0 ? out->indent : 0) : 0;
}

// Stores n spaces at dst, where there is room for them and a block more: a block at a time, the first
// unconditionally, since most lines need just one.
static void store_spaces(char* dst, i64 n) {
    Block spaces = block_of(' ');
    block_store(dst, spaces);
    for (i64 i = BLOCK_BYTES; i < n; i += BLOCK_BYTES) block_store(dst + i, spaces);
}

// What start_line does, for a caller that has made sure the buffer holds the spaces and a block more:
// the spaces go in as whole blocks.
static void store_indentation(Output* out) {
    if (!out->at_line_start) return;
    if (out->indent < 0) out->indent = 0;
    i64 spaces = 4 * (i64)out->indent;
    store_spaces(out->buffer + out->length, spaces);
    out->length += spaces;
    out->at_line_start = 0;
}

// Appends bytes that hold no line feed, with the same line-start and buffer-full rules as put_byte.
static void write_plain(Output* out, const char* p, i64 n) {
    // Fast path: a run of at most a block, with room for its line's indentation and a block to spare,
    // goes in as one block; put_byte would not flush on the way.
    if (fast_paths && n > 0 && n <= BLOCK_BYTES && OUTPUT_CAPACITY - out->length >= pending_spaces(out) + BLOCK_BYTES) {
        store_indentation(out);
        block_store(out->buffer + out->length, block_load(p, n));
        out->length += n;
        return;
    }
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

// Fast path of write_str and write_line: a text shorter than two blocks, followed by a line feed
// when `line` is set, goes in as its first and its last block (the same one, or two that overlap)
// after its line's indentation when the buffer has room for them and two blocks to spare; put_byte
// would not flush on the way. A line feed inside the text would start an indented line, so such a
// text is left to the general code, except at indentation 0, where a line start adds nothing.
// Returns 0 and writes nothing when the text is not stored.
static i32 store_short(Output* out, Str s, i32 line) {
    if (!fast_paths || s.len <= 0 || s.len >= 2 * BLOCK_BYTES ||
        OUTPUT_CAPACITY - out->length < pending_spaces(out) + 2 * BLOCK_BYTES)
        return 0;
    i32 two = s.len > BLOCK_BYTES;
    Block first = block_load(s.data, s.len);
    Block last = two ? block_load(s.data + s.len - BLOCK_BYTES, BLOCK_BYTES) : first;
    u32 line_feeds = two ? block_mask(first == '\n') | block_mask(last == '\n') : block_mask(first == '\n') & ((1u << s.len) - 1);
    if (line_feeds && out->indent > 0) return 0;
    store_indentation(out);
    block_store(out->buffer + out->length, first);
    if (two) block_store(out->buffer + out->length + s.len - BLOCK_BYTES, last);
    out->length += s.len;
    if (line) out->buffer[out->length++] = '\n';
    out->at_line_start = line || str_at(s, s.len - 1) == '\n';
    return 1;
}

// Copies the runs between line feeds in bulk: the bytes are exactly those of put_byte for each.
void write_str(Output* out, Str s) {
    if (!fast_paths) {
        for (i64 i = 0; i < s.len; i++) put_byte(out, str_at(s, i));
        return;
    }
    if (store_short(out, s, 0)) return;
    while (s.len > 0) {
        i64 lf = str_find_any(s, "\n"_s);
        write_plain(out, s.data, lf < 0 ? s.len : lf);
        if (lf < 0) return;
        put_byte(out, '\n');
        s = str_skip(s, lf + 1);
    }
}

void write_line(Output* out, Str s) {
    if (store_short(out, s, 1)) return;
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

// Writes the JSON escape of a byte that cannot stand as it is into out (room for six bytes); returns
// its length.
static i64 json_escape(u8 b, char* out) {
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

// How many of the block's first n bytes a JSON string holds as they are.
static i64 json_plain_prefix(Block b, i64 n) { return block_count_before(json_special(b), n); }

// Writes the escaped form of s at dst, which has room for six bytes for each byte of s and one block
// more, and returns its end: each block is stored whole, and the bytes before its first escape count.
static char* escape_into(char* dst, Str s) {
    const char* p = s.data;
    i64 left = s.len;
    while (left > 0) {
        Block b = block_load(p, left);
        block_store(dst, b);
        i64 plain = json_plain_prefix(b, left);
        p += plain;
        dst += plain;
        left -= plain;
        if (left == 0 || plain == BLOCK_BYTES) continue;
        dst += json_escape((u8)*p++, dst);
        left--;
    }
    return dst;
}

// Writes s as the inside of a JSON string at dst, with room as for escape_into, and returns its end.
// Most strings are at most two blocks and need no escape: their first block and the block that ends
// with their last byte (the same one, or two that overlap) are tested and stored whole.
static char* json_copy(char* dst, Str s) {
    if (s.len > 0 && s.len <= 2 * BLOCK_BYTES) {
        i32 two = s.len > BLOCK_BYTES;
        Block first = block_load(s.data, s.len);
        Block last = two ? block_load(s.data + s.len - BLOCK_BYTES, BLOCK_BYTES) : first;
        u32 special = two ? json_special(first) | json_special(last) : json_special(first) & ((1u << s.len) - 1);
        if (!special) {
            block_store(dst, first);
            if (two) block_store(dst + s.len - BLOCK_BYTES, last);
            return dst + s.len;
        }
    }
    return escape_into(dst, s);
}

// Stores the line's indentation, when a line starts here, the label and s as a JSON string straight
// into the buffer, provided it holds them with every byte of s at its longest escape, `after` bytes
// more and a block to spare. put_byte would flush nothing on the way then, so the bytes and the
// flushes are the same. Returns 0 and writes nothing when that much room is not there.
[[gnu::always_inline]] static inline i32 store_json_str(Output* out, Str label, Str s, i64 after) {
    if (!fast_paths) return 0;
    if (OUTPUT_CAPACITY - out->length < pending_spaces(out) + label.len + 6 * s.len + 2 + after + BLOCK_BYTES) return 0;
    store_indentation(out);
    if (label.len > 0 && label.len <= BLOCK_BYTES) block_store(out->buffer + out->length, block_load(label.data, label.len));
    else if (label.len > 0) __builtin_memcpy(out->buffer + out->length, label.data, (size_t)label.len);
    out->length += label.len;
    out->buffer[out->length++] = '"';
    out->length = json_copy(out->buffer + out->length, s) - out->buffer;
    out->buffer[out->length++] = '"';
    return 1;
}

// The general rule: a byte at a time, each escaped on its own, through put_byte.
static void write_json_bytes(Output* out, Str s) {
    put_byte(out, '"');
    for (i64 i = 0; i < s.len; i++) {
        u8 b = str_at(s, i);
        char escape[6];
        i64 n = b < 0x20 || b == '"' || b == '\\' ? json_escape(b, escape) : 0;
        if (n == 0) put_byte(out, b);
        for (i64 k = 0; k < n; k++) put_byte(out, (u8)escape[k]);
    }
    put_byte(out, '"');
}

enum { ESCAPE_PIECE = 64 };

// Where the buffer lacks the room, a piece at a time is escaped into a scratch area and copied on
// by write_plain, which flushes exactly when the buffer is full.
void write_json_str(Output* out, Str s) {
    if (!fast_paths) {
        write_json_bytes(out, s);
        return;
    }
    if (store_json_str(out, Str{}, s, 0)) return;
    put_byte(out, '"');
    while (s.len > 0) {
        char scratch[6 * ESCAPE_PIECE + BLOCK_BYTES];
        Str piece = str_take(s, ESCAPE_PIECE);
        write_plain(out, scratch, escape_into(scratch, piece) - scratch);
        s = str_skip(s, piece.len);
    }
    put_byte(out, '"');
}

[[gnu::always_inline]] static inline void json_item(Output* out, Str label, Str s, i32 more) {
    if (store_json_str(out, label, s, 2)) {
        if (more) out->buffer[out->length++] = ',';
        out->buffer[out->length++] = '\n';
        out->at_line_start = 1;
        return;
    }
    write_str(out, label);
    write_json_str(out, s);
    if (more) put_byte(out, ',');
    put_byte(out, '\n');
}

void write_json_item(Output* out, Str label, Str s, i32 more) { json_item(out, label, s, more); }

// Stores item lines from *node on, while the room before limit holds the next one with every byte at
// its longest escape: its indentation, its JSON string, "," when more follow and a line feed. Notes
// where each line ends, when asked, and returns the end of the last.
static char* store_items(char* dst, const char* limit, const StrNode** node, i64 spaces, i64* ends, const char* base) {
    for (const StrNode* n = *node; n && limit - dst >= 6 * n->value.len; n = n->next) {
        store_spaces(dst, spaces);
        dst += spaces;
        *dst++ = '"';
        dst = json_copy(dst, n->value);
        *dst++ = '"';
        if (n->next) *dst++ = ',';
        *dst++ = '\n';
        if (ends) *ends++ = dst - base;
        *node = n->next;
    }
    return dst;
}

// Items that start at a line start all have the same indentation. Fast path: while the buffer holds
// the next line even with every byte at its longest escape, and a block to spare, the lines go
// straight in one after another, with the place in the buffer kept in hand; json_item would store
// the same bytes and flush nothing on the way.
void write_json_items(Output* out, const StrNode* first) {
    const StrNode* node = first;
    while (node) {
        if (fast_paths && out->at_line_start && out->indent >= 0) {
            i64 spaces = 4 * (i64)out->indent;
            const char* limit = out->buffer + OUTPUT_CAPACITY - spaces - 4 - BLOCK_BYTES;
            out->length = store_items(out->buffer + out->length, limit, &node, spaces, nullptr, nullptr) - out->buffer;
            if (!node) return;
        }
        json_item(out, Str{}, node->value, node->next != nullptr);
        node = node->next;
    }
}

void list_memo_forget(Output* out) {
    if (out->list_memo) out->list_memo->count = 0;
}

// The memo's item lines of the list from first, at the given indentation; -1 (given up for the
// line) when they do not fit.
static void memo_render(ListMemo* memo, const StrNode* first, int8_t indent) {
    memo->count = -1;
    i64 n = 0;
    for (const StrNode* node = first; node; node = node->next, n++) {
        if (n == LIST_MEMO_ITEMS) return;
        memo->nodes[n] = node;
    }
    i64 spaces = 4 * (i64)indent;
    const StrNode* node = first;
    store_items(memo->text, memo->text + LIST_MEMO_TEXT - spaces - 4 - BLOCK_BYTES, &node, spaces, memo->ends, memo->text);
    if (node) return;
    memo->count = n;
    memo->indent = indent;
}

// Where the list stands in the memo: its first item, or -1 when it is no run of the memo's nodes.
// The lists of a line's words are those words with some taken out, in their order, and never hold
// other nodes: a list whose head and tail stand count - 1 apart in the memo is the run between.
static i64 memo_find(const ListMemo* memo, StrList list) {
    i64 k = 0;
    while (k < memo->count && memo->nodes[k] != list.head) k++;
    i64 last = k + list.count - 1;
    return last < memo->count && memo->nodes[last] == list.tail ? k : -1;
}

// Copies one indented line, or its start, as start_line and put_byte would write it: the buffer is
// flushed first when the indentation does not fit, and whenever it is full before the next byte.
static void copy_line(Output* out, const char* p, i64 n, i64 spaces) {
    if (spaces > OUTPUT_CAPACITY - out->length) flush_output(out);
    while (n > 0) {
        if (out->length == OUTPUT_CAPACITY) flush_output(out);
        i64 k = n < OUTPUT_CAPACITY - out->length ? n : OUTPUT_CAPACITY - out->length;
        __builtin_memcpy(out->buffer + out->length, p, (size_t)k);
        out->length += k;
        p += k;
        n -= k;
    }
}

// Writes the memo's lines [from, to) as the writers would: the lines that fit in the buffer are
// copied together, and a line that does not is copied as copy_line does. The last line loses its
// "," when more followed it in the memo.
static void memo_write(Output* out, const ListMemo* memo, i64 from, i64 to) {
    i64 spaces = 4 * (i64)memo->indent;
    i64 start = from > 0 ? memo->ends[from - 1] : 0;
    for (i64 i = from; i < to - 1;) {
        // The lines from i on that fit: all of them, most often, or as many as a search finds.
        i64 room = OUTPUT_CAPACITY - out->length, n = to - 1 - i;
        if (memo->ends[i + n - 1] - start > room) {
            i64 low = 0;  // the lines before low fit, and the line at n does not
            while (low < n) {
                i64 mid = (low + n) / 2;
                if (memo->ends[i + mid] - start <= room) low = mid + 1;
                else n = mid;
            }
        }
        if (n == 0) {
            n = 1;
            copy_line(out, memo->text + start, memo->ends[i] - start, spaces);
        } else {
            __builtin_memcpy(out->buffer + out->length, memo->text + start, (size_t)(memo->ends[i + n - 1] - start));
            out->length += memo->ends[i + n - 1] - start;
        }
        start = memo->ends[i + n - 1];
        i += n;
    }
    copy_line(out, memo->text + start, memo->ends[to - 1] - start - (to < memo->count ? 2 : 1), spaces);
    out->at_line_start = 0;
    put_byte(out, '\n');
}

// Fast path of the trace's list dumps: the first on a line (its words) is rendered into the memo,
// and each list that is a run of the same nodes is copied from it. Those nodes stay linked, with
// their values, until the line ends, and so do the words' bytes; the memo is forgotten when the
// next line starts. The bytes and the flushes are those of write_json_items.
static void write_list_items(Output* out, StrList list) {
    ListMemo* memo = out->list_memo;
    if (fast_paths && memo && out->at_line_start && out->indent >= 0) {
        if (memo->count == 0) memo_render(memo, list.head, out->indent);
        i64 from = memo->count > 0 && memo->indent == out->indent ? memo_find(memo, list) : -1;
        if (from >= 0) return memo_write(out, memo, from, from + list.count);
    }
    write_json_items(out, list.head);
}

void write_str_list(Output* out, StrList list) {
    if (list.count == 0) {
        write_line(out, "[] (list empty)"_s);
        return;
    }
    write_line(out, "["_s);
    out->indent++;
    write_list_items(out, list);
    out->indent--;
    write_line(out, "]"_s);
}
