// End-to-end tests: the built program (FERRULE_EXE, run through FERRULE_RUNNER such as wine or an
// emulator when set) on files, pipes, terminals and real build logs.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>

#include "e2e_support.h"
#include "command_line_cases.h"

namespace {

TEST(CommandLine, TextsAndStatuses) {
    for (const CommandLineCase& c : command_line_cases(under_wine() ? "ferrule.exe" : "ferrule")) {
        Result r = run(c.args, "");
        std::string name = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(r.status, c.status) << name;
        EXPECT_EQ(r.out, c.out) << name;
        EXPECT_EQ(r.err, c.err) << name;
    }
    // Options are answered without reading the input: help even with more input than a run takes.
    Result help = run({"--help"}, std::string(70 << 20, '\n'));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, expected_help(under_wine() ? "ferrule.exe" : "ferrule"));
}

TEST(CommandLine, AProgramPathThatReadsLikeAnOptionIsNoOption) {
    if (under_wine()) GTEST_SKIP() << "wine names the program itself";
    std::string link = scratch_dir() + "-h";
    shell("ln -sf " + quote(env("FERRULE_EXE")) + " " + quote(link));
    std::string dir = scratch_dir();
    int status = shell("cd " + dir + " && printf '' | " + runner_prefix() + "./-h > out 2> err");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_file(dir + "out"), "[\n]\n");
}

TEST(ProgramInput, ReadWholeWhateverItsSize) {
    for (size_t size : {0ul, 16384ul, 2 * 16384ul, 5 * 16384ul + 7}) {
        Result r = run({"-v"}, std::string(size, '\n'));
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.err.find("Input len: " + std::to_string(size) + "\n"), std::string::npos) << size;
        EXPECT_EQ(r.out, "[\n]\n");
    }
}

// A document cut short is said on standard error with the system's reason (wine's words under
// wine); a failed write of standard error itself can only give the status.
TEST(ProgramOutput, AFailedWriteIsSaidAndGivesStatusOne) {
    std::string said = "ferrule: the compilation database could not be written completely: ";
    struct Case { std::vector<std::string> args; std::string redirect, said, reason, wine_reason; } cases[] = {
        {{}, "> /dev/full", said, "No space left on device", "Disk full"},
        {{}, ">&-", said, "Bad file descriptor", "Invalid handle"},
        {{"--help"}, "> /dev/full", "ferrule: standard output could not be written: ", "No space left on device", "Disk full"},
    };
    std::string dir = scratch_dir();
    write_file(dir + "full.in", "gcc -c a.c\n");
    for (const Case& c : cases) {
        EXPECT_EQ(shell(program_command(c.args) + " < " + dir + "full.in " + c.redirect + " 2> " + dir + "full.err"), 1);
        EXPECT_EQ(read_file(dir + "full.err"), c.said + (under_wine() ? c.wine_reason : c.reason) + "\n") << c.redirect;
    }
    EXPECT_EQ(shell(program_command({"-v"}) + " < " + dir + "full.in > /dev/null 2> /dev/full"), 1);
}

// Logs saved by Windows PowerShell 5.1: UTF-16 with a byte-order mark of either order, or UTF-8 with one.
TEST(ProgramInput, ALogWithAByteOrderMarkGivesTheSameDocument) {
    std::string plain = "make: Entering directory '/src/\xC3\xA9'\ngcc -c caf\xC3\xA9.c -o x.o\n";
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (unsigned char c : std::string("make: Entering directory '/src/\xE9'\ngcc -c caf\xE9.c -o x.o\n")) {
        little += {(char)c, '\0'};
        big += {'\0', (char)c};
    }
    Result wanted = run({}, plain);
    ASSERT_NE(wanted.out.find("caf\xC3\xA9.c"), std::string::npos);
    for (const std::string& input : {"\xEF\xBB\xBF" + plain, little, big}) {
        Result got = run({}, input);
        EXPECT_EQ(got.status, 0);
        EXPECT_EQ(got.out, wanted.out);
        EXPECT_EQ(got.err, "");
    }
}

TEST(Terminal, InputOnATerminalIsNotRead) {
    std::string shown = run_on_terminal(program_command({"-v"}));
    EXPECT_NE(shown.find("Input len: 0"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("[\n]\n"), 0u) << shown;
    std::string said = "ferrule: standard input is a terminal, so nothing was read; pipe make's output in: make -Bwn | " +
                       std::string(under_wine() ? "ferrule.exe" : "ferrule") + " > compile_commands.json";
    std::string flat;  // wine's console breaks long lines
    for (char c : shown) if (c != '\n') flat += c;
    EXPECT_NE(flat.find(said), std::string::npos) << shown;
}

TEST(Terminal, TextIsShownAsCharacters) {
    std::string dir = scratch_dir();
    // The first and last code point of each UTF-8 length, then an overlong form.
    write_file(dir + "tty.in", "gcc -c \x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xC0\x80.c\n");
    std::string shown = run_on_terminal(program_command({}) + " < " + dir + "tty.in");
    // Wine's console shows any surrogate pair it is given as two replacement characters.
    std::string pairs = under_wine() ? "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" : "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    EXPECT_NE(shown.find("\"file\": \"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF" + pairs + "\xEF\xBF\xBD\xEF\xBF\xBD.c\""),
              std::string::npos) << shown;
}

TEST(Terminal, CharactersCutByAFlushAreShownWhole) {
    std::string name;
    for (int i = 0; i < 2500; i++) name += "\xC3\xA9\xE2\x82\xAC";  // five bytes: the flushes cut it everywhere
    std::string dir = scratch_dir();
    write_file(dir + "tty.in", "gcc -c " + name + ".c\n");
    std::string shown;
    for (char c : run_on_terminal(program_command({}) + " < " + dir + "tty.in"))
        if (c != '\n') shown += c;  // wine's console breaks long lines
    EXPECT_NE(shown.find("\"file\": \"" + name + ".c\""), std::string::npos);
    EXPECT_EQ(shown.find("\xEF\xBF\xBD"), std::string::npos);
}

// A slow dry run on a terminal: a status line appears after half a second, changes as entries are
// found, and is gone at the end; the command's own lines to standard error stay whole. With the
// trace, or with standard error not on the terminal, there is none, and the bytes are today's.
TEST(Terminal, AStatusLineIsKeptWhileASlowInputArrives) {
    std::string dir = scratch_dir(), log, small;
    for (int d = 0; d < 20; d++) {
        std::string piece = "make[1]: Entering directory '/src/part" + std::to_string(d) + "'\n";
        for (int i = 0; i < 1500; i++) piece += "gcc -c -O2 -Iinclude f" + std::to_string(i) + ".c -o f" + std::to_string(i) + ".o\n";
        piece += "make[1]: Leaving directory '/src/part" + std::to_string(d) + "'\n";
        write_file(dir + "piece" + std::to_string(100 + d), piece);
        write_file(dir + "small" + std::to_string(100 + d), "gcc -c s" + std::to_string(d) + ".c\n");
        log += piece;
        small += "gcc -c s" + std::to_string(d) + ".c\n";
    }
    std::string slow = "for f in " + dir + "piece1*; do cat $f; sleep 0.1; done";
    write_file(dir + "slow.sh", slow);
    write_file(dir + "small.sh", "for f in " + dir + "small1*; do cat $f; sleep 0.1; done");
    write_file(dir + "warns.sh", "i=0; for f in " + dir + "piece1*; do cat $f; i=$((i+1)); echo \"make: warning $i\" >&2; sleep 0.1; done");
    // Wine runs no sh: its batch file writes the same, as fast as it can.
    std::string batch = "@echo off\r\n";
    for (int d = 0; d < 20; d++) batch += "type piece" + std::to_string(100 + d) + "\r\necho make: warning " + std::to_string(d + 1) + " 1>&2\r\n";
    write_file(dir + "warns.bat", batch);
    std::string out = " > " + dir + "status.json", p = program_command({});
    // status_line: 1 when the line must be drawn and change, 0 when never, -1 when the run may be too short.
    struct Case { std::string command; int status_line; std::string document; } cases[] = {
        {"sh " + dir + "slow.sh | " + p + out, 1, log},
        {"sh " + dir + "slow.sh | " + p + out + " 2> " + dir + "status.err", 0, log},
        {"sh " + dir + "small.sh | " + program_command({"-v"}) + out, 0, small},
        {under_wine() ? "cd " + dir + " && " + p + " -o " + dir + "status.json -- warns.bat"
                      : p + " -o " + dir + "status.json -- sh " + dir + "warns.sh", under_wine() ? -1 : 1, log},
        // Stopped by Ctrl-C midway, the line is taken off too; no document is looked at.
        {"sh " + dir + "slow.sh | " + p + out + " & sleep 1.2; kill -INT $!; wait", 1, ""},
    };
    for (const Case& c : cases) {
        if (under_wine() && c.document.empty()) continue;  // a signal to wine is no Ctrl-C to the program
        std::remove((dir + "status.err").c_str());
        std::string raw = terminal_bytes(c.command), shown = terminal_shows(raw);
        std::vector<std::string> drawn;
        for (size_t at = raw.find("ferrule: "); at != std::string::npos; at = raw.find("ferrule: ", at + 1)) {
            std::string text = raw.substr(at, raw.find_first_of("\r\n\x1b", at) - at);
            if (text.find(" entries, ") != std::string::npos && (drawn.empty() || drawn.back() != text)) drawn.push_back(text);
        }
        if (c.status_line >= 0) EXPECT_EQ(drawn.size() >= 2, c.status_line == 1) << c.command << "\n" << raw.substr(0, 2000);
        EXPECT_EQ(shown.find(" entries, "), std::string::npos) << shown.substr(0, 2000);
        if (!c.document.empty()) EXPECT_EQ(read_file(dir + "status.json"), run({}, c.document).out) << c.command;
        EXPECT_EQ(read_file(dir + "status.err"), "") << c.command;
        if (c.command.find(" -- ") == std::string::npos) continue;
        for (int i = 1; i <= 20; i++) EXPECT_NE(("\n" + shown).find("\nmake: warning " + std::to_string(i) + "\n"), std::string::npos) << shown;
        EXPECT_TRUE(shown.ends_with("ferrule: " + dir + "status.json now holds 30000 entries\n")) << shown;
    }
}

TEST(ProgramDocument, WorkedExampleInAnEnteredDirectory) {
    Result r = run({}, "make: Entering directory '/src/app'\ngcc -o main main.c util.c\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "[\n    {\n        \"directory\": \"/src/app\",\n        \"file\": \"main.c\",\n"
              "        \"output\": \"main\",\n        \"arguments\": [\n            \"gcc\",\n"
              "            \"-o\",\n            \"main\",\n            \"main.c\"\n        ]\n    },\n"
              "    {\n        \"directory\": \"/src/app\",\n        \"file\": \"util.c\",\n"
              "        \"output\": \"main\",\n        \"arguments\": [\n            \"gcc\",\n"
              "            \"-o\",\n            \"main\",\n            \"util.c\"\n        ]\n    }\n]\n");
}

// Without a directory line the entries take the current directory, exactly as the system names it
// (wine names the Linux directory /x as Z:\\x).
TEST(ProgramDocument, TheDefaultDirectoryIsTheCurrentDirectory) {
    std::string dir = scratch_dir() + "current dir";
    shell("mkdir -p " + quote(dir));
    write_file(dir + "/in", "gcc -c a.c\n");
    ASSERT_EQ(shell("cd " + quote(dir) + " && " + program_command({}) + " < in > out"), 0);
    std::vector<Entry> entries = parse_document(read_file(dir + "/out"));
    ASSERT_EQ(entries.size(), 1u);
    char* real = realpath(dir.c_str(), nullptr);
    EXPECT_EQ(entries[0].directory, (under_wine() ? "Z:" : "") + std::string(real));
    free(real);
}

// A `cd D` that starts a command and ends with &&, ; or || moves the entries after it on its line,
// D written out; every other cd leaves them in the directory of make's last directory line.
TEST(ProgramDocument, ACdMovesTheEntriesAfterItOnItsLine) {
    struct Case { std::string line; std::vector<std::string> directories; } cases[] = {
        {"cd /home/u/proj/build/tests && /usr/bin/cc -I/home/u/proj/inc -o CMakeFiles/t.dir/t.c.o -c /home/u/proj/tests/a1.c",
         {"/home/u/proj/build/tests"}},
        {"cd /d C:\\Users\\u\\proj\\build\\sub && C:\\msys64\\mingw64\\bin\\gcc.exe -o CMakeFiles\\x.dir\\x.c.obj "
         "-c C:\\Users\\u\\proj\\sub\\a2.c", {"C:/Users/u/proj/build/sub"}},
        {"cd src && cc -c ../a3.c", {"/top/src"}},
        {"cd src; cc -c a4.c", {"/top/src"}},
        {"cd src || exit 1; cc -c a5.c", {"/top/src"}},
        {"cd a && cc -c a6.c; cd ../b && cc -c a7.c a8.c", {"/top/a", "/top/a/../b", "/top/a/../b"}},
        {"cd /abs/dir/ && cc -c a9.c", {"/abs/dir"}},
        {"cd D:\\work\\ && cc -c b1.c", {"D:/work"}},
        {"cd / && cc -c b2.c", {"/"}},
        {"cd C:/ && cc -c b8.c", {"C:/"}},
        {"cd . && cc -c b3.c", {"/top"}},
        {"cd /d && cc -c b4.c", {"/d"}},
        {"cd 'my dir' && cc -c b5.c && cd .. && cc -c b6.c", {"/top/my dir", "/top/my dir/.."}},
        {"cc -c b7.c", {"/top"}},
        {"cd && cc -c c1.c", {"/top"}},
        {"cd - && cc -c c2.c", {"/top"}},
        {"cd $(DIR) && cc -c c3.c", {"/top"}},
        {"cd \"$$d\" && cc -c c4.c", {"/top"}},
        {"cd -P x && cc -c c5.c", {"/top"}},
        {"cd x 2>/dev/null && cc -c c6.c", {"/top"}},
        {"echo cd x && cc -c c7.c", {"/top"}},
        {"cd x | cc -c c8.c", {"/top"}},
        {"cd x & cc -c c9.c", {"/top"}},
        {"cd ~/src && cc -c d1.c", {"/top"}},
        {"cd a b && cc -c d2.c", {"/top"}},
        {"cd `pwd`/x && cc -c d3.c", {"/top"}},
        {"cd > ; cc -c d4.c", {"/top"}},
        {"cd | ; cc -c d5.c", {"/top"}},
        {"$(ENV) cd x && cc -c d6.c", {"/top"}},
        {"cd C:x && cc -c d7.c", {"/top/C:x"}},
        {"cd / && cd usr && cc -c d8.c", {"/usr"}},
        {"cd 'a\\b' && cc -c d9.c", {"/top/a/b"}},
    };
    std::string input = "make: Entering directory '/top'\n";
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        input += c.line + "\n";
        for (const std::string& d : c.directories) expected.push_back(d + "  <- " + c.line);
    }
    Result r = run({}, input);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> got;
    std::vector<Entry> entries = parse_document(r.out);
    for (size_t i = 0; i < entries.size(); i++)
        got.push_back(entries[i].directory + "  <- " + (i < expected.size() ? expected[i].substr(expected[i].find("  <- ") + 5) : ""));
    EXPECT_EQ(got, expected);
}

// The real program's trace, whose every line the unit tests check: the preamble in its order, the
// iterations, the closing lines.
TEST(ProgramDocument, VerboseTraceFromPreambleToEnd) {
    Result r = run({"-v"}, "gcc -c a.c\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("Version: " FERRULE_VERSION "\nVerbose mode: true\nDirectory: \""), r.err.find('\n') + 1);
    EXPECT_NE(r.err.find("\nInput len: 11\n====\n\nParsing mode: SHELL\nTokenized shell line:\n"), std::string::npos) << r.err;
    EXPECT_TRUE(r.err.ends_with("-> +1 command objects (total = 1)\n\n---\n\n\nTotal command objects: 1\nferrule is done.\n"));
}

// Memory follows the input past 64 MiB; where the system gives no more (here, less address space than
// the input needs), the program stops with a clear message and writes no document.
TEST(Hostile, InputsPastSixtyFourMiB) {
    std::string line = "echo " + std::string(1000, 'x') + "\n", input;
    while (input.size() < (80u << 20)) input += line;
    input += "gcc -c last.c\n";
    Result fits = run({}, input);
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_TRUE(fits.out.ends_with("\"last.c\"\n        ]\n    }\n]\n")) << fits.out.substr(0, 200);

    if (!env("FERRULE_RUNNER").empty() || env("FERRULE_SANITIZED") == "1")
        GTEST_SKIP() << "an address-space limit would bind the runner or the sanitizer, not the program";
    std::string dir = scratch_dir();
    write_file(dir + "big.in", input);
    int status = shell("ulimit -v 131072 && " + program_command({}) + " < " + dir + "big.in > " + dir + "big.out 2> " +
                       dir + "big.err");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(read_file(dir + "big.out"), "");
    std::string err = read_file(dir + "big.err");
    EXPECT_TRUE(err.starts_with("ferrule: out of memory after reading ") && err.ends_with(" bytes of input\n")) << err;
}

TEST(Hostile, HugeLinesAndCommands) {
    std::string long_name = std::string(8 << 20, 'n') + ".c";
    Result one_line = run({}, "gcc -c " + long_name + "\n");
    ASSERT_EQ(one_line.status, 0);
    std::vector<Entry> entries = parse_document(one_line.out);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].file, long_name);

    std::string many = "gcc -c a.c";
    for (int i = 0; i < 200000; i++) many += " -DW" + std::to_string(i);
    Result words = run({}, many + "\n");
    ASSERT_EQ(words.status, 0);
    entries = parse_document(words.out);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].arguments.size(), 200003u);
    EXPECT_EQ(entries[0].arguments.back(), "-DW199999");

    // A quote runs on only across escaped line feeds: here to the end of the input.
    std::string unterminated = "'";
    while (unterminated.size() < (8u << 20)) unterminated += "gcc -c x.c \\\nmake: Entering directory '/x' \\\n";
    Result quote = run({}, unterminated);
    EXPECT_EQ(quote.status, 0);
    EXPECT_EQ(quote.out, "[\n]\n");
}

TEST(Hostile, UnpairedDirectoriesAndOddBytes) {
    std::string input;
    for (int i = 0; i < 10000; i++) input += "make[1]: Entering directory '/src/unpaired/" + std::to_string(i) + "'\n";
    input += std::string("gcc -c a\0b\xff\xc3(.c\n", 16);
    Result r = run({}, input);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ferrule: makes running in parallel wrote interleaved directory lines; entries may name the wrong "
                     "directory (run make with -j1 or --output-sync)\n"
                     "ferrule: the directory stack is full; directories entered from here on are ignored\n");
    std::vector<Entry> entries = parse_document(r.out);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].file, std::string("a\0b\xff\xc3(.c", 8));
    EXPECT_EQ(entries[0].directory.rfind("/src/unpaired/", 0), 0u);
}

TEST(Hostile, AReaderThatClosesEarly) {
    std::string input;
    for (int i = 0; i < 20000; i++) input += "gcc -c file" + std::to_string(i) + ".c -o file.o\n";
    std::string dir = scratch_dir();
    write_file(dir + "early.in", input);
    int rc = shell("(" + program_command({}) + " < " + dir + "early.in 2> " + dir + "early.err; echo $? > " + dir +
                   "early.status) | head -c 100 > /dev/null");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(read_file(dir + "early.status"), "1\n");
    EXPECT_EQ(read_file(dir + "early.err"), "") << "a reader that has had enough is no fault to report";
}

// The database's file: -o writes what standard output would get, and so does the command of --,
// whose output is read as the input (cmd's type under wine); with -- and no -o the file is
// compile_commands.json; the last line says what the file holds.
TEST(Database, AFileHoldsTheDocumentOfStandardOutput) {
    std::string dir = scratch_dir() + "db-same/", log = dir + "make.log";
    shell("mkdir -p " + dir);
    std::string text = read_file(FERRULE_SOURCE_DIR "/tests/corpus/lua/make-Bwn.log");
    write_file(log, text);
    Result piped = run({}, text);
    ASSERT_EQ(piped.status, 0);
    std::string cat = under_wine() ? "cmd /c type make.log" : "cat make.log";
    // A batch file, found without its extension, runs through cmd; elsewhere a shell script.
    write_file(dir + "show.bat", "@echo off\r\ntype make.log\r\n");
    write_file(dir + "show.sh", "cat make.log\n");
    std::string script = under_wine() ? "show" : "sh show.sh";
    struct Case { std::string args, file, err; } cases[] = {
        {"-o out.json < make.log", "out.json", "ferrule: out.json now holds 34 entries\n"},
        {"--output=sub.json < make.log", "sub.json", "ferrule: sub.json now holds 34 entries\n"},
        {"-- " + cat + " < /dev/null", "compile_commands.json", "ferrule: compile_commands.json now holds 34 entries\n"},
        {"-o cmd.json -- " + cat + " < /dev/null", "cmd.json", "ferrule: cmd.json now holds 34 entries\n"},
        {"-o script.json -- " + script + " < /dev/null", "script.json", "ferrule: script.json now holds 34 entries\n"},
        {"-o --help < make.log", "--help", "ferrule: --help now holds 34 entries\n"},
    };
    for (const Case& c : cases) {
        int status = shell("cd " + dir + " && " + program_command({}) + " " + c.args + " > stdout 2> stderr");
        EXPECT_EQ(status, 0) << c.args;
        EXPECT_EQ(read_file(dir + "stdout"), "") << c.args;
        EXPECT_EQ(read_file(dir + "stderr"), c.err) << c.args;
        EXPECT_TRUE(read_file(dir + c.file) == piped.out) << c.args << ": not the document of standard output";
    }
    EXPECT_EQ(shell("cd " + dir + " && " + program_command({}) + " -o - -- " + cat + " > stdout 2> stderr < /dev/null"), 0);
    EXPECT_TRUE(read_file(dir + "stdout") == piped.out);
    EXPECT_EQ(read_file(dir + "stderr"), "");
}

// Whatever stops a run leaves the file as it was, and no new file beside it (but after SIGKILL).
TEST(Database, TheFileStaysAsItWasWhenTheRunStops) {
    std::string dir = scratch_dir() + "db-stops/";
    shell("mkdir -p " + dir);
    std::string old = "[{\"directory\": \"/p\", \"file\": \"old.c\", \"arguments\": [\"cc\", \"old.c\"]}]\n";
    std::string big;
    while (big.size() < (4u << 20)) big += "gcc -c some/source/file/" + std::to_string(big.size()) + ".c -o x.o\n";
    write_file(dir + "big.log", big);
    write_file(dir + "compile.log", "gcc -c a.c\n");
    std::string p = program_command({});
    bool posix = !under_wine();
    bool limits = posix && env("FERRULE_RUNNER").empty() && env("FERRULE_SANITIZED") != "1";
    struct Case { std::string name, command; int status; std::string said; bool runs; bool may_leave; std::string file; } cases[] = {
        {"no entries", "echo hi | " + p + " -o F", 1, "ferrule: F was kept as it was: the run found no entries\n", true},
        {"a broken file under -a", p + " -a -o F < compile.log", 1, "ferrule: F:1:2: the entry has no string \"file\"\n", true,
         false, "[{\"directory\": \"/p\"}]"},
        {"a file that is no array", p + " -a -o F < compile.log", 1, "ferrule: F:2:1: the database is not a JSON array\n",
         true, false, "\n{}"},
        {"a command that fails", p + " -o F -- " + (posix ? "sh -c 'exit 2'" : "cmd /c exit 2"), 2,
         "ferrule: " + std::string(posix ? "sh" : "cmd") + " exited with status 2\nferrule: F was kept as it was: the run found no entries\n",
         true},
        {"a command that is missing", p + " -o F -- no-such-command-here", 127, "", true},
        {"a failed write", "(trap '' XFSZ; ulimit -f 1024; " + p + " -o F < big.log)", 1,
         "ferrule: the compilation database could not be written completely: File too large\n", posix},
        {"memory running out", "(ulimit -v 65536; " + p + " -o F < big.log)", 1, "", limits},
        {"Ctrl-C", "(cat big.log; sleep 5) | " + p + " -o F & sleep 1; kill -INT $!; wait $!", 130, "", posix},
        {"SIGTERM", "(cat big.log; sleep 5) | " + p + " -o F & sleep 1; kill -TERM $!; wait $!", 143, "", posix},
        {"SIGKILL", "(cat big.log; sleep 5) | " + p + " -o F & sleep 1; kill -KILL $!; wait $!", 137, "", posix, true},
    };
    for (const Case& c : cases) {
        if (!c.runs) continue;
        shell("rm -rf " + dir + "F* " + dir + "err");
        std::string before = c.file.empty() ? old : c.file;
        write_file(dir + "F", before);
        int status = shell("cd " + dir + " && (" + c.command + ") 2> err");
        EXPECT_EQ(status, c.status) << c.name << ": " << read_file(dir + "err");
        if (!c.said.empty()) EXPECT_EQ(read_file(dir + "err"), c.said) << c.name;
        EXPECT_EQ(read_file(dir + "F"), before) << c.name;
        if (!c.may_leave) EXPECT_EQ(shell("ls " + dir + "F.* > /dev/null 2>&1"), 2) << c.name << ": a new file was left";
    }
}

// --append keeps the entries of other files exactly as another generator wrote them, and replaces
// the entries of the files this run compiles, whose keys are their absolute paths.
TEST(Database, AppendKeepsOtherFilesEntriesAsTheyStood) {
    std::string dir = scratch_dir() + "db-append/";
    shell("mkdir -p " + dir);
    std::string a_old = "{\"file\":\"a.c\",\"command\":\"cc -c a.c\",\"directory\":\"\\/p\"}";
    std::string b = "{ \"directory\" : \"/elsewhere\",\n  \"command\": \"cc -c /p/b.c\", \"file\": \"/p/b.c\",\n"
                    "  \"extra\": [1, 2.5e3, true, null, {\"k\": \"\\u0041\"}] }";
    std::string c = "{\"directory\": \"D:\\\\w\", \"file\": \"sub\\\\c.c\", \"arguments\": [\"gcc\"]}";
    std::string d = "{\"directory\": \"/q\", \"file\": \"../p/a.c\", \"arguments\": [\"gcc\"]}";
    write_file(dir + "db.json", "[" + a_old + ",\n" + b + "  ,\t" + c + "," + d + "]");
    std::string log = "make: Entering directory '/p'\ngcc -c a.c\ngcc -c /p/b.c\ngcc -c D:/w/sub/c.c\n";
    Result fresh = run({}, log);
    std::vector<std::string> objects;
    for (size_t at = 0; (at = fresh.out.find("    {\n", at)) != std::string::npos; at++)
        objects.push_back(fresh.out.substr(at + 4, fresh.out.find("\n    }", at) + 6 - at - 4));
    ASSERT_EQ(objects.size(), 3u);
    int status = shell("cd " + dir + " && printf \"" + std::string("make: Entering directory '/p'\\ngcc -c a.c\\ngcc -c /p/b.c\\ngcc -c D:/w/sub/c.c\\n") +
                       "\" | " + program_command({"-a", "-o", "db.json"}) + " 2> err");
    EXPECT_EQ(status, 0) << read_file(dir + "err");
    EXPECT_EQ(read_file(dir + "err"), "ferrule: db.json now holds 4 entries\n");
    EXPECT_EQ(read_file(dir + "db.json"), "[\n    " + d + ",\n    " + objects[0] + ",\n    " + objects[1] + ",\n    " +
                                              objects[2] + "\n]\n");
    // Merging this run's entries into a file of its own makes the same file.
    EXPECT_EQ(shell("cd " + dir + " && printf \"" + std::string("make: Entering directory '/p'\\ngcc -c a.c\\ngcc -c /p/b.c\\ngcc -c D:/w/sub/c.c\\n") +
                    "\" | " + program_command({"-o", "fresh.json"}) + " 2> err && cp fresh.json again.json && printf \"" +
                    std::string("make: Entering directory '/p'\\ngcc -c a.c\\ngcc -c /p/b.c\\ngcc -c D:/w/sub/c.c\\n") + "\" | " +
                    program_command({"-a", "-o", "again.json"}) + " 2> err"), 0);
    EXPECT_EQ(read_file(dir + "again.json"), read_file(dir + "fresh.json"));
}

// The corpus: every compile the real build made must come out as an entry, exactly.
std::vector<Entry> read_truth(const std::string& path) {
    std::vector<Entry> truth;
    std::ifstream f(path);
    std::string line;
    while (std::getline(f, line)) {
        bool ok = false;
        Json o = JsonReader(line).read(&ok);
        EXPECT_TRUE(ok) << line;
        truth.push_back({o.keys.at("directory").text, "", strings_of(o.keys.at("arguments"))});
    }
    return truth;
}

// Whether a compile names its source file; one that reads it from standard input ("-x c -", run by a
// script the log only names) can have no entry.
bool names_a_source(const Entry& compile) {
    for (const char* extension : {".c", ".cc", ".cpp", ".cxx", ".c++", ".C", ".s", ".S"})
        for (const std::string& a : compile.arguments)
            if (a.size() > strlen(extension) && a.ends_with(extension)) return true;
    return false;
}

// The stored document of a corpus log: every compile of the real build that names its source is one
// of its entries, exactly, and, when the real build was the whole build (whole), every entry is one of
// the compiles.
void check_against_truth(const std::string& dir, const std::string& document, size_t expected_compiles, bool whole) {
    std::vector<Entry> entries = parse_document(document);
    std::vector<Entry> truth;
    for (const Entry& compile : read_truth(dir + "/truth.jsonl"))
        if (names_a_source(compile)) truth.push_back(compile);
    ASSERT_EQ(truth.size(), expected_compiles);
    std::multiset<std::pair<std::string, std::vector<std::string>>> produced;
    for (const Entry& e : entries) {
        produced.insert({e.directory, e.arguments});
        bool file_in_arguments = false;
        for (const std::string& a : e.arguments) file_in_arguments |= a == e.file;
        EXPECT_TRUE(file_in_arguments) << e.file;
    }
    size_t matched = 0;
    for (const Entry& t : truth) {
        auto hit = produced.find({t.directory, t.arguments});
        if (hit == produced.end()) {
            ADD_FAILURE() << "no entry for the compile in " << t.directory << ": " << testing::PrintToString(t.arguments);
            continue;
        }
        produced.erase(hit);
        matched++;
    }
    EXPECT_EQ(matched, truth.size());
    if (whole) EXPECT_TRUE(produced.empty()) << produced.size() << " entries match no compile of the real build";
}

// A corpus file, kept compressed with xz when its name says so.
std::string read_corpus_file(const std::string& path) {
    if (!path.ends_with(".xz")) return read_file(path);
    std::string plain = scratch_dir() + "corpus-file";
    EXPECT_EQ(shell("xz -dc " + quote(path) + " > " + plain), 0) << path;
    return read_file(plain);
}

// The program writes the stored document byte for byte (tools/corpus-documents writes it anew).
void check_corpus(const std::string& project, size_t expected_compiles, bool whole = true, const std::string& xz = "") {
    std::string dir = std::string(FERRULE_SOURCE_DIR) + "/tests/corpus/" + project;
    std::string log = read_corpus_file(dir + "/make-Bwn.log" + xz);
    std::string expected = read_corpus_file(dir + "/compile_commands.json" + xz);
    ASSERT_FALSE(log.empty()) << "missing corpus log " << dir;
    ASSERT_FALSE(expected.empty()) << "missing corpus document " << dir;
    check_against_truth(dir, expected, expected_compiles, whole);
    Result r = run({}, log);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == expected) << "the document differs from " << dir << "/compile_commands.json";
}

TEST(Corpus, Lua) { check_corpus("lua", 34); }
TEST(Corpus, Git) { check_corpus("git", 563); }
// The real build compiled only kernel/ and lib/, and one of its compiles, run by a script, reads its
// source from standard input.
TEST(Corpus, LinuxDefconfig) { check_corpus("linux-defconfig", 376, false, ".xz"); }

}  // namespace
