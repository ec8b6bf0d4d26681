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
};

// The flush function of the Output bound to this sink (passed as its opaque pointer).
void sink_write(void* sink, i64 length, const char* bytes);

// Writes the staged units to the console.
void flush_console(StdSink* sink);

// At exit: a character still cut off becomes U+FFFD per byte, then everything staged is written.
void finish_console(StdSink* sink);
