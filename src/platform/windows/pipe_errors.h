// What the Windows program makes of the system's error codes for pipes: plain logic, so that the
// tests can check it on any system (wine gives none of the codes of a pipe's far end going away).
#pragma once
#include "core/str.h"

enum : u32 {
    WINDOWS_HANDLE_EOF = 38,           // ERROR_HANDLE_EOF
    WINDOWS_BROKEN_PIPE = 109,         // ERROR_BROKEN_PIPE
    WINDOWS_NO_DATA = 232,             // ERROR_NO_DATA: the pipe is being closed
    WINDOWS_PIPE_NOT_CONNECTED = 233,  // ERROR_PIPE_NOT_CONNECTED
};

// A failed read's result: a pipe whose writer has gone and an end-of-file report are the stream's
// ordinary end (0); any other error is a failure (-1).
inline i64 windows_failed_read(u32 error) {
    return error == WINDOWS_BROKEN_PIPE || error == WINDOWS_HANDLE_EOF ? 0 : -1;
}

// Whether a failed write says only that the reader went away: a pipe whose reader has gone fails
// writes as broken, as being closed, or as having no reader.
inline i32 windows_reader_gone(u32 error) {
    return error == WINDOWS_BROKEN_PIPE || error == WINDOWS_NO_DATA || error == WINDOWS_PIPE_NOT_CONNECTED;
}
