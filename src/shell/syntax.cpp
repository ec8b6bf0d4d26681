// The shell's byte classes, its quoting state machine, its operators and the run of ordinary bytes.
#include "shell/syntax.h"
#include "core/block.h"

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

// Bit i is set when byte i of the aligned block at p fails a quick test for ordinary bytes: below
// ")", or, once bits 0x20 and 0x40 are set, "`", "{", "|" or "~". The second part takes in ";", "<"
// and ">", "[" and the backslash, "`", "{" and "|", and also "@", "^" and "~". That is every byte that
// is not ordinary and a few that are, which the table then decides.
static u32 flagged_in_block(const char* p) {
    Block b = block_load(p, BLOCK_BYTES);
    Block folded = b | 0x60;
    return block_mask((b < 0x29) | (folded == '`') | (folded == '{') | (folded == '|') | (folded == '~'));
}

[[gnu::noinline]] u64 shell_flagged_in_marks(const char* p) {
    u64 flagged = 0;
    for (i64 i = 0; i < MARKS_BYTES; i += BLOCK_BYTES) flagged |= (u64)flagged_in_block(p + i) << i;
    return flagged;
}
