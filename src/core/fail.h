// The stop for conditions that leave the program unable to go on.
#pragma once
#include "core/str.h"

// What every message of the program's own starts with.
inline constexpr Str message_prefix = "ferrule: "_s;

// Receives the description of the condition in words, and whether it is that memory ran out;
// never returns.
typedef void (*FailHandler)(void* context, Str what, i32 out_of_memory);

// Ends the program: the installed handler reports what went wrong and exits with status 1.
[[noreturn]] void fail(Str what);

// Ends the program because the system gives no more memory; the entry's handler adds how much of
// the input had been read.
[[noreturn]] void fail_out_of_memory();

// Installs the handler that fail() calls; the entry installs one that flushes the streams first.
void fail_set_handler(FailHandler handler, void* context);

// Writes "ferrule: ", the description and a line feed straight to standard error, unbuffered.
void fail_write_unbuffered(Str what);
