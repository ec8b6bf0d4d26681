// One forward pass per raw word: quoting states, operators, comments, continuations, line ends.
#include "shell/scanner.h"
#include "core/fast_paths.h"
#include "shell/unquote.h"

// The word of the input's first i bytes; ordinary_end is how far from the start the bytes were all
// ordinary.
static RawWord word_before(Str input, i64 i, i64 consumed, i32 ends_line, i64 ordinary_end) {
    return RawWord{Str{i, input.data}, consumed, ends_line, i > 0 && ordinary_end == i};
}

// The general rule: the length of the operator at the start of the input, by the tables; one always
// matches. Redirections start with "&", "<" or ">" and go first, so that "&>" is one rather than "&"
// and ">".
static i64 operator_length_general(Str input) {
    Cursor cursor = {input, 0};
    u8 b = str_at(input, 0);
    if (!((b == '&' || b == '<' || b == '>') && match_redirection(&cursor))) match_control_operator(&cursor);
    return cursor.pos;
}

// The fast kernel: by the operator's first bytes, with the longest of the tables' operators that
// start with them, which is the one the tables' order finds first.
static i64 operator_length_fast(Str input) {
    u8 second = input.len > 1 ? str_at(input, 1) : 0, third = input.len > 2 ? str_at(input, 2) : 0;
    switch (str_at(input, 0)) {
    case '&':
        if (second == '>') return third == '>' || third == '|' ? 3 : 2;
        return second == '&' ? 2 : 1;
    case '>':
        return second == '|' || second == '>' || second == '&' ? 2 : 1;
    case '<':
        if (second == '<') return third == '<' || third == '-' ? 3 : 2;
        return second == '&' || second == '>' ? 2 : 1;
    case ';':
        if (second == ';') return third == '&' ? 3 : 2;
        return second == '&' ? 2 : 1;
    case '|':
        return second == '|' || second == '&' ? 2 : 1;
    default:
        return operator_length_general(input);
    }
}

static RawWord operator_word(Str input) {
    i64 n = fast_or_general(operator_length_fast, operator_length_general)(input);
    return word_before(input, n, n, 0, 0);
}

// A comment runs to the next line feed, which is left for the next line.
static RawWord comment_word(Str input) {
    i64 end = str_find_any(input, "\n"_s);
    return RawWord{Str{0, input.data}, end >= 0 ? end : input.len, 1, 0};
}

// Whether the line feed at i is escaped: make continues a recipe line only with a backslash right
// before its line feed (or before its CR LF), so a line feed without one ends the command even inside
// a quoted or bracketed stretch, which a shell never reads past it.
static i32 is_escaped_line_feed(Str input, i64 i) {
    if (i >= 1 && str_at(input, i - 1) == '\\') return 1;
    return i >= 2 && str_at(input, i - 1) == '\r' && str_at(input, i - 2) == '\\';
}

// The general rule inside the stretch that the state opened: one step of the quoting state machine at
// *p, unless the byte there is a line feed that no backslash escapes, which ends the command.
// Returns the position of that line feed, or -1.
static i64 stretch_general(Str input, i64* p, ShellState* state, WordCuts* cuts) {
    if (str_at(input, *p) == '\n' && !is_escaped_line_feed(input, *p)) return *p;
    ShellStep step = shell_step(input, *p, *state);
    word_cuts_note(cuts, *p, shell_step_dropped(input, *p, step, *state));
    *p += step.taken;
    *state = step.state;
    return -1;
}

// The fast kernel: from *p on, the bytes that cannot matter are searched past, not stepped over one
// by one; each byte that can is stepped by the general rule, until the stretch or the command ends, or
// the input does.
static i64 stretch_fast(Str input, i64* p, ShellState* state, WordCuts* cuts) {
    for (;;) {
        i64 k = str_find_any(Str{input.len - *p, input.data + *p}, shell_stretch_stops[*state]);
        if (k < 0) {
            *p = input.len;
            return -1;
        }
        *p += k;
        i64 line_end = stretch_general(input, p, state, cuts);
        if (line_end >= 0 || *state == UNQUOTED || *p == input.len) return line_end;
    }
}

RawWord scan_raw_word(Str input, OrdinaryMarks* marks, WordCuts* cuts) {
    // Most words are a run of ordinary bytes ended by a blank or a line feed. Those bytes open, escape
    // or end nothing, and a word that starts with digits is a redirection only when an operator
    // follows them, so the rules below would cut the same word.
    i64 run = shell_ordinary_run(input, marks);
    if (run > 0 && run < input.len) {
        u8 end = str_at(input, run);
        if (end == ' ' || end == '\t' || end == '\n') return RawWord{Str{run, input.data}, run + 1, end == '\n', 1};
    }
    cuts->count = 0;
    i64 len = input.len;
    i64 p = run, ordinary_end = run;  // the bytes before ordinary_end are all ordinary; scanning goes on at p
    ShellState state = UNQUOTED;
    if (byte_is(str_at(input, 0), BYTE_DIGIT)) {
        i64 j = 1;
        while (j < len && byte_is(str_at(input, j), BYTE_DIGIT)) j++;
        Cursor cursor = {input, j};
        if (match_redirection(&cursor)) return word_before(input, cursor.pos, cursor.pos, 0, 0);
        p = ordinary_end = j;
    }
    while (p < len) {
        if (state != UNQUOTED) {
            i64 line_end = fast_or_general(stretch_fast, stretch_general)(input, &p, &state, cuts);
            if (line_end >= 0) return word_before(input, line_end, line_end + 1, 1, ordinary_end);
            continue;
        }
        i64 i = p;
        u8 b = str_at(input, i);
        switch (shell_byte(b)) {
        case SHELL_ORDINARY:
            p = i + 1 + shell_ordinary_run(Str{len - i - 1, input.data + i + 1}, marks);
            if (ordinary_end == i) ordinary_end = p;
            break;
        case SHELL_BLANK:
            return word_before(input, i, i + 1, 0, ordinary_end);
        case SHELL_LINE_FEED:
            return word_before(input, i, i + 1, 1, ordinary_end);
        case SHELL_CARRIAGE_RETURN:
            return word_before(input, i, i + 1 < len && str_at(input, i + 1) == '\n' ? i + 2 : i + 1, 1, ordinary_end);
        case SHELL_COMMENT:
            if (i == 0) return comment_word(input);
            p = i + 1;
            break;
        case SHELL_OPERATOR:
            return i > 0 ? word_before(input, i, i, 0, ordinary_end) : operator_word(input);
        case SHELL_BACKSLASH:
            // A backslash before a line feed (or CR LF) continues the line, which ends the word.
            if (i + 1 < len && str_at(input, i + 1) == '\n') return word_before(input, i, i + 2, 0, ordinary_end);
            if (i + 2 < len && str_at(input, i + 1) == '\r' && str_at(input, i + 2) == '\n')
                return word_before(input, i, i + 3, 0, ordinary_end);
            [[fallthrough]];
        default: {
            ShellStep step = shell_step(input, i, state);
            word_cuts_note(cuts, i, shell_step_dropped(input, i, step, state));
            p = i + step.taken;
            state = step.state;
            break;
        }
        }
    }
    return RawWord{input, len, 1, ordinary_end == len};
}

void split_shell_line(Str* input, Arena* arena, StrList* words) {
    OrdinaryMarks marks = {};
    WordCuts cuts;
    Str rest = *input;
    for (;;) {
        RawWord raw = scan_raw_word(rest, &marks, &cuts);
        // A raw word never starts with a blank or a line end (either would have ended it there), and an
        // ordinary one holds none: trimming changes only a word whose last byte is one, whose cuts
        // then no longer fit it.
        Str text = raw.text;
        const WordCuts* text_cuts = &cuts;
        if (!raw.ordinary && text.len > 0 && byte_is(str_at(text, text.len - 1), BYTE_SPACE)) {
            text = str_trim(text);
            text_cuts = nullptr;
        }
        if (text.len > 0) finish_word(text, raw.ordinary, text_cuts, &marks, arena, words);
        rest = Str{rest.len - raw.consumed, rest.data + raw.consumed};
        if (raw.ends_line || rest.len == 0) break;
    }
    *input = rest;
}

void trace_shell_words(Output* err, TraceLists* lists, StrList words) {
    write_line(err, "Tokenized shell line:"_s);
    err->indent++;
    trace_str_list(err, lists, words);
    err->indent--;
}
