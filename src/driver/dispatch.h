// The main loop over the input: directory lines, shell commands and the JSON array around them.
#pragma once
#include "core/arena.h"
#include "output/output.h"

// Processes the whole input and closes the document; returns the number of entries written.
i64 dispatch_lines(Str input, Str cwd, Arena* main_arena, Output* out, Output* err, i32 verbose);
