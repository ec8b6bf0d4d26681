// The shell's syntax as the scanner and the unquoter read it: quoting states, what each byte is to
// unquoted text, the quoting state machine, the operators, and the run of ordinary bytes.
#pragma once
#include "core/bytes.h"
#include "core/fast_paths.h"

// The quoting state within one shell word. A stretch opened in unquoted text runs to its closer;
// there is no nesting.
enum ShellState : i32 {
    UNQUOTED = 0,
    SINGLE_QUOTED = 1,         // from ' to the next '
    DOUBLE_QUOTED = 2,         // from " to the next " that no backslash escapes
    BACKQUOTED = 3,            // from ` to the next `
    BRACED = 4,                // from { to the next }
    PARENTHESISED = 5,         // from ( to the next )
    DOUBLE_PARENTHESISED = 6,  // from (( to the next ))
    BRACKETED = 7,             // from [ to the next ]
    DOUBLE_BRACKETED = 8,      // from [[ to the next ]]
};

// The bytes a backslash escapes inside double quotes.
inline constexpr Str double_quote_escapes = "\"$\\`\n"_s;


enum { SHELL_STATE_COUNT = DOUBLE_BRACKETED + 1 };

// The byte that closes each state's stretch.
inline constexpr u8 shell_closers[SHELL_STATE_COUNT] = {0, '\'', '"', '`', '}', ')', ')', ']', ']'};

// For each state, the bytes that can matter inside its stretch: its closer, a line feed and, inside
// double quotes, the backslash that may escape a closer. Every other byte of a stretch stands for
// itself.
inline constexpr Str shell_stretch_stops[SHELL_STATE_COUNT] = {
    ""_s, "'\n"_s, "\"\\\n"_s, "`\n"_s, "}\n"_s, ")\n"_s, ")\n"_s, "]\n"_s, "]\n"_s,
};

// What one step of the quoting state machine took.
enum ShellStepKind : i32 {
    STEP_ORDINARY,  // a byte that stands for itself in its state
    STEP_OPENER,    // an opener in unquoted text, "((" and "[[" both bytes
    STEP_CLOSER,    // the closer of the state's stretch, "))" and "]]" both bytes
    STEP_ESCAPE,    // a backslash and the byte it escapes; the backslash alone at the end of the text
};

struct ShellStep {
    ShellStepKind kind;
    i64 taken;         // bytes taken: 1, or 2 for a doubled opener or closer and an escape with its byte
    ShellState state;  // the state after them
};

// One step of the quoting state machine at text[i], in the given state: a closer ends its stretch
// (a single ")" or "]" inside "((" or "[[" is ordinary), in unquoted text an opener starts one, a
// backslash takes the byte it escapes (in unquoted text any, inside double quotes one of
// double_quote_escapes), and every other byte is ordinary. The scanner and the unquoter both walk
// words with it, so that they pass through the same states at the same bytes. It is defined here so
// that the loops of both inline it.
inline ShellStep shell_step(Str text, i64 i, ShellState state) {
    u8 b = str_at(text, i);
    i32 more = i + 1 < text.len;
    if (state == UNQUOTED) {
        if (b == '\\') return ShellStep{STEP_ESCAPE, more ? 2 : 1, UNQUOTED};
        if (shell_byte(b) != SHELL_OPENER) return ShellStep{STEP_ORDINARY, 1, UNQUOTED};
        i32 doubled = (b == '(' || b == '[') && more && str_at(text, i + 1) == b;
        switch (b) {
        case '\'': return ShellStep{STEP_OPENER, 1, SINGLE_QUOTED};
        case '"': return ShellStep{STEP_OPENER, 1, DOUBLE_QUOTED};
        case '`': return ShellStep{STEP_OPENER, 1, BACKQUOTED};
        case '{': return ShellStep{STEP_OPENER, 1, BRACED};
        case '(': return doubled ? ShellStep{STEP_OPENER, 2, DOUBLE_PARENTHESISED} : ShellStep{STEP_OPENER, 1, PARENTHESISED};
        default: return doubled ? ShellStep{STEP_OPENER, 2, DOUBLE_BRACKETED} : ShellStep{STEP_OPENER, 1, BRACKETED};
        }
    }
    if (b == shell_closers[state]) {
        if (state != DOUBLE_PARENTHESISED && state != DOUBLE_BRACKETED) return ShellStep{STEP_CLOSER, 1, UNQUOTED};
        if (more && str_at(text, i + 1) == b) return ShellStep{STEP_CLOSER, 2, UNQUOTED};
        return ShellStep{STEP_ORDINARY, 1, state};
    }
    if (b != '\\' || state != DOUBLE_QUOTED) return ShellStep{STEP_ORDINARY, 1, state};
    if (!more) return ShellStep{STEP_ESCAPE, 1, state};
    for (i64 k = 0; k < double_quote_escapes.len; k++)
        if (str_at(text, i + 1) == str_at(double_quote_escapes, k)) return ShellStep{STEP_ESCAPE, 2, state};
    return ShellStep{STEP_ORDINARY, 1, state};
}

// How many of the bytes a step took at text[i] the finished word drops, always its first ones: a
// quote that opens or closes, the backslash of an escape, and all of an escaped line feed (which
// joins the lines) or of a backslash alone at the end. The rest of the step is kept as it is.
inline i64 shell_step_dropped(Str text, i64 i, ShellStep step, ShellState before) {
    switch (step.kind) {
    case STEP_ESCAPE: return step.taken == 2 && str_at(text, i + 1) != '\n' ? 1 : step.taken;
    case STEP_OPENER: return step.state == SINGLE_QUOTED || step.state == DOUBLE_QUOTED ? step.taken : 0;
    case STEP_CLOSER: return before == SINGLE_QUOTED || before == DOUBLE_QUOTED ? step.taken : 0;
    default: return 0;
    }
}

enum { WORD_CUTS = 6 };

// The bytes of a raw word that its finished form drops, as the scanner met them; a word with more
// than WORD_CUTS is left to the unquoter's own walk.
struct WordCuts {
    i64 count;          // bytes dropped; their positions are known while it is at most WORD_CUTS
    i64 at[WORD_CUTS];  // their positions in the word, ascending
};

inline void word_cuts_note(WordCuts* cuts, i64 at, i64 n) {
    for (; n > 0; n--, at++) {
        if (cuts->count < WORD_CUTS) cuts->at[cuts->count] = at;
        cuts->count++;
    }
}

// Ordered tables: the first entry that matches wins, so longer operators stand first.
inline constexpr Str redirection_operators[] = {
    "&>>"_s, "&>|"_s, "&>"_s, ">|"_s, "<<<"_s, "<<-"_s, ">>"_s,
    "<<"_s,  ">&"_s,  "<&"_s, "<>"_s, ">"_s,   "<"_s,
};

inline constexpr Str control_operators[] = {
    ";;&"_s, ";;"_s, ";&"_s, ";"_s, "&&"_s, "&"_s, "||"_s, "|&"_s, "|"_s, "("_s, ")"_s,
};

enum : i64 {
    REDIRECTION_OPERATOR_COUNT = sizeof redirection_operators / sizeof redirection_operators[0],
    CONTROL_OPERATOR_COUNT = sizeof control_operators / sizeof control_operators[0],
};

// At the first entry of the operators that matches at the cursor, moves past it and gives 1.
i32 match_redirection(Cursor* cursor);
i32 match_control_operator(Cursor* cursor);
// Whether a word is a control operator; or a redirection operator, possibly after a file-descriptor
// number.
i32 is_control_operator(Str word);
i32 is_redirection_word(Str word);

enum { MARKS_BYTES = 64 };

// What the tests of earlier runs learnt of one aligned stretch of MARKS_BYTES bytes, kept while a text
// is read from front to back so that each stretch is tested once. The zero value knows none.
struct OrdinaryMarks {
    const char* block;     // start of the stretch tested last, or null
    u64 flagged;           // bit i: byte i of that stretch failed the quick test for ordinary bytes
    const char* earlier;   // start of the stretch tested before it, or null: the unquoter walks a
                           // word again from its start, which may lie in it
    u64 earlier_flagged;   // its bits
};

// The flags of the MARKS_BYTES aligned bytes at p, bit i for byte i: set where the byte fails a quick
// test for ordinary bytes, which every byte that is not ordinary fails, and a few that are.
u64 shell_flagged_in_marks(const char* p);

// The general rule: a byte at a time, by the table.
inline i64 ordinary_run_general(Str s, OrdinaryMarks*) {
    i64 n = 0;
    while (n < s.len && shell_byte(str_at(s, n)) == SHELL_ORDINARY) n++;
    return n;
}

// The fast kernel: MARKS_BYTES aligned bytes at a time, each such stretch tested once, so that runs
// that follow one another in it reuse its marks. An aligned stretch lies within one memory page, so
// reading all of it is safe even where it starts before s or ends after it; the bits of those bytes
// are never used. A run that ends at its first byte needs no marks: words that start with a quote
// are common, and their stretch often needs no test.
inline i64 ordinary_run_fast(Str s, OrdinaryMarks* marks) {
    i64 n = 0;
    while (n < s.len) {
        const char* at = s.data + n;
        const char* block = (const char*)((uintptr_t)at & ~(uintptr_t)(MARKS_BYTES - 1));
        if (block != marks->block) {
            if (shell_byte(str_at(s, n)) != SHELL_ORDINARY) return n;
            const char* other = marks->block;
            u64 other_flagged = marks->flagged;
            marks->flagged = block == marks->earlier ? marks->earlier_flagged : shell_flagged_in_marks(block);
            marks->block = block;
            marks->earlier = other;
            marks->earlier_flagged = other_flagged;
        }
        u64 flagged = marks->flagged >> (at - block);
        if (!flagged) {
            n += MARKS_BYTES - (at - block);
            continue;
        }
        n += __builtin_ctzll(flagged);
        if (n >= s.len) return s.len;
        if (shell_byte(str_at(s, n)) != SHELL_ORDINARY) return n;
        n++;
    }
    return s.len;
}

// Length of the run at the front of s of ordinary bytes: no quote, opener, backslash, blank, line
// end, comment sign or operator byte. The marks must come from earlier runs over the same bytes,
// unchanged since. It is defined here so that the scanner's and the unquoter's loops inline it.
inline i64 shell_ordinary_run(Str s, OrdinaryMarks* marks) {
    return fast_or_general(ordinary_run_fast, ordinary_run_general)(s, marks);
}
