// What the command line must give, shared by the unit and end-to-end tests: the help text, whose
// examples name the program's file as users type it ("ferrule", or "ferrule.exe" on Windows), and the
// table of arguments with the status and the streams they give.
#pragma once
#include <string>
#include <vector>

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

struct CommandLineCase {
    std::vector<std::string> args;  // after the program path
    int status;
    std::string out, err;           // with empty standard input
};

// The first help, version or unknown argument decides; -v before it changes nothing.
inline std::vector<CommandLineCase> command_line_cases(const std::string& program) {
    std::string version = "Version: " FERRULE_VERSION "\n\n";
    return {
        {{"--help"}, 0, expected_help(program), ""},
        {{"-h", "--bogus"}, 0, expected_help(program), ""},
        {{"-v", "--help"}, 0, expected_help(program), ""},
        {{"--version"}, 0, version, ""},
        {{"--version", "--bogus"}, 0, version, ""},
        {{"--bogus", "--version"}, 1, "", "Unknown CLI arg: '--bogus'\n\n"},
        {{""}, 1, "", "Unknown CLI arg: ''\n\n"},
        {{"-V"}, 1, "", "Unknown CLI arg: '-V'\n\n"},
        {{"-vh"}, 1, "", "Unknown CLI arg: '-vh'\n\n"},
        {{"--Verbose"}, 1, "", "Unknown CLI arg: '--Verbose'\n\n"},
        {{"--verbose=1"}, 1, "", "Unknown CLI arg: '--verbose=1'\n\n"},
        {{}, 0, "[\n]\n", ""},
    };
}
