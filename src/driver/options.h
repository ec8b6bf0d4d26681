// The command line's options: the walk that reads them, and the texts of help and version.
#pragma once
#include "core/list.h"
#include "output/output.h"

// What the command line asks for.
enum OptionAction { RUN, SHOW_HELP, SHOW_VERSION, UNKNOWN_OPTION, OPTION_ERROR };

struct Options {
    OptionAction action;
    i32 verbose;            // 1 when the trace is wanted
    Str unknown;            // the rejected argument, for UNKNOWN_OPTION
    Str error;              // what is wrong with the options, for OPTION_ERROR
    i32 output_given;       // 1 when -o, --output or --output= named the document's file
    Str output;             // that file; "-" is standard output
    i32 append;             // 1 with -a or --append: merge into the file
    const StrNode* command; // with "--": the command to run and its arguments, the rest of the list
};

// The version, a date, as the program writes it.
extern const Str version_line;

// The file the document goes to when "--" runs a command and -o names none.
inline constexpr Str default_database = "compile_commands.json"_s;

// The options of the arguments after the program path; the first help, version or unknown argument
// decides. When the walk ends with a run, an option left without what it needs is an OPTION_ERROR,
// its message text (after "ferrule: ") built in the arena.
Options handle_options(StrList args, Arena* arena);
void write_help(Output* out);
