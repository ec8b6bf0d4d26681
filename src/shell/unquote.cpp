// The unquoter walks a word through the same states as the scanner and writes what the shell
// would keep: quotes that quote are dropped, escapes resolved, brackets and substitutions verbatim.
#include "shell/unquote.h"
#include "core/fail.h"

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

// Bytes that stand for themselves in plain text, for the scanner and the unquoter alike.
struct PlainBytes {
    u8 is_plain[256];
    constexpr PlainBytes() : is_plain() {
        for (int b = 0; b < 256; b++) is_plain[b] = 1;
        const char* special = "'\"`{([\\ \t\n\r#&;|<>";
        for (int i = 0; special[i]; i++) is_plain[(u8)special[i]] = 0;
    }
};
static constexpr PlainBytes plain_bytes;

i64 shell_plain_run(Str s) {
    i64 n = 0;
    while (n < s.len && plain_bytes.is_plain[str_at(s, n)]) n++;
    return n;
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

u8 shell_closer(i32 state) {
    static const char closers[] = "\0'\"`}))]]";
    return (u8)closers[state];
}

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
static i64 literal_run(i32 state, Str rest) {
    if (state == PLAIN) return shell_plain_run(rest);
    if (state != SINGLE_QUOTED) return 0;
    const void* quote = __builtin_memchr(rest.data, '\'', (size_t)rest.len);
    return quote ? (const char*)quote - rest.data : rest.len;
}

Str unquote_word(Str word, Arena* arena) {
    ByteBuffer out = {word.len, (char*)arena_alloc(arena, word.len, 1, 1), 0};
    i32 state = PLAIN;
    Str rest = word;
    while (rest.len > 0) {
        Str run = str_take(rest, literal_run(state, rest));
        if (run.len > 0) {
            push_bytes(&out, run);
            rest = str_skip(rest, run.len);
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

void finish_word(Str raw, Arena* arena, StrList* words) {
    if (is_path_word(raw)) raw = str_normalize_slashes(raw);
    list_append(words, arena, unquote_word(raw, arena));
}
