// The program's entry: memory, streams, input, command line, options, the run and the exit.
#pragma once
#include "driver/destination.h"
#include "driver/dispatch.h"
#include "driver/input.h"
#include "driver/options.h"
#include "driver/progress.h"
#include "output/sink.h"

// The address space reserved for all memory: as much as the system gives of REGION_RESERVE, halving
// down to REGION_SMALLEST; it is made usable as it fills. 8 GiB holds an input of 4 GiB and the work
// on it; more would only cost time where reserving is slow (an emulator keeps a record of every page).
enum : i64 { REGION_RESERVE = (i64)8 << 30, REGION_SMALLEST = 64 << 20 };

// The state the entry keeps from start-up to exit.
struct Program {
    Region region;      // the reserved space, and how much of it is usable
    Arena main_arena;   // the whole region, later carved by the dispatcher; or its lower half, when
                        // the input is read into the upper one while its lines are dispatched
    Region input_region; // that upper half
    Input input;        // standard input, or the command's output, as much as has been read
    OsHandle in;        // where the input comes from
    i32 reads_input;    // 1 when in is read; 0 for a console on standard input
    OsHandle command_errors; // the command's standard error, passed on to the console; null when the
                        // command writes to the program's own
    Dispatcher dispatcher;
    Progress progress;  // the status line, when standard error is a console and there is no trace
    Str output_message; // what the message of a failed write of standard output says was cut short
    StdSink* out_sink;
    Output* out;
    StdSink* err_sink;
    Output* err;
    Destination destination; // where the document goes
    i32 exit_status;    // 0; 1 after an unknown option, a failed write or a failed read; or the
                        // status of the command that "--" ran, when it failed
};

[[noreturn]] void run_ferrule();

StrList load_arguments(Arena* arena);
Str load_current_directory(Arena* arena);
void write_preamble(Output* err, Str program_path, Str cwd, StrList args, i64 input_len);
[[noreturn]] void finish_and_exit(Program* program);
