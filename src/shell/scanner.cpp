// One forward pass per raw word: quoting states, operators, comments, continuations, line ends.
#include "shell/scanner.h"
#include "shell/unquote.h"

const Str redirection_operators[REDIRECTION_OPERATOR_COUNT] = {
    "&>>"_s, "&>|"_s, "&>"_s, ">|"_s, "<<<"_s, "<<-"_s, ">>"_s,
    "<<"_s,  ">&"_s,  "<&"_s, "<>"_s, ">"_s,   "<"_s,
};

const Str control_operators[CONTROL_OPERATOR_COUNT] = {
    ";;&"_s, ";;"_s, ";&"_s, ";"_s, "&&"_s, "&"_s, "||"_s, "|&"_s, "|"_s, "("_s, ")"_s,
};

static const Str ampersand_redirections[3] = {"&>>"_s, "&>|"_s, "&>"_s};

static i32 match_first(Cursor* cursor, const Str* table, i64 count) {
    for (i64 i = 0; i < count; i++)
        if (cursor_match(cursor, table[i])) return 1;
    return 0;
}

i32 match_redirection(Cursor* cursor) {
    return match_first(cursor, redirection_operators, REDIRECTION_OPERATOR_COUNT);
}

static RawWord word_before(Str input, i64 i, i64 consumed, i32 ends_line) {
    return RawWord{str_take(input, i), consumed, ends_line};
}

// An operator word at the start of the input; one always matches.
static RawWord operator_word(Str input) {
    Cursor cursor = {input, 0};
    u8 b = str_at(input, 0);
    if (b == '<' || b == '>') match_redirection(&cursor);
    else if (!match_first(&cursor, ampersand_redirections, 3))
        match_first(&cursor, control_operators, CONTROL_OPERATOR_COUNT);
    return word_before(input, cursor.pos, cursor.pos, 0);
}

static i32 is_digit(u8 b) { return b >= '0' && b <= '9'; }
static i32 is_operator_byte(u8 b) { return b == '&' || b == ';' || b == '|' || b == '<' || b == '>'; }

// A comment runs to the next line feed, which is left for the next line.
static RawWord comment_word(Str input) {
    const void* lf = __builtin_memchr(input.data, '\n', (size_t)input.len);
    i64 end = lf ? (const char*)lf - input.data : input.len;
    return RawWord{Str{0, input.data}, end, 1};
}

// Where the bytes of a stretch can end it: its closer, or an escape inside double quotes.
static i64 scan_stretch_byte(Str input, i64 p, u8 b, i32* state) {
    i64 len = input.len;
    if (b == shell_closer(*state)) {
        if (*state != DOUBLE_PARENTHESISED && *state != DOUBLE_BRACKETED) *state = PLAIN;
        else if (p < len && str_at(input, p) == b) *state = PLAIN, p++;
    } else if (*state == DOUBLE_QUOTED && b == '\\' && p < len &&
               str_find_any(Str{1, input.data + p}, double_quote_escapes) >= 0) {
        p++;
    }
    return p;
}

RawWord scan_raw_word(Str input) {
    i64 len = input.len, p = 0;
    i32 state = PLAIN;
    while (p < len) {
        i64 i = p;
        u8 b = str_at(input, i);
        if (state == SINGLE_QUOTED) {
            const void* quote = __builtin_memchr(input.data + i, '\'', (size_t)(len - i));
            if (!quote) break;
            p = (const char*)quote - input.data + 1;
            state = PLAIN;
            continue;
        }
        if (state == PLAIN && (i > 0 || !is_digit(b))) {
            i64 run = shell_plain_run(str_skip(input, i));
            if (run > 0) {
                p = i + run;
                continue;
            }
        }
        p = i + 1;
        i32 next = p < len ? str_at(input, p) : -1;
        if (state != PLAIN) {
            p = scan_stretch_byte(input, p, b, &state);
        } else if (b == ' ' || b == '\t') {
            return word_before(input, i, i + 1, 0);
        } else if (b == '\n') {
            return word_before(input, i, i + 1, 1);
        } else if (b == '\r') {
            return word_before(input, i, next == '\n' ? i + 2 : i + 1, 1);
        } else if (b == '#' && i == 0) {
            return comment_word(input);
        } else if (is_operator_byte(b)) {
            return i > 0 ? word_before(input, i, i, 0) : operator_word(input);
        } else if (is_digit(b) && i == 0) {
            i64 j = p;
            while (j < len && is_digit(str_at(input, j))) j++;
            Cursor cursor = {input, j};
            if (match_redirection(&cursor)) return word_before(input, cursor.pos, cursor.pos, 0);
            p = j;
        } else if (b == '\\' && next == '\n') {
            return word_before(input, i, i + 2, 0);
        } else if (b == '\\' && next == '\r' && p + 1 < len && str_at(input, p + 1) == '\n') {
            return word_before(input, i, i + 3, 0);
        } else if (b == '\\') {
            if (next >= 0) p++;
        } else {
            state = shell_opened_state(b, next);
            if (state == DOUBLE_PARENTHESISED || state == DOUBLE_BRACKETED) p++;
        }
    }
    return RawWord{input, len, 1};
}

void split_shell_line(Str* input, Arena* arena, StrList* words) {
    for (;;) {
        RawWord raw = scan_raw_word(*input);
        Str text = str_trim(raw.text);
        if (text.len > 0) finish_word(text, arena, words);
        *input = str_skip(*input, raw.consumed);
        if (raw.ends_line || input->len == 0) return;
    }
}
