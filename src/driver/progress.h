// The status line a console keeps while the input arrives: the entries found so far, the megabytes
// read and the directory of the last entry.
#pragma once
#include "driver/dispatch.h"
#include "output/sink.h"

enum : i64 {
    PROGRESS_FIRST_MS = 500,  // a run shorter than this never shows the line
    PROGRESS_EVERY_MS = 100,  // the least time between two drawings
    PROGRESS_TEXT_BYTES = 1024,
};

struct Progress {
    StdSink* sink;             // standard error's sink, a console; null when no line is kept
    i64 next_draw;             // the clock from which the line may be drawn (again)
    i32 held;                  // 1 while text passed on from the command ends within a line
    char directory[LAST_DIRECTORY_BYTES];  // where the dispatcher notes the last entry's directory
    char shown[PROGRESS_TEXT_BYTES];       // the text drawn last
    i64 shown_len;
};

// Starts the clock of a line kept on the sink's console.
void progress_start(Progress* progress, StdSink* sink);
// Draws the line when it is time and what it says has changed; called once per piece of input.
void progress_update(Progress* progress, i64 entries, i64 bytes_read, Str directory);
// Erases the line for good.
void progress_end(Progress* progress);
