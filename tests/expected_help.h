// The help text exactly as the program must print it, shared by the unit and end-to-end tests.
#pragma once
#include <string>

inline const std::string expected_help =
    "ferrule - Create a compile_commands.json from a Make output\n"
    "Usage: ferrule [option]\n"
    "\n"
    "Options:\n"
    "       --version:  Display the version number.\n"
    "   -h, --help:     Display this help page.\n"
    "   -v, --verbose:  Display debug information on stderr to help with problem diagnosis.\n"
    "\n"
    "Examples:\n"
    "   $ make -Bwn | ferrule.exe\n"
    "   $ make -Bwn | ferrule.exe > compile_commands.json\n"
    "   $ echo \"gcc -o main main.c\" | ferrule.exe > compile_commands.json\n"
    "\n";
