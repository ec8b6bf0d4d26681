// The option walk and the help and version texts.
#include "driver/options.h"
#include "core/platform.h"

// The help text around its examples, which name the program's file as users type it.
static const Str help_head =
    "ferrule - Create a compile_commands.json from a Make output\n"
    "Usage: ferrule [option]\n"
    "\n"
    "Options:\n"
    "       --version:  Display the version number.\n"
    "   -h, --help:     Display this help page.\n"
    "   -v, --verbose:  Display debug information on stderr to help with problem diagnosis.\n"
    "\n"
    "Examples:\n"_s;
static const Str help_examples[][2] = {
    {"   $ make -Bwn | "_s, "\n"_s},
    {"   $ make -Bwn | "_s, " > compile_commands.json\n"_s},
    {"   $ echo \"gcc -o main main.c\" | "_s, " > compile_commands.json\n"_s},
};

// The version, a date, comes from the build (CMakeLists.txt).
const Str version_line = "Version: " FERRULE_VERSION ""_s;

Options handle_options(StrList args) {
    Options options = {RUN, 0, Str{}};
    for (StrNode* node = args.head ? args.head->next : nullptr; node; node = node->next) {
        Str arg = node->value;
        if (str_equals(arg, "-h"_s) || str_equals(arg, "--help"_s)) options.action = SHOW_HELP;
        else if (str_equals(arg, "--version"_s)) options.action = SHOW_VERSION;
        else if (str_equals(arg, "-v"_s) || str_equals(arg, "--verbose"_s)) options.verbose = 1;
        else options.action = UNKNOWN_OPTION, options.unknown = arg;
        if (options.action != RUN) return options;
    }
    return options;
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
