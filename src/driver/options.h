// The command line's options: the walk that reads them, and the texts of help and version.
#pragma once
#include "core/list.h"
#include "output/output.h"

// What the command line asks for.
enum OptionAction { RUN, SHOW_HELP, SHOW_VERSION, UNKNOWN_OPTION };

struct Options {
    OptionAction action;
    i32 verbose;  // 1 when the trace is wanted
    Str unknown;  // the rejected argument, for UNKNOWN_OPTION
};

// The version, a date, as the program writes it.
extern const Str version_line;

// The options of the arguments after the program path; the first help, version or unknown argument
// decides.
Options handle_options(StrList args);
void write_help(Output* out);
