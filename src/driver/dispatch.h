// The main loop over the input: directory lines, shell commands and the JSON array around them,
// dispatched as the input arrives.
#pragma once
#include "core/arena.h"
#include "driver/dirstack.h"
#include "output/output.h"
#include "output/trace_lists.h"

enum { LAST_DIRECTORY_BYTES = 512 };

// What every iteration works with, and how far the input has been dispatched.
struct Dispatcher {
    Output* out;
    Output* err;
    i32 verbose;
    TraceLists* trace_lists;  // the trace's memo of the current line's word lists; null without -v
    DirStack stack;
    Arena line_arena_start;   // the scratch arena's state at the start of every line
    i64 total_objects;        // entries written so far
    i32 said;                 // the EnterResult flags whose message has been written
    i64 done;                 // bytes of the input dispatched
    i64 settled;              // the input up to here ends in a line feed that no later byte can
                              // join to the next line, so every line that starts before it is whole
    i64 searched;             // bytes of the input looked at for such line feeds
    i64 retry_at;             // the input's length from which a directory line still open is
                              // tried again; doubling what is pending keeps the retries linear
    char* last_directory;     // when given, the end of the directory of the last entry, for the
                              // status line (LAST_DIRECTORY_BYTES of room)
    i64 last_directory_len;   // bytes held there
};

// The dispatcher's memory comes from the arena, which must not be the one the input grows in while
// lines are dispatched. Opens the document.
void dispatch_begin(Dispatcher* d, Str cwd, Arena* arena, Output* out, Output* err, i32 verbose);
// Dispatches the lines of the input (everything read so far) from where the last call stopped, as far
// as no byte still to come can change what they give; at the end, all of them, and closes the
// document. Returns the number of entries written so far.
i64 dispatch_available(Dispatcher* d, Str input, i32 at_end);
