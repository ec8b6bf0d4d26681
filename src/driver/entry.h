// The program's entry: memory, streams, input, command line, options, the run and the exit.
#pragma once
#include "core/list.h"
#include "output/output.h"
#include "output/sink.h"

// The address space reserved for all memory: as much as the system gives of REGION_RESERVE, halving
// down to REGION_SMALLEST; it is made usable as it fills. 8 GiB holds an input of 4 GiB and the work
// on it; more would only cost time where reserving is slow (an emulator keeps a record of every page).
enum : i64 { REGION_RESERVE = (i64)8 << 30, REGION_SMALLEST = 64 << 20, READ_CHUNK = 16384 };

// What the command line asks for.
enum OptionAction { RUN, SHOW_HELP, SHOW_VERSION, UNKNOWN_OPTION };

struct Options {
    OptionAction action;
    i32 verbose;  // 1 when the trace is wanted
    Str unknown;  // the rejected argument, for UNKNOWN_OPTION
};

// Standard input read to its end.
struct Input {
    Str text;        // everything read, one contiguous block
    i32 read_failed; // 1 when reading stopped on an error rather than at the end
    i64 error;       // the system's code for that error
    i32 on_terminal; // 1 when standard input is a terminal, which is not read
};

// The state the entry keeps from start-up to exit.
struct Program {
    Region region;     // the reserved space, and how much of it is usable
    Arena main_arena;  // the whole region; later carved by the dispatcher
    Input input;       // standard input, as much as has been read
    Str output_failed; // what a failed write of standard output cut short, for its message
    StdSink* out_sink;
    Output* out;
    StdSink* err_sink;
    Output* err;
    i32 exit_status;   // 0, or 1 after an unknown option, a failed write or a failed read
};

[[noreturn]] void run_ferrule();

// Reads to the end of the stream into *input, which holds what has been read at every moment.
void read_all_input(OsHandle handle, Arena* arena, Input* input);
// The input as UTF-8, for input saved with a byte-order mark (as Windows PowerShell 5.1 and its
// Out-File write logs): the mark of UTF-8 is dropped, and UTF-16 of either order is decoded into
// the arena. Any other input is the same bytes.
Str input_as_utf8(Str raw, Arena* arena);
StrList load_arguments(Arena* arena);
Str load_current_directory(Arena* arena);
Options handle_options(StrList args);
void write_preamble(Output* err, Str program_path, Str cwd, StrList args, i64 input_len);
[[noreturn]] void finish_and_exit(Program* program);
