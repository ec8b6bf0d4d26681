// The program's own messages on standard error: each on a line of its own, starting "ferrule: ".
#pragma once
#include "output/output.h"

// Starts a message at the left margin of a line of its own, after whatever the trace had written.
void begin_message(Output* err);
// A whole message: the text and a line feed.
void write_message(Output* err, Str text);
// What went wrong and, when the system has words for its error code, ": " and those.
void write_failure(Output* err, Str what, i64 error);
// The system's words for an error code, valid until the next call; empty for 0 and for a code the
// system has no words for.
Str system_reason(i64 error);
