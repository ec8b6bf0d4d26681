// What the program reads: a stream, a piece at a time, into one block, and the text of input saved
// with a byte-order mark.
#pragma once
#include "core/platform.h"

enum : i64 { READ_CHUNK = 16384 };

// A stream read to its end.
struct Input {
    Str text;        // everything read, one contiguous block; the unquoter normalises the slashes of
                     // path words in place, so its bytes are the run's to rewrite
    i32 read_failed; // 1 when reading stopped on an error rather than at the end
    i64 error;       // the system's code for that error
    i32 on_console;  // 1 when standard input is a console (a terminal), which is not read
};

// Reads the next piece of the stream into the arena, straight behind what *input holds, which then
// holds it too; 0 at the stream's end or when reading failed, which *input then says.
i64 read_input_piece(OsHandle handle, Arena* arena, Input* input);
// Whether the input starts with the byte-order mark of UTF-16, either order.
i32 input_is_utf16(Str raw);
// The input as UTF-8, for input saved with a byte-order mark (as Windows PowerShell 5.1 and its
// Out-File write logs): the mark of UTF-8 is dropped, and UTF-16 of either order is decoded into
// the arena. Any other input is the same bytes.
Str input_as_utf8(Str raw, Arena* arena);
