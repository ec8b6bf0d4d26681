// The unquoter walks a word with the quoting state machine and writes what the shell would keep:
// quotes that quote are dropped, escapes resolved, brackets and substitutions verbatim.
#include "shell/unquote.h"
#include "core/fail.h"
#include "core/block.h"
#include "core/fast_paths.h"

// A fixed-capacity byte sink: the finished word, which never holds more bytes than the raw word.
// Its storage has a block more than its capacity, so that a short run goes in as whole blocks.
struct ByteBuffer {
    i64 capacity;  // bytes that fit
    char* data;    // first byte of the storage, capacity + BLOCK_BYTES bytes
    i64 count;     // bytes written so far
};

// Runs of up to two blocks are stored as their first and their last block (the same one, or two
// that overlap); the bytes stored past the run lie in the spare block and are overwritten or given
// back.
[[gnu::always_inline]] static inline void push_bytes(ByteBuffer* buffer, const char* bytes, i64 n) {
    if (n > buffer->capacity - buffer->count) fail("internal error: word buffer overflow"_s);
    if (n <= 0) return;
    char* dst = buffer->data + buffer->count;
    buffer->count += n;
    if (n == 1) *dst = *bytes;
    else if (n > 2 * BLOCK_BYTES) __builtin_memcpy(dst, bytes, (size_t)n);
    else {
        block_store(dst, block_load(bytes, n));
        if (n > BLOCK_BYTES) block_store(dst + n - BLOCK_BYTES, block_load(bytes + n - BLOCK_BYTES, BLOCK_BYTES));
    }
}

// A word whose text before its first slash or backslash ends in a dot, or in a letter and a colon, is
// a path as Windows writes them, and its backslashes are separators.
static i32 is_path_word(Str word) {
    i64 separator = str_find_any(word, "/\\"_s);
    if (separator < 0) return 0;
    Str head = str_take(word, separator);
    if (str_ends_with(head, "."_s)) return 1;
    if (head.len < 2 || str_at(head, head.len - 1) != ':') return 0;
    u8 letter = str_at(head, head.len - 2) & ~0x20;
    return letter >= 'A' && letter <= 'Z';
}

// How many bytes at the front of rest are kept as they are and can be copied in bulk. The general rule:
// none, every byte goes through the state machine.
static i64 literal_run_general(ShellState, Str, OrdinaryMarks*) { return 0; }

// The fast kernel: a run of ordinary bytes in unquoted text, and in a stretch everything before the
// next byte that can be more than itself, its closer or, inside double quotes, a backslash. Quotes
// often hold long texts (paths, definitions), searched a block at a time; other stretches are short,
// and a simple loop finds their end soonest.
static i64 literal_run_fast(ShellState state, Str rest, OrdinaryMarks* marks) {
    if (state == UNQUOTED) return shell_ordinary_run(rest, marks);
    if (state == SINGLE_QUOTED) {
        i64 quote = str_find_any(rest, "'"_s);
        return quote >= 0 ? quote : rest.len;
    }
    if (state == DOUBLE_QUOTED) {
        i64 stop = block_scan(rest.data, rest.len, [](Block b, i64, i64) { return block_mask((b == '"') | (b == '\\')); });
        return stop >= 0 ? stop : rest.len;
    }
    u8 closer = shell_closers[state];
    i64 n = 0;
    while (n < rest.len && str_at(rest, n) != closer) n++;
    return n;
}

// The finished word in the arena, the unused rest of its room given back. The marks must be valid
// for the word's bytes (see shell_ordinary_run).
static Str unquote_word(Str word, Arena* arena, OrdinaryMarks* marks) {
    // Only the bytes written are kept: no need to zero-fill.
    ByteBuffer out = {word.len, arena_take(arena, word.len + BLOCK_BYTES, 1, 1), 0};
    ShellState state = UNQUOTED;
    Str rest = word;
    while (rest.len > 0) {
        i64 run = fast_or_general(literal_run_fast, literal_run_general)(state, rest, marks);
        if (run > 0) {
            push_bytes(&out, rest.data, run);
            rest = Str{rest.len - run, rest.data + run};
            continue;
        }
        ShellStep step = shell_step(rest, 0, state);
        i64 dropped = shell_step_dropped(rest, 0, step, state);
        push_bytes(&out, rest.data + dropped, step.taken - dropped);
        rest = Str{rest.len - step.taken, rest.data + step.taken};
        state = step.state;
    }
    arena_rewind(arena, out.data + out.count);
    return Str{out.count, out.data};
}

// The general rule: the word walked by the state machine, whatever the scanner saw.
[[gnu::noinline]] static void finish_word_general(Str raw, i32, const WordCuts*, OrdinaryMarks* marks, Arena* arena, StrList* words) {
    // Rewritten bytes need marks of their own; unchanged ones can use what the scanner learnt.
    OrdinaryMarks fresh = {};
    if (is_path_word(raw)) {
        raw = str_normalize_slashes(raw);
        marks = &fresh;
    }
    list_append(words, arena, unquote_word(raw, arena, marks ? marks : &fresh));
}

// The raw word less the bytes at the cuts, in the arena.
static Str word_without_cuts(Str raw, const WordCuts* cuts, Arena* arena) {
    ByteBuffer out = {raw.len, arena_take(arena, raw.len + BLOCK_BYTES, 1, 1), 0};
    i64 from = 0;
    for (i64 k = 0; k <= cuts->count; k++) {
        i64 to = k < cuts->count ? cuts->at[k] : raw.len;
        push_bytes(&out, raw.data + from, to - from);
        from = to + 1;
    }
    arena_rewind(arena, out.data + out.count);
    return Str{out.count, out.data};
}

// The fast kernel. A word of ordinary bytes holds no quote, escape, opener or backslash: it is no path
// word to rewrite, and unquoting would copy it unchanged, so it is shared with the input instead: it
// is used where it stands there, as the input lives as long as the run and its bytes are rewritten
// only inside path words, never ordinary ones. Another word that is no path word is what the walk
// keeps of it: all but the bytes the scanner's walk, the same steps, saw dropped.
static void finish_word_fast(Str raw, i32 ordinary, const WordCuts* cuts, OrdinaryMarks* marks, Arena* arena, StrList* words) {
    if (ordinary) return list_append(words, arena, raw);
    if (cuts && cuts->count <= WORD_CUTS && !is_path_word(raw)) return list_append(words, arena, word_without_cuts(raw, cuts, arena));
    finish_word_general(raw, ordinary, cuts, marks, arena, words);
}

void finish_word(Str raw, i32 ordinary, const WordCuts* cuts, OrdinaryMarks* marks, Arena* arena, StrList* words) {
    fast_or_general(finish_word_fast, finish_word_general)(raw, ordinary, cuts, marks, arena, words);
}
