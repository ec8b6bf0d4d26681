// The write end of a standard stream: bytes to files and pipes, decoded UTF-16 to consoles.
#pragma once
#include "core/str.h"
#include "core/platform.h"

struct StdSink {
    OsHandle handle;           // the stream's handle as the system gave it
    i32 is_console;            // nonzero when the stream is a console
    i32 failed;                // set by the first failed write, never cleared
    i64 error;                 // the system's code for why that write failed; 0 when it gave none
    u16 units[CONSOLE_UNITS];  // UTF-16 units waiting for the console
    i64 unit_count;            // units waiting in units
    u8 pending[4];             // start of a character cut off at the end of the last write
    i64 pending_count;         // bytes waiting in pending, at most 3
    i32 status_columns;        // the columns the status line was drawn over; 0 while none is shown
};

// The flush function of the Output bound to this sink (passed as its opaque pointer).
void sink_write(void* sink, i64 length, const char* bytes);

// Draws the console's status line over the one shown, if any: text, which holds no line end and
// fits in columns - 1 columns, at the left margin and nothing after it. Everything else written to
// the sink erases the line first, so that it never mixes with other text.
void sink_show_status(StdSink* sink, Str text, i32 columns);
// Erases the status line, if one is shown.
void sink_clear_status(StdSink* sink);

// Writes the staged units to the console.
void flush_console(StdSink* sink);

// At exit: a character still cut off becomes U+FFFD per byte, then everything staged is written.
void finish_console(StdSink* sink);
