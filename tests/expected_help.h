// The help text exactly as the program must print it, shared by the unit and end-to-end tests: its
// examples name the program's file as users type it ("ferrule", or "ferrule.exe" on Windows).
#pragma once
#include <string>

inline std::string expected_help(const std::string& program) {
    return "ferrule - Create a compile_commands.json from a Make output\n"
           "Usage: ferrule [option]\n"
           "\n"
           "Options:\n"
           "       --version:  Display the version number.\n"
           "   -h, --help:     Display this help page.\n"
           "   -v, --verbose:  Display debug information on stderr to help with problem diagnosis.\n"
           "\n"
           "Examples:\n"
           "   $ make -Bwn | " + program + "\n"
           "   $ make -Bwn | " + program + " > compile_commands.json\n"
           "   $ echo \"gcc -o main main.c\" | " + program + " > compile_commands.json\n"
           "\n";
}
