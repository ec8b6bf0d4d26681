// Tests of compiler analysis: name classification, invocation collection, option parsing, entry
// building and the document and traces of the worked examples.
#include <gtest/gtest.h>

#include "compiler/objects.h"
#include "fake_platform.h"

namespace {

alignas(8) char block[1 << 20];

TEST(CompilerName, Classified) {
    struct Case { std::string word; i32 kind; std::string name; } cases[] = {
        {"gcc", COMPILER_GCC, "gcc"}, {"/usr/bin/gcc", COMPILER_GCC, "gcc"}, {"gcc.exe", COMPILER_GCC, "gcc"},
        {"/gcc", COMPILER_GCC, "gcc"}, {"clang", COMPILER_GCC, "clang"}, {"clang++", COMPILER_GCC, "clang++"},
        {"C:/mingw/bin/gcc.exe", COMPILER_GCC, "gcc"}, {"\"gcc\"", COMPILER_GCC, "gcc"},
        {"'C:\\bin\\g++.EXE'", COMPILER_GCC, "g++"},
        {"x86_64-w64-mingw32-gcc", COMPILER_GCC, "x86_64-w64-mingw32-gcc"}, {"arm-none-eabi-gcc", COMPILER_GCC, ""},
        {"gcc-12", COMPILER_GCC, ""}, {"clang-17", COMPILER_GCC, ""}, {"clang++-14.0.6", COMPILER_GCC, ""},
        {"x86_64-w64-mingw32-g++-win32", COMPILER_GCC, ""}, {"g++-posix", COMPILER_GCC, ""},
        {"cc", COMPILER_GCC, ""}, {"c++", COMPILER_GCC, ""}, {"zig", COMPILER_GCC, ""}, {"icx", COMPILER_GCC, ""},
        {"icpx", COMPILER_GCC, ""}, {"nvc", COMPILER_GCC, ""}, {"nvc++", COMPILER_GCC, ""}, {"tcc", COMPILER_GCC, ""},
        {"emcc", COMPILER_GCC, ""}, {"armclang", COMPILER_GCC, ""}, {"icx-cl", COMPILER_GCC, ""},
        {"cl", COMPILER_MSVC, "cl"}, {"cl.exe", COMPILER_MSVC, "cl"}, {"clang-cl", COMPILER_MSVC, ""},
        {"clang-cl.exe", COMPILER_MSVC, "clang-cl"},
        {"gcc-ar", COMPILER_UNKNOWN, ""}, {"clang-format", COMPILER_UNKNOWN, ""}, {"clang-tidy", COMPILER_UNKNOWN, ""},
        {"CL.EXE", COMPILER_UNKNOWN, "CL"}, {"gcc-12.", COMPILER_UNKNOWN, ""}, {"ccache", COMPILER_UNKNOWN, ""},
        {"GCC", COMPILER_UNKNOWN, ""}, {"", COMPILER_UNKNOWN, ""}, {"make", COMPILER_UNKNOWN, ""},
        {"gcc-ar-gcc", COMPILER_GCC, ""}, {"clang++-posix", COMPILER_UNKNOWN, ""}, {"clang++-win32", COMPILER_UNKNOWN, ""},
        {"clang-posix", COMPILER_UNKNOWN, ""}, {" gcc", COMPILER_GCC, "gcc"}, {"cl.exe\t", COMPILER_MSVC, "cl"},
        {"g++.EXE", COMPILER_GCC, "g++"}, {"cc\r", COMPILER_GCC, "cc"}, {"tcc'", COMPILER_GCC, "tcc"}, {"icx ", COMPILER_GCC, "icx"},
        {"gcc:", COMPILER_UNKNOWN, ""}, {"/usr/bin/", COMPILER_UNKNOWN, ""},
    };
    for (const Case& c : cases) {
        CompilerName n = classify_compiler_name(str_of(c.word));
        EXPECT_EQ(n.kind, c.kind) << c.word;
        if (!c.name.empty()) EXPECT_EQ(string_of(n.name), c.name) << c.word;
        // The search over a line's words, which skips words it sees at once to name none, agrees.
        Arena a = arena_over(block, sizeof block);
        StrList words = {};
        list_append(&words, &a, str_of(c.word));
        Str directory = "/top"_s;
        EXPECT_EQ(find_compiler_invocation(&words, &directory, &a).kind, c.kind) << "searched: " << c.word;
    }
}

std::vector<std::string> strings(const StrList& list) {
    std::vector<std::string> out;
    for (StrNode* n = list.head; n; n = n->next) out.push_back(string_of(n->value));
    return out;
}

StrList list_of(Arena* a, const std::vector<std::string>& words) {
    StrList list = {};
    for (const std::string& w : words) list_append(&list, a, str_clone(a, str_of(w)));
    return list;
}

TEST(Recognize, InvocationsOfALine) {
    using V = std::vector<std::string>;
    struct Case { V words; std::vector<V> invocations; } cases[] = {
        {{"ccache", "gcc", "-c", "x.c"}, {{"gcc", "-c", "x.c"}}},
        {{"zig", "cc", "-c", "x.c"}, {{"zig", "cc", "-c", "x.c"}}},
        {{"env", "-i", "g++", "-c", "x.c"}, {{"g++", "-c", "x.c"}}},
        {{"time", "/opt/zig", "-v"}, {{"/opt/zig", "-v"}}},
        {{"cd", "src", "&&", "gcc", "-c", "x.c"}, {{"gcc", "-c", "x.c"}}},
        {{"gcc", "-c", "x.c", ">", "build.log", "2>&", "1"}, {{"gcc", "-c", "x.c"}}},
        {{"gcc", "-c", "a.c", "&&", "gcc", "-c", "b.c"}, {{"gcc", "-c", "a.c"}, {"gcc", "-c", "b.c"}}},
        {{"gcc", "-c", "x.c", "|", "tee", "log"}, {{"gcc", "-c", "x.c"}, {}}},
        {{"gcc", "$(CFLAGS)", "-c", "x.c", "`date`"}, {{"gcc", "-c", "x.c"}}},
        {{"$(CC)", "-c", "x.c"}, {{}}},
        {{"gcc", "", "2", ">"}, {{"gcc", "", "2"}}},
        {{"gcc", "-I$(INC)", "$", "x.c"}, {{"gcc", "-I$(INC)", "$", "x.c"}}},
        {{"gcc", "a.c", ";", "gcc", "b.c"}, {{"gcc", "a.c"}, {"gcc", "b.c"}}},
        {{"gcc", "a.c", "(", "gcc", "b.c"}, {{"gcc", "a.c"}, {"gcc", "b.c"}}},
        {{"gcc", "a.c", ")", "gcc", "b.c"}, {{"gcc", "a.c"}, {"gcc", "b.c"}}},
        {{"gcc", "-c", "a.c", "0<", "in.c", "9>", "out.c"}, {{"gcc", "-c", "a.c"}}},
        {{"gcc", "-c", "a.c", "<>", "f.c"}, {{"gcc", "-c", "a.c"}}},
    };
    for (const Case& c : cases) {
        Arena a = arena_over(block, sizeof block);
        StrList words = list_of(&a, c.words);
        std::vector<V> got;
        Str directory = "/top"_s;
        while (words.count > 0) got.push_back(strings(find_compiler_invocation(&words, &directory, &a).tokens));
        EXPECT_EQ(got, c.invocations) << c.words[0];
    }
}

TEST(Recognize, NameOfAnInvocationWithoutCompiler) {
    Arena a = arena_over(block, sizeof block);
    StrList words = list_of(&a, {"$(A)", "`b`"});
    Str directory = "/top"_s;
    EXPECT_EQ(string_of(find_compiler_invocation(&words, &directory, &a).compiler), "");
    words = list_of(&a, {"echo", "hi"});
    CompilerInvocation none = find_compiler_invocation(&words, &directory, &a);
    EXPECT_EQ(string_of(none.compiler), "unknown or not found");
    EXPECT_EQ(none.kind, COMPILER_UNKNOWN);
}

struct Parsed {
    bool ok;
    std::vector<std::string> sources;
    std::string output;
    std::vector<std::string> args;
    bool operator==(const Parsed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Parsed& p) {
    return os << p.ok << testing::PrintToString(p.sources) << p.output << testing::PrintToString(p.args);
}

Parsed parse(const std::vector<std::string>& tokens) {
    Arena a = arena_over(block, sizeof block);
    CompilerInvocation inv = {COMPILER_GCC, "gcc"_s, list_of(&a, tokens)};
    ParsedCommand c = parse_compiler_command(&inv, &a);
    return {c.ok != 0, strings(c.sources), string_of(c.output), strings(c.args)};
}

TEST(Parse, SourcesOutputAndArguments) {
    using V = std::vector<std::string>;
    struct Case { V tokens; Parsed expected; } cases[] = {
        {{"gcc", "-c", "main.c"}, {true, {"main.c"}, "", {"gcc", "-c", "main.c"}}},
        {{"gcc", "-o", "main", "main.c", "util.c"}, {true, {"main.c", "util.c"}, "main", {"gcc", "-o", "main", "main.c", "util.c"}}},
        {{"gcc", "-c", "-o", "main.c", "util.c"}, {true, {"util.c"}, "main.c", {"gcc", "-c", "-o", "main.c", "util.c"}}},
        {{"gcc", "-omain.o", "-c", "x.c"}, {true, {"x.c"}, "main.o", {"gcc", "-omain.o", "-c", "x.c"}}},
        {{"gcc", "--output=out.o", "x.c"}, {true, {"x.c"}, "out.o", {"gcc", "--output=out.o", "x.c"}}},
        {{"gcc", "--outputout.o", "x.c"}, {true, {"x.c"}, "out.o", {"gcc", "--outputout.o", "x.c"}}},
        {{"gcc", "--output=", "v.c", "x.c"}, {true, {"x.c"}, "", {"gcc", "--output=", "v.c", "x.c"}}},
        {{"gcc", "-o", "a", "x.c", "-o"}, {true, {"x.c"}, "", {"gcc", "-o", "a", "x.c", "-o"}}},
        {{"gcc", "-include", "common.c", "-c", "x.c"}, {true, {"x.c"}, "", {"gcc", "-include", "common.c", "-c", "x.c"}}},
        {{"gcc", "-D", "NAME.c", "-DX.c"}, {false, {}, "", {"gcc", "-D", "NAME.c", "-DX.c"}}},
        {{"gcc", "-x", "c", "foo.txt"}, {true, {"foo.txt"}, "", {"gcc", "-x", "c", "foo.txt"}}},
        {{"gcc", "-x", "c-header", "foo.h", "-x", "none", "a.c"}, {true, {"a.c"}, "", {"gcc", "-x", "c-header", "foo.h", "-x", "none", "a.c"}}},
        {{"gcc", "-xc", "foo"}, {true, {"foo"}, "", {"gcc", "-xc", "foo"}}},
        {{"gcc", "-x", "go", "a.c", "-x", "c++", "b"}, {true, {"b"}, "", {"gcc", "-x", "go", "a.c", "-x", "c++", "b"}}},
        {{"gcc", "--language=assembler", "s"}, {true, {"s"}, "", {"gcc", "--language=assembler", "s"}}},
        {{"gcc", "-x"}, {false, {}, "", {"gcc", "-x"}}},
        {{"gcc", "x.CPP", "x.C", "x.S", "x.cppm", "x.c++", "x.cxx"}, {true, {"x.C", "x.S", "x.cppm", "x.c++", "x.cxx"}, "", {"gcc", "x.CPP", "x.C", "x.S", "x.cppm", "x.c++", "x.cxx"}}},
        {{"gcc", "a.c\"", "b.c'", "c.c'\"", "d.c\"'"}, {true, {"a.c\"", "b.c'", "c.c'\""}, "", {"gcc", "a.c\"", "b.c'", "c.c'\"", "d.c\"'"}}},
        {{"gcc", "-", "--", "-c", "-O2", "-Wall", "-MD"}, {false, {}, "", {"gcc", "-", "--", "-c", "-O2", "-Wall", "-MD"}}},
        {{"gcc", "-x", "c", "", "a"}, {true, {"", "a"}, "", {"gcc", "-x", "c", "a"}}},
        {{"gcc"}, {false, {}, "", {"gcc"}}},
        {{"gcc", "-i", "a.c", "-X", "b.c"}, {true, {"a.c", "b.c"}, "", {"gcc", "-i", "a.c", "-X", "b.c"}}},
        {{"gcc", "-MF", "d.c", "-MT", "x.c", "y.c"}, {true, {"y.c"}, "", {"gcc", "-MF", "d.c", "-MT", "x.c", "y.c"}}},
        {{"gcc", "-o", "", "-I", "", "-c", "x.c"}, {true, {"x.c"}, "", {"gcc", "-o", "-I", "-c", "x.c"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse(c.tokens), c.expected) << testing::PrintToString(c.tokens);
}

// The value-taking options, typed out apart from the program's own table: each takes the next token
// as its value, so a source name there is no source; the two language options make it a language.
TEST(Parse, EveryValueOptionTakesTheNextToken) {
    using V = std::vector<std::string>;
    const std::string options[] = {
        "-I", "--include-directory", "-o", "--output=", "--output", "-x", "--language=", "--language", "-D",
        "--define-macro", "-U", "--undefine-macro", "-l", "-e", "--entry", "-u", "--undefined", "-T", "--script",
        "-L", "--library-directory", "--library", "-z", "-MF", "-MT", "-MQ", "-A", "-G", "-dumpbase-ext",
        "-dumpbase", "-dumpdir", "-aux-info", "-include", "-imacros", "-iwithprefixbefore", "-iwithprefix",
        "-iprefix", "-iquote", "-isystem", "-idirafter", "-isysroot", "-imultilib", "-Xpreprocessor",
        "-Xassembler", "-Xlinker", "-bundle_loader", "--param", "-arch", "-wrapper",
    };
    for (const std::string& option : options) {
        bool language = option == "-x" || option == "--language";
        bool output = option == "-o" || option == "--output";
        Parsed expected = {!language, language ? V{} : V{"b.c"}, output ? "a.c" : "", {"gcc", option, "a.c", "-c", "b.c"}};
        EXPECT_EQ(parse({"gcc", option, "a.c", "-c", "b.c"}), expected) << option;
    }
    for (const std::string& other : {"-c", "-O2", "-i", "-X", "-Wl,-x", "-MD", "-d", "-includes"})
        EXPECT_EQ(parse({"gcc", other, "a.c"}).sources, V{"a.c"}) << other;
}

// Each "-x" language by what it does to the tokens after it: C, C++ and assembler make every token
// a source, headers and unknown languages none, and "none" goes back to the extensions.
TEST(Parse, EveryLanguageOfDashX) {
    using V = std::vector<std::string>;
    V both = {"foo.i", "a.c"};
    struct Case { std::string language; V sources; } cases[] = {
        {"c", both}, {"cpp-output", both}, {"c++", both}, {"c++-cpp-output", both}, {"c++-system-module", both},
        {"assembler", both}, {"assembler-with-cpp", both}, {"c-header", {}}, {"c++-header", {}},
        {"c++-system-header", {}}, {"c++-user-header", {}}, {"go", {}}, {"", {}}, {"C", {}}, {"cpp", {}},
        {"none", {"a.c"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse({"gcc", "-x", c.language, "-c", "foo.i", "a.c"}).sources, c.sources) << c.language;
        // "--language=" alone takes the next token, "-c", as an ordinary value.
        EXPECT_EQ(parse({"gcc", "--language=" + c.language, "-c", "foo.i", "a.c"}).sources,
                  c.language.empty() ? V{"a.c"} : c.sources) << c.language;
    }
}

TEST(Parse, NotGccStyleIsEmpty) {
    Arena a = arena_over(block, sizeof block);
    CompilerInvocation inv = {COMPILER_MSVC, "cl"_s, list_of(&a, {"cl", "/c", "x.c"})};
    ParsedCommand c = parse_compiler_command(&inv, &a);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.args.count, 0);
    EXPECT_EQ(c.sources.count, 0);
}

// Arguments of every entry the tokens give, by file.
std::vector<std::pair<std::string, std::vector<std::string>>> entries(const std::vector<std::string>& tokens) {
    Arena a = arena_over(block, sizeof block);
    CompilerInvocation inv = {COMPILER_GCC, "gcc"_s, list_of(&a, tokens)};
    ParsedCommand c = parse_compiler_command(&inv, &a);
    CommandChain chain = {};
    build_command_objects(&c, "/d"_s, &a, &chain);
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    for (CommandObject* o = chain.first; o; o = o->next) out.push_back({string_of(o->file), strings(o->arguments)});
    return out;
}

TEST(Objects, SiblingSourcesAreRemovedByIdentity) {
    using E = std::vector<std::pair<std::string, std::vector<std::string>>>;
    struct Case { std::vector<std::string> tokens; E expected; } cases[] = {
        {{"gcc", "-c", "a.c"}, {{"a.c", {"gcc", "-c", "a.c"}}}},
        {{"gcc", "-c", "a.c", "a.c"}, {{"a.c", {"gcc", "-c", "a.c"}}, {"a.c", {"gcc", "-c", "a.c"}}}},
        {{"gcc", "-include", "b.c", "-c", "a.c", "b.c"},
         {{"a.c", {"gcc", "-include", "b.c", "-c", "a.c"}}, {"b.c", {"gcc", "-include", "b.c", "-c", "b.c"}}}},
        {{"gcc", "-x", "c", "", "a"}, {{"", {"gcc", "-x", "c"}}, {"a", {"gcc", "-x", "c", "a"}}}},
        {{"gcc", "-x", "c", "a", "", "b"},
         {{"a", {"gcc", "-x", "c", "a"}}, {"", {"gcc", "-x", "c"}}, {"b", {"gcc", "-x", "c", "b"}}}},
        {{"gcc", "a.c", "-o", "b.c", "b.c", "-Ib", "c.c"},
         {{"a.c", {"gcc", "a.c", "-o", "b.c", "-Ib"}}, {"b.c", {"gcc", "-o", "b.c", "b.c", "-Ib"}},
          {"c.c", {"gcc", "-o", "b.c", "-Ib", "c.c"}}}},
    };
    for (const Case& c : cases) EXPECT_EQ(entries(c.tokens), c.expected) << testing::PrintToString(c.tokens);
}

struct Outcome {
    std::string out, err;
};

Outcome run(const std::string& input, bool verbose, const std::string& cwd = "/src/app") {
    fake_reset();
    if (verbose) fake.args.push_back("-v");
    fake.cwd = cwd;
    fake.streams[STD_INPUT].bytes = input;
    EXPECT_EQ(fake_run(), 0);
    return {fake.streams[STD_OUTPUT].bytes, fake.streams[STD_ERROR].bytes};
}

const std::string worked_document =
    "[\n"
    "    {\n"
    "        \"directory\": \"/src/app\",\n"
    "        \"file\": \"main.c\",\n"
    "        \"output\": \"main\",\n"
    "        \"arguments\": [\n"
    "            \"gcc\",\n"
    "            \"-o\",\n"
    "            \"main\",\n"
    "            \"main.c\"\n"
    "        ]\n"
    "    },\n"
    "    {\n"
    "        \"directory\": \"/src/app\",\n"
    "        \"file\": \"util.c\",\n"
    "        \"output\": \"main\",\n"
    "        \"arguments\": [\n"
    "            \"gcc\",\n"
    "            \"-o\",\n"
    "            \"main\",\n"
    "            \"util.c\"\n"
    "        ]\n"
    "    }\n"
    "]\n";

TEST(Entries, WorkedExample) {
    Outcome r = run("gcc -o main main.c util.c\n", true);
    EXPECT_EQ(r.out, worked_document);
    EXPECT_NE(r.err.find(
        "Parsed compiler command:\n    ok = true\n    source = [\n        \"main.c\",\n        \"util.c\"\n    ]\n"
        "    output = \"main\"\n    args = [\n        \"gcc\",\n        \"-o\",\n        \"main\",\n"
        "        \"main.c\",\n        \"util.c\"\n    ]\n"), std::string::npos);
    EXPECT_NE(r.err.find(
        "Produced command objects:\n    ok = true\n    directory = \"/src/app\"\n    file = \"main.c\"\n"
        "    output = \"main\"\n    args = [\n        \"gcc\",\n        \"-o\",\n        \"main\",\n"
        "        \"main.c\"\n    ]\n    \n    ok = true\n    directory = \"/src/app\"\n    file = \"util.c\"\n"
        "    output = \"main\"\n    args = [\n        \"gcc\",\n        \"-o\",\n        \"main\",\n"
        "        \"util.c\"\n    ]\n    \n-> +2 command objects (total = 2)\n"), std::string::npos) << r.err;
}

TEST(Entries, CommasJoinEntriesAcrossCommandsAndLines) {
    Outcome r = run("gcc -c a.c && gcc -c b.c\nls\ngcc -c \"c d.c\" -o 'q\"\\\\'\n", true);
    EXPECT_NE(r.err.find("-> +2 command objects (total = 2)\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-> +1 command objects (total = 3)\n"), std::string::npos) << r.err;
    EXPECT_TRUE(r.err.ends_with("\nTotal command objects: 3\nferrule is done.\n")) << r.err;
    EXPECT_EQ(r.out,
              "[\n    {\n        \"directory\": \"/src/app\",\n        \"file\": \"a.c\",\n"
              "        \"arguments\": [\n            \"gcc\",\n            \"-c\",\n            \"a.c\"\n        ]\n    },\n"
              "    {\n        \"directory\": \"/src/app\",\n        \"file\": \"b.c\",\n"
              "        \"arguments\": [\n            \"gcc\",\n            \"-c\",\n            \"b.c\"\n        ]\n    },\n"
              "    {\n        \"directory\": \"/src/app\",\n        \"file\": \"c d.c\",\n"
              "        \"output\": \"q\\\"\\\\\\\\\",\n"
              "        \"arguments\": [\n            \"gcc\",\n            \"-c\",\n            \"c d.c\",\n"
              "            \"-o\",\n            \"q\\\"\\\\\\\\\"\n        ]\n    }\n]\n");
}

}  // namespace
