// An in-memory system for the tests: scripted standard streams, arguments and directory, and an
// exit that returns to the test instead of ending the process.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "core/platform.h"

enum : long { FAKE_SPACE = 256l << 20 };

struct FakeStream {
    std::string bytes;        // input still to read, or what was written
    std::u16string console;   // units written to the console
    bool is_console = false;
    long chunk_limit = 0;     // most bytes one call moves; 0 means no limit
    long fail_after = -1;     // bytes after which a call fails; -1 never
    long error = 28;          // the code a failed call gives: 32 says the reader has gone
    long calls = 0;           // calls made
    long pos = 0;             // bytes of input already read
};

struct FakeSystem {
    FakeStream streams[3];
    std::vector<std::string> args = {"ferrule"};
    std::string cwd = "/work";
    bool region_fails = false;
    long reserve_limit = FAKE_SPACE;  // the most address space a reservation gets
    long commit_limit = FAKE_SPACE;   // the most of it that can be made usable
    bool cwd_fails = false;
    int exit_status = -1;
    std::map<std::string, std::string> files;  // the file system: path to bytes
    std::map<std::string, FakeStream> open_files;  // the new files being written, by path
    bool create_fails = false;                 // making a new file fails
    bool close_fails = false;                  // making a new file durable fails
    FakeStream command_stream;                 // the pipe from the command of "--"
    std::string command_output;                // what the command writes
    int command_status = 0;                    // its exit status
    bool command_missing = false;              // no such program
    std::vector<std::string> command;          // the words it was started with
    FakeStream command_errors;                 // the pipe from its standard error, when asked for
    std::string command_error_output;          // what the command writes there
    bool command_errors_asked = false;         // whether the program asked for that pipe
    long clock_ms = 0;                         // the system's clock
    long read_ms = 0;                          // how far the clock moves in every read of input
    int console_width = 0;                     // a console's columns; 0 when the system cannot say
    std::string stop_note;                     // what a stop would write to standard error now
    std::vector<std::string> stop_notes;       // every text the program asked a stop to write
};

extern FakeSystem fake;

// Resets the fake system to its defaults.
void fake_reset();

// Gives back all memory the fake system holds, so that a test leaves nothing allocated.
void fake_release();

// Runs the whole program on the fake system and returns its exit status.
int fake_run();

inline Str str_of(const std::string& s) { return Str{(i64)s.size(), s.data()}; }
inline std::string string_of(Str s) { return std::string(s.data ? s.data : "", (size_t)s.len); }
