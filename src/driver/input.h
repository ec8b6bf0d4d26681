// What the program reads: a stream to its end into one block, and the text of input saved with a
// byte-order mark.
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

// Reads to the end of the stream into *input, which holds what has been read at every moment.
void read_all_input(OsHandle handle, Arena* arena, Input* input);
// The input as UTF-8, for input saved with a byte-order mark (as Windows PowerShell 5.1 and its
// Out-File write logs): the mark of UTF-8 is dropped, and UTF-16 of either order is decoded into
// the arena. Any other input is the same bytes.
Str input_as_utf8(Str raw, Arena* arena);
