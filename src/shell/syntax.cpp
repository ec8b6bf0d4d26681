// The shell's byte classes, its quoting state machine, its operators and the run of ordinary bytes.
#include "shell/syntax.h"
#include "core/block.h"
#include "core/fast_paths.h"

// At the first entry of the table that matches at the cursor, moves past it and gives 1.
template <i64 N>
static i32 match_first(Cursor* cursor, const Str (&table)[N]) {
    for (const Str& operator_text : table)
        if (cursor_match(cursor, operator_text)) return 1;
    return 0;
}

i32 match_redirection(Cursor* cursor) { return match_first(cursor, redirection_operators); }

i32 match_control_operator(Cursor* cursor) { return match_first(cursor, control_operators); }

i32 is_control_operator(Str word) { return str_equals_any(word, control_operators, CONTROL_OPERATOR_COUNT); }

i32 is_redirection_word(Str word) {
    i64 digits = 0;
    while (digits < word.len && byte_is(str_at(word, digits), BYTE_DIGIT)) digits++;
    return str_equals_any(str_skip(word, digits), redirection_operators, REDIRECTION_OPERATOR_COUNT);
}

// The general rule: a byte at a time, by the table.
static i64 ordinary_run_general(Str s, OrdinaryMarks*) {
    i64 n = 0;
    while (n < s.len && shell_byte(str_at(s, n)) == SHELL_ORDINARY) n++;
    return n;
}

// Bit i is set when byte i of the aligned block at p fails a quick test for ordinary bytes: below
// ")", or, once bits 0x20 and 0x40 are set, "`", "{", "|" or "~". The second part takes in ";", "<"
// and ">", "[" and the backslash, "`", "{" and "|", and also "@", "^" and "~". That is every byte that
// is not ordinary and a few that are, which the table then decides.
[[gnu::noinline]] static u32 flagged_in_block(const char* p) {
    Block b = block_load(p, BLOCK_BYTES);
    Block folded = b | 0x60;
    return block_mask((b < 0x29) | (folded == '`') | (folded == '{') | (folded == '|') | (folded == '~'));
}

// The fast kernel: a block at a time, each aligned block tested once, so that runs that follow one
// another in the same block reuse its marks. An aligned block lies within one memory page, so reading
// all of it is safe even where it starts before s or ends after it; the bits of those bytes are never
// used.
static i64 ordinary_run_fast(Str s, OrdinaryMarks* marks) {
    i64 n = 0;
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
        if (shell_byte(str_at(s, n)) != SHELL_ORDINARY) return n;
        n++;
    }
    return s.len;
}

i64 shell_ordinary_run(Str s, OrdinaryMarks* marks) {
    return fast_or_general(ordinary_run_fast, ordinary_run_general)(s, marks);
}
