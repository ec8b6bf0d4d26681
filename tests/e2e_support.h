// Helpers of the end-to-end tests: running the built program (FERRULE_EXE, through FERRULE_RUNNER
// such as wine or an emulator when set) and reading the documents it writes.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "json.h"
#include "terminal.h"

// A directory of this process's own, ending in a slash; it is removed with all it holds when the
// process exits, whether its tests passed or failed.
inline std::string scratch_dir() {
    static std::string dir;
    if (dir.empty()) {
        std::string pattern = testing::TempDir() + "ferrule-e2e-XXXXXX";
        dir = std::string(mkdtemp(pattern.data())) + "/";
        std::atexit([] {
            std::string command = "rm -rf '" + dir + "'";
            if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
        });
    }
    return dir;
}

inline std::string env(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}

inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

// What a command line starts with to run a program of the build: the runner, when there is one.
inline std::string runner_prefix() { return env("FERRULE_RUNNER").empty() ? "" : env("FERRULE_RUNNER") + " "; }

inline std::string program_command(const std::vector<std::string>& args) {
    if (env("FERRULE_EXE").empty()) ADD_FAILURE() << "FERRULE_EXE names no program to test";
    std::string cmd = runner_prefix() + quote(env("FERRULE_EXE"));
    for (const std::string& a : args) cmd += " " + quote(a);
    return cmd;
}

struct Result {
    int status;
    std::string out, err;
};

inline int shell(const std::string& command) {
    int rc = system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Runs the program with the input on a pipe, standard output and error to files.
inline Result run(const std::vector<std::string>& args, const std::string& input = "", const std::string& out_target = "") {
    std::string dir = scratch_dir();
    write_file(dir + "in", input);
    std::string out = out_target.empty() ? dir + "out" : out_target;
    int status = shell("cat " + dir + "in | " + program_command(args) + " > " + out + " 2> " + dir + "err");
    return {status, out_target.empty() ? read_file(out) : "", read_file(dir + "err")};
}

// Runs a command line under a pseudo-terminal and returns the bytes the terminal was sent.
inline std::string terminal_bytes(const std::string& command) {
    std::string dir = scratch_dir();
    write_file(dir + "tty.sh", command + "\n");
    shell("LC_ALL=C.UTF-8 script -qec 'sh " + dir + "tty.sh' /dev/null < /dev/null > " + dir + "tty.out 2>&1");
    return read_file(dir + "tty.out");
}

// The text the terminal showed at the end of the command line.
inline std::string run_on_terminal(const std::string& command) { return terminal_shows(terminal_bytes(command)); }

// A runner such as wine may set itself up on first use and say so on standard error: let that
// happen once before any test reads the program's standard error.
inline const bool runner_ready = [] {
    if (!env("FERRULE_RUNNER").empty()) shell(program_command({"--version"}) + " > /dev/null 2>&1 < /dev/null");
    return true;
}();

inline bool under_wine() { return env("FERRULE_RUNNER") == "wine"; }

// One entry of a document, or one compile of a real build.
struct Entry {
    std::string directory, file;
    std::vector<std::string> arguments;
    std::string output;  // empty when the entry names none
};

inline std::vector<std::string> strings_of(const Json& array) {
    std::vector<std::string> out;
    for (const Json& item : array.items) out.push_back(item.text);
    return out;
}

inline std::vector<Entry> parse_document(const std::string& text) {
    bool ok = false;
    Json doc = JsonReader(text).read(&ok);
    EXPECT_TRUE(ok) << "the document is not valid JSON";
    std::vector<Entry> entries;
    for (const Json& o : doc.items) {
        EXPECT_EQ(o.keys.at("directory").kind, Json::STRING);
        auto output = o.keys.find("output");
        entries.push_back({o.keys.at("directory").text, o.keys.at("file").text, strings_of(o.keys.at("arguments")),
                           output == o.keys.end() ? "" : output->second.text});
    }
    return entries;
}

