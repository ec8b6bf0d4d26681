// What the command line must give, shared by the unit and end-to-end tests: the help text, whose
// examples name the program's file as users type it ("ferrule", or "ferrule.exe" on Windows), and the
// table of arguments with the status and the streams they give.
#pragma once
#include <string>
#include <vector>

inline std::string expected_help(const std::string& program) {
    return "ferrule - Create a compile_commands.json from a Make output\n"
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
           "Examples:\n"
           "   $ make -Bwn | " + program + " > compile_commands.json\n"
           "   $ make -Bwn | " + program + " -o compile_commands.json\n"
           "   $ " + program + " -- make -Bwn -j8 --output-sync\n"
           "   $ make -Bwn -C src/net | " + program + " -a -o compile_commands.json\n"
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
        {{"-o"}, 1, "", "ferrule: '-o' needs a file name\n"},
        {{"-v", "--output"}, 1, "", "ferrule: '--output' needs a file name\n"},
        {{"--output="}, 1, "", "ferrule: '--output=' needs a file name\n"},
        {{"--"}, 1, "", "ferrule: '--' needs a command to run\n"},
        {{"-a"}, 1, "", "ferrule: --append needs a database to merge into: name it with -o FILE\n"},
        {{"--append", "-o", "-"}, 1, "", "ferrule: --append needs a database to merge into: name it with -o FILE\n"},
        {{"-ofile"}, 1, "", "Unknown CLI arg: '-ofile'\n\n"},
        {{"-o", "-", "-a", "--help"}, 0, expected_help(program), ""},
        {{"-o", "-"}, 0, "[\n]\n", ""},
    };
}
