// Tests of the entry, directory tracking and the line dispatcher, run over the in-memory system.
#include <gtest/gtest.h>

#include <map>

#include "driver/dirstack.h"
#include "driver/make_line.h"
#include "driver/dispatch.h"
#include "driver/entry.h"
#include "command_line_cases.h"
#include "fake_platform.h"
#include "terminal.h"
#include "platform/windows/pipe_errors.h"

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

// The directory of the first entry of a document.
std::string top_of(const std::string& document) {
    size_t at = document.find("\"directory\": \"") + 14;
    return document.substr(at, document.find('"', at) - at);
}

Outcome run(std::vector<std::string> args, const std::string& input = "") {
    fake_reset();
    fake.args = args;
    fake.streams[STD_INPUT].bytes = input;
    int status = fake_run();
    return {status, fake.streams[STD_OUTPUT].bytes, fake.streams[STD_ERROR].bytes};
}

TEST(Entry, OptionsDecideByTheFirstEndingArgument) {
    for (const CommandLineCase& c : command_line_cases("ferrule")) {
        std::vector<std::string> args = {"ferrule"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome r = run(args, "");
        EXPECT_EQ(r.status, c.status) << args.back();
        EXPECT_EQ(r.out, c.out) << args.back();
        EXPECT_EQ(r.err, c.err) << args.back();
    }
    EXPECT_EQ(run({"-h"}, "").out, "[\n]\n") << "the program path is never an option";
}

// Help, version and an unknown argument read no input; a run reads all of it.
TEST(Entry, OptionsAreAnsweredWithoutReadingInput) {
    struct Case { std::vector<std::string> args; long read; } cases[] = {
        {{"ferrule", "--help"}, 0}, {{"ferrule", "-v", "--version"}, 0}, {{"ferrule", "--bogus"}, 0},
        {{"ferrule", "-v"}, 40000}, {{"ferrule"}, 40000},
    };
    for (const Case& c : cases) {
        fake_reset();
        fake.args = c.args;
        fake.streams[STD_INPUT].bytes = std::string(40000, 'x');
        fake_run();
        EXPECT_EQ(fake.streams[STD_INPUT].pos, c.read) << c.args.back();
    }
}

TEST(Entry, InputIsReadInChunksWhateverItsSize) {
    for (size_t size : {0ul, 1ul, 16384ul, 3 * 16384ul, 16385ul}) {
        for (long limit : {0l, 1000l}) {
            fake_reset();
            fake.args = {"ferrule", "-v"};
            fake.streams[STD_INPUT].bytes = std::string(size, '\n');
            fake.streams[STD_INPUT].chunk_limit = limit;
            EXPECT_EQ(fake_run(), 0);
            EXPECT_NE(fake.streams[STD_ERROR].bytes.find("Input len: " + std::to_string(size) + "\n"),
                      std::string::npos);
        }
    }
}

// A log saved with a byte-order mark, as Windows PowerShell 5.1 saves it, is read as the same log in
// UTF-8; an unpaired surrogate and an odd last byte become U+FFFD. Other input is read as it is.
TEST(Entry, InputWithAByteOrderMarkIsReadAsUtf8) {
    auto utf16 = [](const std::u16string& units, bool big) {
        std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : units) bytes += big ? std::string{(char)(u >> 8), (char)(u & 0xFF)} : std::string{(char)(u & 0xFF), (char)(u >> 8)};
        return bytes;
    };
    std::u16string log = u"make: Entering directory '/src/\u00e9'\ngcc -c caf\u00e9.c \U0001F600.c\n";
    std::string plain = "make: Entering directory '/src/\xC3\xA9'\ngcc -c caf\xC3\xA9.c \xF0\x9F\x98\x80.c\n";
    std::string replaced = "gcc -c a\xEF\xBF\xBD.c\n";
    struct Case { std::string input, same_as; } cases[] = {
        {"\xEF\xBB\xBF" + plain, plain},
        {utf16(log, false), plain},
        {utf16(log, true), plain},
        {utf16(log, false) + "g", plain + "\xEF\xBF\xBD"},
        {utf16(u"gcc -c a\xD800.c\n", true), replaced},
        {utf16(u"gcc -c a\xDC00.c\n", false), replaced},
        {"\xFF\xFE", ""},
        {"\xEF\xBB" + plain, "\xEF\xBB" + plain},
        {"\xFE" + plain, "\xFE" + plain},
    };
    for (const Case& c : cases) {
        Outcome got = run({"ferrule", "-v"}, c.input), wanted = run({"ferrule", "-v"}, c.same_as);
        EXPECT_EQ(got.out, wanted.out) << c.input;
        EXPECT_EQ(got.err, wanted.err) << c.input;
    }
}

TEST(Entry, AConsoleInputIsNotRead) {
    fake_reset();
    fake.args = {"ferrule", "-v"};
    fake.streams[STD_INPUT].is_console = true;
    fake.streams[STD_INPUT].bytes = "gcc -c a.c\n";
    EXPECT_EQ(fake_run(), 0);
    EXPECT_EQ(fake.streams[STD_INPUT].calls, 0);
    EXPECT_EQ(fake.streams[STD_OUTPUT].bytes, "[\n]\n");
    EXPECT_NE(fake.streams[STD_ERROR].bytes.find("Input len: 0\n"), std::string::npos);
    EXPECT_TRUE(fake.streams[STD_ERROR].bytes.ends_with(
        "ferrule is done.\nferrule: standard input is a terminal, so nothing was read; pipe make's output in: "
        "make -Bwn | ferrule > compile_commands.json\n"));
}

// A failed read is said with the system's reason, when it has one.
TEST(Entry, AFailedReadKeepsWhatWasReadAndFailsTheRun) {
    struct Case { long error; std::string err; } cases[] = {
        {5, "ferrule: standard input could not be read to its end: Input/output error\n"},
        {99, "ferrule: standard input could not be read to its end\n"},
    };
    for (const Case& c : cases) {
        fake_reset();
        fake.streams[STD_INPUT].bytes = "gcc -c a.c\ngcc -c b.c\n";
        fake.streams[STD_INPUT].fail_after = 11;
        fake.streams[STD_INPUT].error = c.error;
        EXPECT_EQ(fake_run(), 1);
        EXPECT_NE(fake.streams[STD_OUTPUT].bytes.find("\"a.c\""), std::string::npos);
        EXPECT_EQ(fake.streams[STD_OUTPUT].bytes.find("\"b.c\""), std::string::npos);
        EXPECT_EQ(fake.streams[STD_ERROR].bytes, c.err);
    }
}

// A document cut short is said on standard error with the system's reason, but not when the reader
// went away (32); the status is 1 either way.
TEST(Entry, AFailedWriteGivesStatusOne) {
    std::string said = "ferrule: the compilation database could not be written completely";
    struct Case { std::vector<std::string> args; long after, error; std::string err; } cases[] = {
        {{"ferrule"}, 0, 28, said + ": No space left on device\n"},
        {{"ferrule"}, 100, 99, said + "\n"},
        {{"ferrule"}, 0, 32, ""},
        {{"ferrule", "-v"}, 20, 28, "\nTotal command objects: 1\nferrule is done.\n" + said + ": No space left on device\n"},
        {{"ferrule", "--version"}, 3, 28, "ferrule: standard output could not be written: No space left on device\n"},
        {{"ferrule", "--help"}, 0, 28, "ferrule: standard output could not be written: No space left on device\n"},
    };
    for (const Case& c : cases) {
        fake_reset();
        fake.args = c.args;
        fake.streams[STD_INPUT].bytes = "gcc -c a.c\n";
        fake.streams[STD_OUTPUT].fail_after = c.after;
        fake.streams[STD_OUTPUT].error = c.error;
        EXPECT_EQ(fake_run(), 1) << c.error;
        EXPECT_TRUE(fake.streams[STD_ERROR].bytes.ends_with(c.err)) << fake.streams[STD_ERROR].bytes;
        EXPECT_EQ(fake.streams[STD_OUTPUT].bytes.size(), (size_t)c.after);
    }
    fake_reset();
    fake.args = {"ferrule", "-v"};
    fake.streams[STD_INPUT].bytes = "gcc -c a.c\n";
    fake.streams[STD_ERROR].fail_after = 0;
    EXPECT_EQ(fake_run(), 1);
    EXPECT_NE(fake.streams[STD_OUTPUT].bytes.find("\"a.c\""), std::string::npos);
    fake_reset();
    fake.args = {"ferrule", "--help"};
    fake.streams[STD_OUTPUT].chunk_limit = 7;
    EXPECT_EQ(fake_run(), 0);
    EXPECT_EQ(fake.streams[STD_OUTPUT].bytes, expected_help("ferrule"));
}

// The document's file is replaced only when the run ends well: a file that cannot be made or made
// durable leaves the old one, the command of -- is run with its words and its status is the
// program's, and --append merges into the old file's entries.
TEST(Entry, TheDatabaseFileIsReplacedOnlyWhenTheRunEndsWell) {
    std::string doc = "[\n    {\n        \"directory\": \"/work\",\n        \"file\": \"a.c\",\n        \"arguments\": [\n"
                      "            \"gcc\",\n            \"-c\",\n            \"a.c\"\n        ]\n    }\n]\n";
    std::string other = "{\"directory\": \"/x\", \"file\": \"b.c\", \"command\": \"cc b.c\"}";
    std::string merged = "[\n    " + other + ",\n" + doc.substr(2);
    using Files = std::map<std::string, std::string>;
    struct Case {
        std::vector<std::string> args;
        Files before;
        bool create_fails, close_fails, missing;
        int command_status, status;
        std::string err;
        Files after;
    } cases[] = {
        {{"-o", "db"}, {}, false, false, false, 0, 0, "ferrule: db now holds 1 entry\n", {{"db", doc}}},
        {{"-o", "db"}, {{"db", "old"}}, true, false, false, 0, 1, "ferrule: db could not be written: No space left on device\n",
         {{"db", "old"}}},
        {{"-o", "db"}, {{"db", "old"}}, false, true, false, 0, 1, "ferrule: db could not be written: Input/output error\n",
         {{"db", "old"}}},
        {{"--", "make", "-Bwn"}, {}, false, false, true, 0, 127, "ferrule: cannot run 'make'\n", {}},
        {{"--", "make", "-Bwn"}, {}, false, false, false, 3, 3,
         "ferrule: make exited with status 3\nferrule: compile_commands.json now holds 1 entry\n", {{"compile_commands.json", doc}}},
        {{"-a", "-o", "db"}, {{"db", "[" + other + "]"}}, false, false, false, 0, 0, "ferrule: db now holds 2 entries\n",
         {{"db", merged}}},
        {{"-a", "-o", "db"}, {{"db", "[" + other + "," + doc.substr(2)}}, false, false, false, 0, 0,
         "ferrule: db now holds 2 entries\n", {{"db", merged}}},
        {{"-a", "-o", "db"}, {{"db", "{}"}}, false, false, false, 0, 1, "ferrule: db:1:1: the database is not a JSON array\n",
         {{"db", "{}"}}},
    };
    for (const Case& c : cases) {
        fake_reset();
        fake.args = {"ferrule"};
        fake.args.insert(fake.args.end(), c.args.begin(), c.args.end());
        fake.files = c.before;
        fake.create_fails = c.create_fails;
        fake.close_fails = c.close_fails;
        fake.command_missing = c.missing;
        fake.command_status = c.command_status;
        fake.command_output = "gcc -c a.c\n";
        fake.streams[STD_INPUT].bytes = "gcc -c a.c\n";
        EXPECT_EQ(fake_run(), c.status) << c.args.back();
        EXPECT_EQ(fake.streams[STD_ERROR].bytes, c.err) << c.args.back();
        EXPECT_EQ(fake.streams[STD_OUTPUT].bytes, "") << c.args.back();
        EXPECT_EQ(fake.files, c.after) << c.args.back();
        if (c.args[0] == "--") EXPECT_EQ(fake.command, (std::vector<std::string>{"make", "-Bwn"}));
    }
}

// The Windows program's reading of pipe errors: the end of a pipe whose writer went away is the end of
// the input, and a write that fails because the reader went away is not worth a word.
TEST(Entry, WindowsPipeErrors) {
    struct Case { u32 error; i64 read; i32 reader_gone; } cases[] = {
        {WINDOWS_BROKEN_PIPE, 0, 1}, {WINDOWS_HANDLE_EOF, 0, 0}, {WINDOWS_NO_DATA, -1, 1},
        {WINDOWS_PIPE_NOT_CONNECTED, -1, 1}, {112, -1, 0}, {6, -1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(windows_failed_read(c.error), c.read) << c.error;
        EXPECT_EQ(windows_reader_gone(c.error), c.reader_gone) << c.error;
    }
}

TEST(Entry, ConditionsThatStopTheProgramAreNamed) {
    fake_reset();
    fake.region_fails = true;
    EXPECT_EQ(fake_run(), 1);
    EXPECT_EQ(fake.streams[STD_ERROR].bytes, "ferrule: no memory could be reserved for the program\n");
    fake_reset();
    fake.cwd_fails = true;
    EXPECT_EQ(fake_run(), 1);
    EXPECT_EQ(fake.streams[STD_ERROR].bytes, "ferrule: the current directory could not be read\n");
    fake_reset();
    fake.args = {};
    EXPECT_EQ(fake_run(), 1);
    EXPECT_EQ(fake.streams[STD_ERROR].bytes, "ferrule: the command line holds no program path\n");
}

// Memory follows the input past 64 MiB; where the system gives no more, the stop says how much of
// the input had been read, whether the reservation or what could be made of it ran out.
TEST(Entry, InputAsLargeAsMemoryAllows) {
    std::string line = "echo " + std::string(1000, 'x') + "\n", input;
    while (input.size() < (80u << 20)) input += line;
    input += "gcc -c last.c\n";
    struct Case { long reserve_limit, commit_limit; int status; long read_at_least, read_at_most; } cases[] = {
        {FAKE_SPACE, FAKE_SPACE, 0, 0, 0},
        {FAKE_SPACE, 64l << 20, 1, 60l << 20, 64l << 20},
        {64l << 20, FAKE_SPACE, 1, 60l << 20, 64l << 20},
    };
    for (const Case& c : cases) {
        fake_reset();
        fake.reserve_limit = c.reserve_limit;
        fake.commit_limit = c.commit_limit;
        fake.streams[STD_INPUT].bytes = input;
        EXPECT_EQ(fake_run(), c.status);
        const std::string& err = fake.streams[STD_ERROR].bytes;
        if (c.status == 0) {
            EXPECT_EQ(err, "");
            EXPECT_TRUE(fake.streams[STD_OUTPUT].bytes.ends_with("\"last.c\"\n        ]\n    }\n]\n"));
            continue;
        }
        EXPECT_EQ(fake.streams[STD_OUTPUT].bytes, "");
        long read = -1;
        EXPECT_EQ(sscanf(err.c_str(), "ferrule: out of memory after reading %ld bytes of input\n", &read), 1) << err;
        EXPECT_TRUE(err.ends_with(" bytes of input\n")) << err;
        EXPECT_GE(read, c.read_at_least);
        EXPECT_LE(read, c.read_at_most);
        EXPECT_EQ(read % READ_CHUNK, 0);
    }
}

TEST(Entry, ConsoleOutputIsDecoded) {
    fake_reset();
    fake.args = {"ferrule", "--bogus-\xC3\xA9-\xF0\x9F\x98\x80-\xC0\x80"};
    fake.streams[STD_ERROR].is_console = true;
    EXPECT_EQ(fake_run(), 1);
    EXPECT_EQ(fake.streams[STD_ERROR].console,
              u"Unknown CLI arg: '--bogus-\u00e9-\U0001F600-\uFFFD\uFFFD'\n\n");
}

TEST(LineKind, ByTheFirstThreeFields) {
    struct Case { std::string line; i32 kind; } cases[] = {
        {"make: Entering directory '/a'", ENTER_DIR},
        {"make[2]: Leaving directory '/a'", LEAVE_DIR},
        {": Entering directory '/a'", ENTER_DIR},
        {"make:  Entering directory '/a'", SHELL},
        {"Entering directory '/a'", SHELL},
        {"make: entering directory '/a'", SHELL},
        {"make: Entering directories", SHELL},
        {"make: Entering directory", ENTER_DIR},
        {"make: Entering directory\r\nx", SHELL},
        {"make: Entering directory '/a'\r\n", ENTER_DIR},
        {"make: Leaving\ndirectory", SHELL},
        {"make: Leaving directory\n'/a'", LEAVE_DIR},
        {"echo Entering directory '/x'", SHELL},
        {"make Leaving directory '/x'", SHELL},
        {"", SHELL},
    };
    for (const Case& c : cases) EXPECT_EQ(read_make_line(str_of(c.line)).kind, c.kind) << c.line;
}

TEST(MakeLine, PathAndWhatItConsumes) {
    // open: a byte looked for was not found, so that more input could still change the line.
    struct Case { std::string input; std::string path; std::string rest; int open; } cases[] = {
        {"make[1]: Entering directory '/src/lib'\nnext", "/src/lib", "next", 0},
        {"make: Entering directory `/src/lib'\n", "/src/lib", "", 0},
        {"make: Entering directory \"/proj\"\nnext", "/proj", "next", 0},
        {"make: Entering directory '/src/my lib'\n", "/src/my lib", "", 0},
        {"make: Entering directory ' /src/lib '\n", "/src/lib", "", 0},
        {"make: Entering directory '/src/it`s'\n", "/src/it", "", 0},
        {"make: Entering directory /src/lib\nnext", "", "next", 0},
        {"make: Entering directory '/src/lib'\r\nnext", "/src/lib", "next", 0},
        {"make: Entering directory '/a\nb\nc' d\nnext", "/a\nb\nc", "b\nc' d\nnext", 0},
        {"make: Entering directory '/a\nnext", "/a", "next", 1},
        {"make: Entering directory '/a", "", "", 1},
        {"make: Entering directory '/a'", "/a", "", 1},
        {"make: Entering directory\nx y\nz", "", "z", 0},
        {"make: Entering directory\nnospace", "", "", 1},
        {"make: Entering directory \n'/p'\nz", "/p", "z", 0},
    };
    for (const Case& c : cases) {
        Str input = str_of(c.input);
        DirectoryPath line = read_directory_path(input, read_make_line(input).third);
        EXPECT_EQ(string_of(line.path), c.path) << c.input;
        EXPECT_EQ(string_of(line.rest), c.rest) << c.input;
        EXPECT_EQ(line.open, c.open) << c.input;
    }
}

struct StackFixture : testing::Test {
    std::vector<char> memory = std::vector<char>(1 << 16);
    Arena main_arena = arena_over(memory.data(), (i64)memory.size());
    Arena scratch = {};
    DirStack stack = {};
    void SetUp() override {
        stack = create_dir_stack(&main_arena, "/start"_s);
        scratch = main_arena;
    }
    std::string top() { return string_of(current_directory(&stack)); }
};

TEST_F(StackFixture, PushesAndPopsOnlyOnAnExactMatchWithTheTop) {
    char* before = stack.arena.cur;
    enter_directory(&stack, "/src/lib"_s, "make:"_s, &scratch);
    EXPECT_EQ(top(), "/src/lib");
    for (Str other : {"/SRC/LIB"_s, "/src/lib/"_s, "/start"_s, ""_s}) {
        leave_directory(&stack, other, &scratch);
        EXPECT_EQ(top(), "/src/lib");
    }
    leave_directory(&stack, "/src/lib"_s, &scratch);
    EXPECT_EQ(top(), "/start");
    EXPECT_EQ(stack.arena.cur, before);
    leave_directory(&stack, "/start"_s, &scratch);
    EXPECT_EQ(top(), "/start");
    EXPECT_EQ(stack.entries.count, 1);
    enter_directory(&stack, "/"_s, "make:"_s, &scratch);
    leave_directory(&stack, "/"_s, &scratch);
    EXPECT_EQ(top(), "/start") << "a one-byte path is left like any other";
}

TEST_F(StackFixture, BackslashesAreNormalisedInTheCopyOnly) {
    std::string path = "C:\\work\\\\lib";
    enter_directory(&stack, str_of(path), "make:"_s, &scratch);
    EXPECT_EQ(top(), "C:/work/lib");
    EXPECT_EQ(path, "C:\\work\\\\lib");
    std::string leaving = "C:\\work\\lib";
    leave_directory(&stack, str_of(leaving), &scratch);
    EXPECT_EQ(top(), "/start");
    EXPECT_EQ(leaving, "C:\\work\\lib");
}

TEST_F(StackFixture, APathFarLongerThanTheTopIsNotCopied) {
    enter_directory(&stack, "C:/a"_s, "make:"_s, &scratch);
    std::string doubled = "C:\\\\a";  // normalises to the top
    leave_directory(&stack, str_of(doubled), &scratch);
    EXPECT_EQ(top(), "/start");
    enter_directory(&stack, "/a"_s, "make:"_s, &scratch);
    Arena tiny = arena_over(memory.data() + memory.size() - 64, 64);
    leave_directory(&stack, str_of(std::string(1000, 'x')), &tiny);  // would not fit in tiny
    EXPECT_EQ(top(), "/a");
}

TEST_F(StackFixture, AFullStackSkipsThePushAndKeepsItsBlock) {
    std::string path(100, 'p');
    int pushed = 0;
    while (!(enter_directory(&stack, str_of(path), "make:"_s, &scratch) & ENTER_FULL)) pushed++;
    EXPECT_GT(pushed, 80);
    EXPECT_EQ(stack.entries.count, pushed + 1);
    EXPECT_LE(stack.arena.cur, stack.arena.end);
    EXPECT_EQ(enter_directory(&stack, "/x"_s, "make:"_s, &scratch) & ENTER_FULL, 0) << "a short path may still fit";
}

TEST(Dispatch, UnterminatedDirectoryQuoteLeavesLaterLinesAsWritten) {
    Outcome r = run({"ferrule"}, "make: Entering directory 'C:\\dir\ngcc -c x\\\\y.c '\n");
    EXPECT_NE(r.out.find("\"file\": \"x\\\\y.c\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"directory\": \"C:/dir\\ngcc -c x/y.c\""), std::string::npos) << r.out;
    Outcome later = run({"ferrule"}, "make: Leaving directory 'C:\\dir\ngcc -c x\\\\y.c\n");
    EXPECT_NE(later.out.find("\"file\": \"x\\\\y.c\""), std::string::npos) << later.out;
}

// The stack is full when what it stores, the normalised path, does not fit; that is said once.
TEST(Dispatch, AFullDirectoryStackIsReportedOnceAndTheRunGoesOn) {
    std::string deep, full = "ferrule: the directory stack is full; directories entered from here on are ignored\n";
    for (int i = 0; i < 10000; i++) deep += "make[" + std::to_string(i) + "]: Entering directory '/deep/dir/" + std::to_string(i) + "'\n";
    auto entering = [](const std::string& path) { return "make: Entering directory '" + path + "'\n"; };
    struct Case { std::string input, err, directory; } cases[] = {
        {deep, full, "/deep/dir/"},
        {entering(std::string(20000, '\\')), "", std::string(10000, '/') + "\""},
        {entering(std::string(32768, '\\')), full, "/work\""},
    };
    for (const Case& c : cases) {
        Outcome r = run({"ferrule"}, c.input + "gcc -c a.c\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.err);
        EXPECT_NE(r.out.find("\"directory\": \"" + c.directory), std::string::npos) << c.directory.substr(0, 20);
    }
}

// Two makes of one name and level entering directories without the first leaving are running in
// parallel: said once, before the full stack's message when both come on one line; the document is
// the same as without the message.
TEST(Dispatch, InterleavedDirectoryLinesAreSaidOnce) {
    auto enter = [](const std::string& maker, const std::string& path) { return maker + " Entering directory '" + path + "'\n"; };
    auto leave = [](const std::string& maker, const std::string& path) { return maker + " Leaving directory '" + path + "'\n"; };
    std::string said = "ferrule: makes running in parallel wrote interleaved directory lines; entries may name the wrong "
                       "directory (run make with -j1 or --output-sync)\n";
    std::string full = "ferrule: the directory stack is full; directories entered from here on are ignored\n";
    std::string deep;
    for (int i = 0; i < 200; i++) deep += enter("make[1]:", "/" + std::to_string(i) + std::string(90, 'd'));
    struct Case { std::string input, err; } cases[] = {
        {enter("make:", "/t") + enter("make[1]:", "/t/a") + leave("make[1]:", "/t/a") + enter("make[1]:", "/t/b"), ""},
        {enter("make:", "/t") + enter("make[1]:", "/t/a") + enter("make[1]:", "/t/b") + enter("make[1]:", "/t/c"), said},
        {enter("make:", "/t") + enter("make:", "/u"), said},
        {enter("make[1]:", "/t") + enter("make[2]:", "/t/a") + enter("mingw32-make[2]:", "/t/b"), ""},
        {enter("make:", "/t") + enter("make:", ""), said},
        {enter("make:", "/t") + enter("make:", std::string(40000, 'p')), said + full},
        {enter("make:", "/t") + deep, said + full},
    };
    for (const Case& c : cases) {
        Outcome r = run({"ferrule"}, c.input + "gcc -c a.c\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.err) << c.input.substr(0, 200);
        EXPECT_EQ(r.out, run({"ferrule"}, "make: Entering directory '" + top_of(r.out) + "'\ngcc -c a.c\n").out);
    }
}

// A list dump of the trace at the given nesting level.
std::string dump(const std::vector<std::string>& items, int level) {
    if (items.empty()) return "[] (list empty)\n";
    std::string pad(4 * level, ' '), text = "[\n";
    for (size_t i = 0; i < items.size(); i++) text += pad + "    \"" + items[i] + (i + 1 < items.size() ? "\",\n" : "\"\n");
    return text + pad + "]\n";
}

std::string summary(int added, int total) {
    return "-> +" + std::to_string(added) + " command objects (total = " + std::to_string(total) + ")\n\n---\n\n";
}

// The trace of a shell line whose one compiler command gives one entry without output.
std::string one_entry(const std::vector<std::string>& words, const std::vector<std::string>& args, const std::string& file,
                      const std::string& directory) {
    return "Parsing mode: SHELL\nTokenized shell line:\n    " + dump(words, 1) + "Detected compiler invocation:\n    Compiler: " +
           args[0] + "\n    Tokens: " + dump(args, 1) + "Parsed compiler command:\n    ok = true\n    source = " +
           dump({file}, 1) + "    output = \"\"\n    args = " + dump(args, 1) +
           "Produced command objects:\n    ok = true\n    directory = \"" + directory + "\"\n    file = \"" + file +
           "\"\n    output = \"\"\n    args = " + dump(args, 1) + "    \n";
}

// The trace of a shell line whose one invocation gives no entry: its compiler (none when empty), which
// takes all the words as tokens, and the arguments of the command parsed.
std::string no_entry(const std::vector<std::string>& words, const std::string& compiler, const std::vector<std::string>& args) {
    std::vector<std::string> tokens = compiler.empty() ? std::vector<std::string>{} : words;
    return "Parsing mode: SHELL\nTokenized shell line:\n    " + dump(words, 1) + "Detected compiler invocation:\n    Compiler: " +
           (compiler.empty() ? "unknown or not found" : compiler) + "\n    Tokens: " + dump(tokens, 1) +
           "Parsed compiler command:\n    ok = false\n    source = [] (list empty)\n    output = \"\"\n    args = " +
           dump(args, 1) + "No command object produced.\n";
}

// The -v trace of whole runs, from the preamble to the closing lines: each iteration's mode, a shell
// line's words, invocation, parsed command and entries, and each iteration's summary.
TEST(Dispatch, VerboseTraces) {
    std::vector<std::string> compile = {"gcc", "-c", "a.c"};
    std::string enter = "Parsing mode: ENTER DIR\n", leave = "Parsing mode: LEAVE DIR\n";
    std::string blank = "Parsing mode: SHELL\nNo command object produced.\n";
    struct Case { std::vector<std::string> args; std::string input, trace; int total; } cases[] = {
        {{"-v"}, "make: Entering directory '/src'\n\ngcc -c \\\n  a.c\nmake: Leaving directory '/src'\n",
         enter + summary(0, 0) + blank + summary(0, 0) + one_entry(compile, compile, "a.c", "/src") + summary(1, 1) +
             leave + summary(0, 1), 1},
        {{"--verbose"}, "make: Entering directory '/src'\nmake[1]: Entering directory '/src/lib'\n\ngcc -c \\\n  a.c\n"
         "make[1]: Leaving directory '/src/lib'\nmake: Leaving directory '/src'\n",
         enter + summary(0, 0) + enter + summary(0, 0) + blank + summary(0, 0) +
             one_entry(compile, compile, "a.c", "/src/lib") + summary(1, 1) + leave + summary(0, 1) + leave + summary(0, 1), 1},
        {{"-v"}, "cd src && gcc -c x.c\n",
         one_entry({"cd", "src", "&&", "gcc", "-c", "x.c"}, {"gcc", "-c", "x.c"}, "x.c", "/work/src") + summary(1, 1), 1},
        {{"-v"}, "echo hi\ncl /c x.c\ngcc -c\n",
         no_entry({"echo", "hi"}, "", {}) + summary(0, 0) + no_entry({"cl", "/c", "x.c"}, "cl", {}) + summary(0, 0) +
             no_entry({"gcc", "-c"}, "gcc", {"gcc", "-c"}) + summary(0, 0), 0},
    };
    for (const Case& c : cases) {
        Outcome r = run({"ferrule", c.args[0]}, c.input);
        EXPECT_EQ(r.status, 0);
        std::string preamble = "ferrule\nVersion: " FERRULE_VERSION "\nVerbose mode: true\nDirectory: \"/work\"\nCLI args: " +
                               dump({"ferrule", c.args[0]}, 0) + "Input len: " + std::to_string(c.input.size()) + "\n====\n\n";
        std::string closing = "\nTotal command objects: " + std::to_string(c.total) + "\nferrule is done.\n";
        EXPECT_EQ(r.err, preamble + c.trace + closing) << c.input;
    }
}

}  // namespace

namespace {

// What a console was sent, as UTF-8.
std::string console_text(const std::u16string& units) {
    std::string text;
    for (char16_t u : units) {
        if (u < 0x80) text += (char)u;
        else if (u < 0x800) text += {(char)(0xC0 | u >> 6), (char)(0x80 | (u & 0x3F))};
        else text += {(char)(0xE0 | u >> 12), (char)(0x80 | (u >> 6 & 0x3F)), (char)(0x80 | (u & 0x3F))};
    }
    return text;
}

}  // namespace

// With a console on standard error the lines are dispatched while the input arrives, in pieces of
// any size; the document and the messages are those of the input read whole.
TEST(Progress, LinesDispatchedAsTheyArriveGiveTheSameDocument) {
    std::string inputs[] = {
        "make: Entering directory 'C:\\dir\ngcc -c x\\\\y.c '\ngcc -c z.c\n",
        "make: Entering directory '/a\ngcc -c a.c\n",
        "make: Entering directory\nx y\nz\ngcc -c a.c\n",
        "make: Entering directory\nnospace gcc -c a.c",
        "make[1]: Entering directory '/a'\ngcc -c a.c\nmake[1]: Leaving directory '/a'\ngcc -c b.c\n",
        "gcc -c \\\na.c\ngcc -c b.c\\\r\n c.c\r\ngcc -c d.c\rgcc -c e.c\n",
        "gcc -DX='a\nb' -c a.c\ngcc -c \"b\\\nc.c\" d.c\ngcc -c e.c \\\\\ngcc -c f.c\n",
        "# a comment \\\ngcc -c a.c\n(gcc -c $(echo b.c) `c.c`)\n",
        "gcc -c C:\\src\\a.c -o .\\out\\a.o\ncd src && gcc -c b.c\ngcc -c c.c",
        "\xEF\xBB\xBFgcc -c a.c\n",
        std::string("\xFF\xFEg\0c\0c\0 \0-\0c\0 \0a\0.\0c\0\n\0", 24),
        "make[1]: Entering directory '/a'\nmake[1]: Entering directory '/b'\ngcc -c a.c\n",
        "gcc -c a.c\n\n\n\\",
    };
    for (const std::string& input : inputs) {
        Outcome whole = run({"ferrule"}, input);
        for (long piece : {1l, 2l, 3l, 7l, 4096l}) {
            fake_reset();
            fake.streams[STD_INPUT].bytes = input;
            fake.streams[STD_INPUT].chunk_limit = piece;
            fake.streams[STD_ERROR].is_console = true;
            EXPECT_EQ(fake_run(), whole.status);
            EXPECT_EQ(fake.streams[STD_OUTPUT].bytes, whole.out) << piece << ": " << input;
            EXPECT_EQ(console_text(fake.streams[STD_ERROR].console), whole.err) << piece << ": " << input;
        }
    }
}

// The status line: drawn after half a second, at most ten times a second, over itself; erased before
// any other text and at the end; never drawn with the trace or without a console; what the command
// writes to its standard error passed on whole, with no status line inside one of its lines.
TEST(Progress, TheStatusLineIsKeptOnAConsoleOnly) {
    std::string log;  // its directories' names hold a character of two bytes, which takes one column
    for (int d = 0; d < 4; d++) {
        log += "make[1]: Entering directory '/src/a-rather-long-directory-n\xC3\xA4me/number-" + std::to_string(d) + "'\n";
        for (int i = 0; i < 20; i++) log += "gcc -c f" + std::to_string(i) + ".c\n";
        log += "make[1]: Leaving directory '/src/a-rather-long-directory-n\xC3\xA4me/number-" + std::to_string(d) + "'\n";
    }
    struct Case {
        std::vector<std::string> args;
        bool console;
        long read_ms;
        int width;
        std::string errors;  // what the command of "--" writes to its standard error
        std::vector<std::string> drawn;  // status lines that must have been drawn
        std::string shown;   // what the console shows at the end
    } cases[] = {
        {{"ferrule"}, true, 60, 200, "",
         {"ferrule: 28 entries, 0.0 MB read, last in /src/a-rather-long-directory-n\xC3\xA4me/number-1",
          "ferrule: 80 entries, 0.0 MB read, last in /src/a-rather-long-directory-n\xC3\xA4me/number-3"}, ""},
        {{"ferrule"}, true, 60, 0, "", {"ferrule: 28 entries, 0.0 MB read, last in ...ather-long-directory-n\xC3\xA4me/number-1"}, ""},
        {{"ferrule"}, true, 60, 40, "", {"ferrule: 28 entries, 0.0 MB read", "ferrule: 80 entries, 0.0 MB read"}, ""},
        {{"ferrule"}, true, 60, 60, "", {"ferrule: 28 entries, 0.0 MB read, last in ...-n\xC3\xA4me/number-1"}, ""},
        {{"ferrule"}, true, 60, 56, "", {"ferrule: 28 entries, 0.0 MB read, last in ...e/number-1"}, ""},
        {{"ferrule"}, true, 0, 0, "", {}, ""},
        {{"ferrule", "-v"}, true, 60, 0, "", {}, "-"},
        {{"ferrule"}, false, 60, 0, "", {}, ""},
        {{"ferrule", "-o", "-"}, true, 60, 0, "", {}, ""},
        {{"ferrule", "-o", "db.json", "--", "make"}, true, 60, 200, "make: warning one\nmake: warning two\n",
         {"ferrule: 60 entries, 0.0 MB read, last in /src/a-rather-long-directory-n\xC3\xA4me/number-2"},
         "make: warning one\nmake: warning two\nferrule: db.json now holds 80 entries\n"},
        {{"ferrule", "-o", "db.json", "--", "make"}, true, 60, 200, "make: warning one\nmake: warn",
         {"ferrule: 60 entries, 0.0 MB read, last in /src/a-rather-long-directory-n\xC3\xA4me/number-2"},
         "make: warning one\nmake: warnferrule: db.json now holds 80 entries\n"},
    };
    for (const Case& c : cases) {
        fake_reset();
        fake.args = c.args;
        fake.streams[STD_INPUT].bytes = log;
        fake.streams[STD_INPUT].chunk_limit = 64;
        fake.command_output = log;
        fake.command_stream.chunk_limit = 64;
        fake.command_error_output = c.errors;
        fake.command_errors.chunk_limit = 1;
        fake.streams[STD_ERROR].is_console = c.console;
        fake.streams[STD_OUTPUT].is_console = c.args.back() == "-";
        fake.read_ms = c.read_ms;
        fake.console_width = c.width;
        EXPECT_EQ(fake_run(), 0);
        std::string sent = console_text(fake.streams[STD_ERROR].console);
        std::string label = c.args.back() + " " + std::to_string(c.width);
        // While the line is shown a stop would erase it; after, it has nothing to erase.
        EXPECT_EQ(!fake.stop_notes.empty() && fake.stop_notes[0] == "\r\x1b[K", !c.drawn.empty()) << label;
        EXPECT_EQ(fake.stop_note, "") << label;
        EXPECT_EQ(fake.command_errors_asked, c.args.back() == "make") << label;
        if (c.args.back() != "make") EXPECT_EQ(fake.streams[STD_OUTPUT].bytes + console_text(fake.streams[STD_OUTPUT].console), run({"ferrule"}, log).out) << label;
        if (c.shown != "-") EXPECT_EQ(terminal_shows(sent), c.shown) << label;
        if (c.console) EXPECT_EQ(fake.streams[STD_ERROR].bytes, "") << label;
        else EXPECT_EQ(fake.streams[STD_ERROR].bytes, run({"ferrule"}, log).err) << label;
        for (const std::string& line : c.drawn) EXPECT_NE(sent.find("\r" + line + "\x1b[K"), std::string::npos) << label << sent;
        if (c.drawn.empty()) EXPECT_EQ(sent.find("entries,"), std::string::npos) << label << sent;

        // Reads come every read_ms: the first drawing after 500 ms, then one at most every 100 ms.
        size_t draws = 0;
        for (size_t at = sent.find("entries,"); at != std::string::npos; at = sent.find("entries,", at + 1)) draws++;
        if (!c.drawn.empty()) EXPECT_LE(draws, (log.size() / 64 * c.read_ms - 500) / 100 + 1) << label;
    }
}
