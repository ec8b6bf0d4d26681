// The option walk and the help and version texts.
#include "driver/options.h"
#include "core/platform.h"

// The help text around its examples, which name the program's file as users type it.
static const Str help_head =
    "ferrule - Create a compile_commands.json from a Make output\n"
    "Usage: ferrule [option]... [-- command [argument]...]\n"
    "\n"
    "Options:\n"
    "       --version:      Display the version number.\n"
    "   -h, --help:         Display this help page.\n"
    "   -v, --verbose:      Display debug information on stderr to help with problem diagnosis.\n"
    "   -o, --output FILE:  Write the database to FILE, replacing FILE only once the new one is complete.\n"
    "   -a, --append:       Keep FILE's entries for the files that this run does not compile.\n"
    "   -- command ...:     Run the command and read its output; the database goes to compile_commands.json\n"
    "                       unless -o names another file.\n"
    "\n"
    "Examples:\n"_s;
static const Str help_examples[][2] = {
    {"   $ make -Bwn | "_s, " > compile_commands.json\n"_s},
    {"   $ make -Bwn | "_s, " -o compile_commands.json\n"_s},
    {"   $ "_s, " -- make -Bwn -j8 --output-sync\n"_s},
    {"   $ make -Bwn -C src/net | "_s, " -a -o compile_commands.json\n"_s},
};

// The version, a date, comes from the build (CMakeLists.txt).
const Str version_line = "Version: " FERRULE_VERSION ""_s;

// What a walk that ended with a run still lacks, in the order the messages are checked.
static Options checked(Options options, Str needs_file, i32 dashes_alone, Arena* arena) {
    if (needs_file.data) options.error = str_join(arena, "'"_s, needs_file, "' needs a file name"_s);
    else if (dashes_alone) options.error = "'--' needs a command to run"_s;
    else if (options.append && (options.output_given ? str_equals(options.output, "-"_s) : !options.command))
        options.error = "--append needs a database to merge into: name it with -o FILE"_s;
    if (options.error.len > 0) options.action = OPTION_ERROR;
    return options;
}

Options handle_options(StrList args, Arena* arena) {
    Options options = {};
    Str needs_file = {};  // an output option that the arguments ended before its file, as given
    for (StrNode* node = args.head ? args.head->next : nullptr; node; node = node->next) {
        Str arg = node->value;
        if (str_equals(arg, "-h"_s) || str_equals(arg, "--help"_s)) options.action = SHOW_HELP;
        else if (str_equals(arg, "--version"_s)) options.action = SHOW_VERSION;
        else if (str_equals(arg, "-v"_s) || str_equals(arg, "--verbose"_s)) options.verbose = 1;
        else if (str_equals(arg, "-a"_s) || str_equals(arg, "--append"_s)) options.append = 1;
        else if (str_equals(arg, "-o"_s) || str_equals(arg, "--output"_s)) {
            if (!node->next) {
                needs_file = arg;
                break;
            }
            node = node->next;
            options.output_given = 1, options.output = node->value;
        } else if (str_starts_with(arg, "--output="_s)) {
            options.output_given = 1, options.output = str_skip(arg, 9);
            if (options.output.len == 0) needs_file = arg;
        } else if (str_equals(arg, "--"_s)) {
            options.command = node->next;
            return checked(options, needs_file, !node->next, arena);
        } else {
            options.action = UNKNOWN_OPTION, options.unknown = arg;
        }
        if (options.action != RUN) return options;
    }
    return checked(options, needs_file, 0, arena);
}

void write_help(Output* out) {
    write_str(out, help_head);
    for (const Str* example : help_examples) {
        write_str(out, example[0]);
        write_str(out, platform_program_name);
        write_str(out, example[1]);
    }
    put_byte(out, '\n');
}
