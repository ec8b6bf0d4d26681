// Finishing raw shell words: path-word slash normalisation, then removal of shell quoting.
#pragma once
#include "core/list.h"

// The quoting state within one shell word; the scanner and the unquoter share the numbering.
enum ShellState {
    PLAIN = 0,
    SINGLE_QUOTED = 1,
    DOUBLE_QUOTED = 2,
    BACKQUOTED = 3,
    BRACED = 4,
    PARENTHESISED = 5,
    DOUBLE_PARENTHESISED = 6,
    BRACKETED = 7,
    DOUBLE_BRACKETED = 8,
};

// The bytes a backslash escapes inside double quotes.
extern const Str double_quote_escapes;

// Which bytes of one aligned block of 16 may not be plain, kept while a text is scanned from front
// to back so that the block is tested once. The zero value knows no block.
struct PlainMarks {
    const char* block;  // start of the block tested last, or null
    u32 flagged;        // bit i: byte i of that block failed the quick test for plain bytes
};

// A fixed-capacity byte sink.
struct ByteBuffer {
    i64 capacity;  // bytes that fit
    char* data;    // first byte of the storage
    i64 count;     // bytes written so far
};

void push_byte(ByteBuffer* buffer, u8 b);
void push_bytes(ByteBuffer* buffer, Str bytes);
i32 is_path_word(Str word);
// The marks must be valid for the word's bytes (see shell_plain_run).
Str unquote_word(Str word, Arena* arena, PlainMarks* marks);
// Appends the finished form of a raw word; plain says that all its bytes are plain. The marks, when
// given, are the scanner's for the bytes of the word.
void finish_word(Str raw, i32 plain, PlainMarks* marks, Arena* arena, StrList* words);

// What a byte is to plain text: plain (kept as it is), or what ends, escapes or opens something.
enum ShellByte {
    SHELL_PLAIN = 0,
    SHELL_BLANK,            // space or tab
    SHELL_LINE_FEED,
    SHELL_CARRIAGE_RETURN,
    SHELL_COMMENT,          // "#"
    SHELL_OPERATOR,         // "&", ";", "|", "<" or ">"
    SHELL_BACKSLASH,
    SHELL_OPENER,           // a quote, backquote, "{", "(" or "["
};
i32 shell_byte(u8 b);

// The state a stretch opener puts plain text in, or PLAIN when b opens nothing; next is the
// byte after b (-1 at the end), which decides between single and double brackets.
i32 shell_opened_state(u8 b, i32 next);
// The byte that closes the given state's stretch.
u8 shell_closer(i32 state);
// For each state, the bytes that can end its stretch: its closer, the line feed that ends the command
// unless a backslash escapes it, and, inside double quotes, the backslash that may escape a closer.
// Every other byte of a stretch stands as it is.
extern const Str shell_stretch_stops[9];

// Length of the run at the front of s of bytes that plain text keeps as they are: no quote,
// opener, backslash, blank, line end, comment sign or operator byte. The marks must come from
// earlier runs over the same bytes, unchanged since.
i64 shell_plain_run(Str s, PlainMarks* marks);
