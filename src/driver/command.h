// The command that "--" names: started with its standard output into a pipe, which the program reads
// as its input, and waited for at the end.
#pragma once
#include "core/platform.h"
#include "output/output.h"

// Starts the command; its status when it could not be (127 when no such program was found, else
// 126), with the message written, or 0 with *handle the pipe's reading end, and, when errors is
// given, *errors that of a pipe from the command's standard error.
i32 command_start(const StrNode* words, Arena* arena, Output* err, OsHandle* handle, OsHandle* errors);

// Waits for the command; its exit status, 128 and the signal's number when a signal ended it, with
// the message written when it is not 0.
i32 command_finish(Str name, Output* err);
