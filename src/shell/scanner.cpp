// One forward pass per raw word: quoting states, operators, comments, continuations, line ends.
#include "shell/scanner.h"
#include "core/fast_paths.h"
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

// The word of the input's first i bytes; plain_end is how far from the start the bytes were all plain.
static RawWord word_before(Str input, i64 i, i64 consumed, i32 ends_line, i64 plain_end) {
    return RawWord{Str{i, input.data}, consumed, ends_line, i > 0 && plain_end == i};
}

// An operator word at the start of the input; one always matches.
static RawWord operator_word(Str input) {
    Cursor cursor = {input, 0};
    u8 b = str_at(input, 0);
    if (b == '<' || b == '>') match_redirection(&cursor);
    else if (!match_first(&cursor, ampersand_redirections, 3))
        match_first(&cursor, control_operators, CONTROL_OPERATOR_COUNT);
    return word_before(input, cursor.pos, cursor.pos, 0, 0);
}

static i32 is_digit(u8 b) { return b >= '0' && b <= '9'; }

// A comment runs to the next line feed, which is left for the next line.
static RawWord comment_word(Str input) {
    const void* lf = __builtin_memchr(input.data, '\n', (size_t)input.len);
    i64 end = lf ? (const char*)lf - input.data : input.len;
    return RawWord{Str{0, input.data}, end, 1, 0};
}

// Whether the line feed at i is escaped: make continues a recipe line only with a backslash right
// before its line feed (or before its CR LF), so a line feed without one ends the command even inside
// a quoted or bracketed stretch, which a shell never reads past it.
static i32 is_escaped_line_feed(Str input, i64 i) {
    if (i >= 1 && str_at(input, i - 1) == '\\') return 1;
    return i >= 2 && str_at(input, i - 1) == '\r' && str_at(input, i - 2) == '\\';
}

// The general rule for the byte at *p inside the stretch that the state opened, one byte at a time:
// its closer ends the stretch ("((" and "[[" need theirs doubled), inside double quotes a backslash
// takes a byte it escapes with it, and a line feed that no backslash escapes ends the command.
// Returns the position of that line feed, or -1.
static i64 stretch_byte(Str input, i64* p, i32* state) {
    i64 i = (*p)++;
    u8 b = str_at(input, i);
    i32 more = *p < input.len;
    if (b == '\n' && !is_escaped_line_feed(input, i)) return i;
    if (*state == DOUBLE_QUOTED && b == '\\') {
        if (more && str_find_any(Str{1, input.data + *p}, double_quote_escapes) >= 0) (*p)++;
        return -1;
    }
    if (b != shell_closer(*state)) return -1;
    if (*state == DOUBLE_PARENTHESISED || *state == DOUBLE_BRACKETED) {
        if (!more || str_at(input, *p) != b) return -1;
        (*p)++;
    }
    *state = PLAIN;
    return -1;
}

// Fast path of stretch_byte: from *p inside the stretch, on to just after its closer, with the state
// back to plain, or to the line feed that ends the command, or to the end of the input. Only the
// closer, a line feed and, inside double quotes, a backslash can matter, so the bytes between are
// searched for, not looked at one by one; what each found byte does is stretch_byte's rule.
static i64 skip_stretch(Str input, i64* p, i32* state) {
    for (;;) {
        i64 k = str_find_any(Str{input.len - *p, input.data + *p}, shell_stretch_stops[*state]);
        if (k < 0) {
            *p = input.len;
            return -1;
        }
        *p += k;
        i64 line_end = stretch_byte(input, p, state);
        if (line_end >= 0 || *state == PLAIN || *p == input.len) return line_end;
    }
}

RawWord scan_raw_word(Str input, PlainMarks* marks) {
    // Fast path: most words are a run of plain bytes ended by a blank or a line feed. Those bytes
    // open, escape or end nothing, and a word that starts with digits is a redirection only when an
    // operator follows them, so the rules below would cut the same word.
    i64 run = fast_paths ? shell_plain_run(input, marks) : 0;
    if (run > 0 && run < input.len) {
        u8 end = str_at(input, run);
        if (end == ' ' || end == '\t' || end == '\n') return RawWord{Str{run, input.data}, run + 1, end == '\n', 1};
    }
    i64 len = input.len;
    i64 p = run, plain_end = run;  // the bytes before plain_end are all plain; scanning goes on at p
    i32 state = PLAIN;
    if (is_digit(str_at(input, 0))) {
        i64 j = 1;
        while (j < len && is_digit(str_at(input, j))) j++;
        Cursor cursor = {input, j};
        if (match_redirection(&cursor)) return word_before(input, cursor.pos, cursor.pos, 0, 0);
        p = plain_end = j;
    }
    while (p < len) {
        if (state != PLAIN) {
            i64 line_end = fast_paths ? skip_stretch(input, &p, &state) : stretch_byte(input, &p, &state);
            if (line_end >= 0) return word_before(input, line_end, line_end + 1, 1, plain_end);
            continue;
        }
        i64 i = p++;
        u8 b = str_at(input, i);
        switch (shell_byte(b)) {
        case SHELL_PLAIN:
            if (fast_paths) p = i + shell_plain_run(Str{len - i, input.data + i}, marks);
            if (plain_end == i) plain_end = p;
            break;
        case SHELL_BLANK:
            return word_before(input, i, i + 1, 0, plain_end);
        case SHELL_LINE_FEED:
            return word_before(input, i, i + 1, 1, plain_end);
        case SHELL_CARRIAGE_RETURN:
            return word_before(input, i, p < len && str_at(input, p) == '\n' ? i + 2 : i + 1, 1, plain_end);
        case SHELL_COMMENT:
            if (i == 0) return comment_word(input);
            break;
        case SHELL_OPERATOR:
            return i > 0 ? word_before(input, i, i, 0, plain_end) : operator_word(input);
        case SHELL_BACKSLASH:
            if (p == len) break;
            if (str_at(input, p) == '\n') return word_before(input, i, i + 2, 0, plain_end);
            if (str_at(input, p) == '\r' && p + 1 < len && str_at(input, p + 1) == '\n')
                return word_before(input, i, i + 3, 0, plain_end);
            p++;
            break;
        default:
            state = shell_opened_state(b, p < len ? str_at(input, p) : -1);
            if (state == DOUBLE_PARENTHESISED || state == DOUBLE_BRACKETED) p++;
            break;
        }
    }
    return RawWord{input, len, 1, plain_end == len};
}

void split_shell_line(Str* input, Arena* arena, StrList* words) {
    PlainMarks marks = {};
    Str rest = *input;
    for (;;) {
        RawWord raw = scan_raw_word(rest, &marks);
        // A raw word never starts with a blank or a line end (either would have ended it there), and a
        // plain one holds none: trimming changes only a word whose last byte is one.
        Str text = raw.text;
        if (!raw.plain && text.len > 0 && is_space(str_at(text, text.len - 1))) text = str_trim(text);
        if (text.len > 0) finish_word(text, raw.plain, &marks, arena, words);
        rest = Str{rest.len - raw.consumed, rest.data + raw.consumed};
        if (raw.ends_line || rest.len == 0) break;
    }
    *input = rest;
}
