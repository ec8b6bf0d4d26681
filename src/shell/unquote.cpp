// The unquoter walks a word through the same states as the scanner and writes what the shell
// would keep: quotes that quote are dropped, escapes resolved, brackets and substitutions verbatim.
#include "shell/unquote.h"
#include "core/block.h"
#include "core/fail.h"
#include "core/fast_paths.h"

const Str double_quote_escapes = "\"$\\`\n"_s;

void push_byte(ByteBuffer* buffer, u8 b) {
    if (buffer->count >= buffer->capacity) fail("internal error: word buffer overflow"_s);
    buffer->data[buffer->count++] = (char)b;
}

void push_bytes(ByteBuffer* buffer, Str bytes) {
    if (bytes.len > buffer->capacity - buffer->count) fail("internal error: word buffer overflow"_s);
    __builtin_memcpy(buffer->data + buffer->count, bytes.data, (size_t)bytes.len);
    buffer->count += bytes.len;
}

// What each byte is to plain text, for the scanner and the unquoter alike.
struct ShellBytes {
    u8 kind[256];
    constexpr ShellBytes() : kind() {
        const char* openers = "'\"`{([";
        for (int i = 0; openers[i]; i++) kind[(u8)openers[i]] = SHELL_OPENER;
        const char* operators = "&;|<>";
        for (int i = 0; operators[i]; i++) kind[(u8)operators[i]] = SHELL_OPERATOR;
        kind[(u8)' '] = kind[(u8)'\t'] = SHELL_BLANK;
        kind[(u8)'\n'] = SHELL_LINE_FEED;
        kind[(u8)'\r'] = SHELL_CARRIAGE_RETURN;
        kind[(u8)'#'] = SHELL_COMMENT;
        kind[(u8)'\\'] = SHELL_BACKSLASH;
    }
};
static constexpr ShellBytes shell_bytes;

i32 shell_byte(u8 b) { return shell_bytes.kind[b]; }

// Bit i is set when byte i of the aligned block at p fails a quick test for plain bytes: below ")",
// or, once bits 0x20 and 0x40 are set, "`", "{", "|" or "~". The second part takes in ";", "<" and
// ">", "[" and the backslash, "`", "{" and "|", and also "@", "^" and "~". That is every byte that is
// not plain and a few that are, which the table then decides.
[[gnu::noinline]] static u32 flagged_in_block(const char* p) {
    Block b = block_load(p, BLOCK_BYTES);
    Block folded = b | 0x60;
    return block_mask((b < 0x29) | (folded == '`') | (folded == '{') | (folded == '|') | (folded == '~'));
}

// A block at a time, each aligned block tested once: runs that follow one another in the same block
// reuse its marks. An aligned block lies within one memory page, so reading all of it is safe even
// where it starts before s or ends after it; the bits of those bytes are never used.
i64 shell_plain_run(Str s, PlainMarks* marks) {
    i64 n = 0;
    if (!fast_paths) {
        while (n < s.len && shell_bytes.kind[str_at(s, n)] == SHELL_PLAIN) n++;
        return n;
    }
    while (n < s.len) {
        const char* at = s.data + n;
        const char* block = (const char*)((uintptr_t)at & ~(uintptr_t)(BLOCK_BYTES - 1));
        if (block != marks->block) {
            marks->block = block;
            marks->flagged = flagged_in_block(block);
        }
        u32 flagged = marks->flagged >> (at - block);
        if (!flagged) {
            n += BLOCK_BYTES - (at - block);
            continue;
        }
        n += __builtin_ctz(flagged);
        if (n >= s.len) return s.len;
        if (shell_bytes.kind[str_at(s, n)] != SHELL_PLAIN) return n;
        n++;
    }
    return s.len;
}

i32 is_path_word(Str word) {
    i64 sep = str_find_any(word, "/\\"_s);
    if (sep < 0) return 0;
    Str head = str_take(word, sep);
    if (str_ends_with(head, "."_s)) return 1;
    if (head.len < 2 || str_at(head, head.len - 1) != ':') return 0;
    u8 letter = str_at(head, head.len - 2) & ~0x20;
    return letter >= 'A' && letter <= 'Z';
}

i32 shell_opened_state(u8 b, i32 next) {
    switch (b) {
    case '\'': return SINGLE_QUOTED;
    case '"': return DOUBLE_QUOTED;
    case '`': return BACKQUOTED;
    case '{': return BRACED;
    case '(': return next == '(' ? DOUBLE_PARENTHESISED : PARENTHESISED;
    case '[': return next == '[' ? DOUBLE_BRACKETED : BRACKETED;
    default: return PLAIN;
    }
}

const Str shell_stretch_stops[9] = {""_s, "'\n"_s, "\"\\\n"_s, "`\n"_s, "}\n"_s, ")\n"_s, ")\n"_s, "]\n"_s, "]\n"_s};

u8 shell_closer(i32 state) { return (u8)shell_stretch_stops[state].data[0]; }

static i32 peek(Str s) { return s.len > 0 ? str_at(s, 0) : -1; }

// Handles the byte b that closes the current stretch; returns the new state.
static i32 close_stretch(i32 state, u8 b, Str* rest, ByteBuffer* out) {
    if (state == SINGLE_QUOTED || state == DOUBLE_QUOTED) return PLAIN;
    push_byte(out, b);
    if (state != DOUBLE_PARENTHESISED && state != DOUBLE_BRACKETED) return PLAIN;
    if (peek(*rest) != b) return state;
    push_byte(out, str_next_byte(rest));
    return PLAIN;
}

// A backslash inside double quotes, or in plain text; rest starts after the backslash.
static void unescape(i32 state, Str* rest, ByteBuffer* out) {
    i32 next = peek(*rest);
    if (next < 0) return;
    if (next == '\n') {
        str_next_byte(rest);
    } else if (state == PLAIN || str_find_any(Str{1, rest->data}, double_quote_escapes) >= 0) {
        push_byte(out, str_next_byte(rest));
    } else {
        push_byte(out, '\\');
    }
}

static i32 plain_byte(u8 b, Str* rest, ByteBuffer* out) {
    if (b == '\\') {
        unescape(PLAIN, rest, out);
        return PLAIN;
    }
    i32 state = shell_opened_state(b, peek(*rest));
    if (state != SINGLE_QUOTED && state != DOUBLE_QUOTED) push_byte(out, b);
    if (state == DOUBLE_PARENTHESISED || state == DOUBLE_BRACKETED) push_byte(out, str_next_byte(rest));
    return state;
}

// The bytes at the front of rest that are copied as they are: a plain run in plain text, everything
// up to the closing quote inside single quotes, nothing in the other states.
static i64 literal_run(i32 state, Str rest, PlainMarks* marks) {
    if (!fast_paths) return 0;
    if (state == PLAIN) return shell_plain_run(rest, marks);
    if (state != SINGLE_QUOTED) return 0;
    const void* quote = __builtin_memchr(rest.data, '\'', (size_t)rest.len);
    return quote ? (const char*)quote - rest.data : rest.len;
}

Str unquote_word(Str word, Arena* arena, PlainMarks* marks) {
    // Only the bytes written are kept, and the rest goes back to the arena: no need to zero-fill.
    ByteBuffer out = {word.len, arena_take(arena, word.len, 1, 1), 0};
    i32 state = PLAIN;
    Str rest = word;
    while (rest.len > 0) {
        i64 run = literal_run(state, rest, marks);  // never more than rest holds
        if (run > 0) {
            push_bytes(&out, Str{run, rest.data});
            rest = Str{rest.len - run, rest.data + run};
            continue;
        }
        u8 b = str_next_byte(&rest);
        if (state != PLAIN && b == shell_closer(state)) state = close_stretch(state, b, &rest, &out);
        else if (state == DOUBLE_QUOTED && b == '\\') unescape(state, &rest, &out);
        else if (state != PLAIN) push_byte(&out, b);
        else state = plain_byte(b, &rest, &out);
    }
    arena_rewind(arena, out.data + out.count);
    return Str{out.count, out.data};
}

void finish_word(Str raw, i32 plain, PlainMarks* marks, Arena* arena, StrList* words) {
    // Fast path: plain bytes hold no quote, escape, opener or backslash, so the word is no path word
    // to rewrite and unquoting would copy it unchanged. It is used where it stands in the input, which
    // lives as long as the run, and whose bytes are rewritten only inside path words, never plain.
    if (fast_paths && plain) {
        list_append(words, arena, raw);
        return;
    }
    // Rewritten bytes need marks of their own; unchanged ones can use what the scanner learnt.
    PlainMarks fresh = {};
    if (is_path_word(raw)) {
        raw = str_normalize_slashes(raw);
        marks = &fresh;
    }
    list_append(words, arena, unquote_word(raw, arena, marks ? marks : &fresh));
}
