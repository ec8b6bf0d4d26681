// The whole promise with real tools: a small multi-directory project's real `make -Bwn` output goes
// through the program, and the database must satisfy make, clangd, clang-tidy and the compilers.
#include <iostream>
#include <map>
#include <set>

#include "e2e_support.h"

namespace {

bool have(const std::string& tool) { return shell("command -v " + tool + " > /dev/null") == 0; }

// The project: a top Makefile recursing two ways, quoted defines, -I paths, an assembler file, a
// "-x c" file with an odd extension, a command with two sources, and a launcher when one exists.
struct Project {
    std::string root;
    std::vector<std::string> sources;  // relative to root

    explicit Project(const std::string& dir) : root(dir) {
        bool ccache = have("ccache");
        shell("mkdir -p " + root + "/lib " + root + "/app " + root + "/include");
        write_file(root + "/Makefile", "all:\n\t$(MAKE) -C lib\n\tcd app && $(MAKE)\n");
        write_file(root + "/include/config.h", "#define GREETING \"hi\"\n");
        write_file(root + "/lib/util.h", "#ifdef __cplusplus\nextern \"C\"\n#endif\nconst char* util_name(void);\n");
        write_file(root + "/lib/util.c",
                   "#include \"config.h\"\n#include \"util.h\"\nconst char* util_name(void) { return NAME GREETING; }\n");
        write_file(root + "/lib/start.S", "#ifndef ASM_FLAG\n#error ASM_FLAG missing\n#endif\n"
                                          "\t.text\n\t.globl start_marker\nstart_marker:\n\tret\n");
        write_file(root + "/lib/table.def", "#include \"config.h\"\nconst char* table[] = {GREETING};\n");
        write_file(root + "/lib/Makefile",
                   "CFLAGS = -O2 -Wall -I../include '-DNAME=\"x y\"'\n"
                   "all: util.o start.o table.o\n"
                   "util.o: util.c\n\tgcc $(CFLAGS) -c util.c -o util.o\n"
                   "start.o: start.S\n\tgcc -DASM_FLAG -c start.S -ostart.o\n"
                   "table.o: table.def\n\tgcc -I ../include -x c -c table.def -o table.o\n");
        write_file(root + "/app/main.cpp", "#include <string>\n#include \"config.h\"\n#include \"util.h\"\n"
                                           "int main() { return std::string(util_name()).empty(); }\n");
        write_file(root + "/app/helper.c", "#include \"util.h\"\nint helper(void) { return util_name()[0]; }\n");
        write_file(root + "/app/extra.c", "#include \"config.h\"\nconst char* extra(void) { return GREETING; }\n");
        write_file(root + "/app/cached.c", "#include \"config.h\"\nconst char* cached(void) { return GREETING; }\n");
        std::string app = "all: main.o parts" + std::string(ccache ? " cached.o" : "") + "\n"
                          "main.o: main.cpp\n\tg++ -std=c++17 -I../lib -I../include -c main.cpp -o main.o\n"
                          "parts:\n\tgcc -I../lib -I../include -c helper.c extra.c\n";
        if (ccache) app += "cached.o: cached.c\n\tccache gcc -I../include -c cached.c -o cached.o\n";
        write_file(root + "/app/Makefile", app);
        sources = {"lib/util.c", "lib/start.S", "lib/table.def", "app/main.cpp", "app/helper.c", "app/extra.c"};
        if (ccache) sources.push_back("app/cached.c");
    }
};

std::string absolute(const Entry& e) { return e.file[0] == '/' ? e.file : e.directory + "/" + e.file; }

// Each check returns what it found wrong, so that a broken database can show it is caught.
std::vector<std::string> check_entries(const Project& p, const std::vector<Entry>& entries) {
    std::vector<std::string> faults;
    std::multiset<std::string> files;
    for (const Entry& e : entries) {
        if (e.directory.empty() || e.directory[0] != '/') faults.push_back("relative directory " + e.directory);
        files.insert(absolute(e));
    }
    for (const std::string& s : p.sources)
        if (files.count(p.root + "/" + s) != 1) faults.push_back(s + " has " + std::to_string(files.count(p.root + "/" + s)) + " entries");
    if (files.size() != p.sources.size()) faults.push_back("entries for files outside the project");
    return faults;
}

std::vector<std::string> check_clangd(const Project& p, const std::string& db_dir) {
    std::vector<std::string> faults;
    for (const std::string& s : p.sources) {
        if (s.ends_with(".S")) continue;  // clangd reads no assembler
        std::string log = scratch_dir() + "clangd.log";
        int rc = shell("clangd --check=" + quote(p.root + "/" + s) + " --compile-commands-dir=" + quote(db_dir) +
                       " > " + log + " 2>&1");
        std::string text = read_file(log);
        if (rc != 0 || text.find("Compile command from CDB is:") == std::string::npos ||
            text.find("All checks completed, 0 errors") == std::string::npos)
            faults.push_back("clangd on " + s + ":\n" + text.substr(text.size() > 3000 ? text.size() - 3000 : 0));
    }
    return faults;
}

std::vector<std::string> check_clang_tidy(const Project& p, const std::string& db_dir) {
    std::vector<std::string> faults;
    for (const std::string& s : p.sources) {
        if (s.ends_with(".S")) continue;
        std::string log = scratch_dir() + "tidy.log";
        int rc = shell("clang-tidy -p " + quote(db_dir) + " " + quote(p.root + "/" + s) +
                       " '--checks=-*,clang-analyzer-*' > " + log + " 2>&1");
        std::string text = read_file(log);
        if (rc != 0 || text.find("Error while trying to load a compilation database") != std::string::npos ||
            text.find("error:") != std::string::npos)
            faults.push_back("clang-tidy on " + s + ":\n" + text);
    }
    return faults;
}

// Compiles every entry again with exactly its arguments, in its directory.
std::vector<std::string> check_recompile(const std::vector<Entry>& entries) {
    std::vector<std::string> faults;
    for (const Entry& e : entries) {
        std::string command = "cd " + quote(e.directory) + " &&";
        if (!e.output.empty()) command += " rm -f " + quote(e.output) + " &&";
        for (const std::string& a : e.arguments) command += " " + quote(a);
        if (!e.output.empty()) command += " && test -f " + quote(e.output);
        if (shell("(" + command + ") > /dev/null 2>&1") != 0) faults.push_back("recompiling " + e.file + " failed: " + command);
    }
    return faults;
}

struct ProjectFixture : testing::Test {
    static void SetUpTestSuite() {
        for (const char* tool : {"make", "gcc", "g++", "clangd", "clang-tidy"})
            ASSERT_TRUE(have(tool)) << tool << " is needed and missing";
    }
    Project project{scratch_dir() + "project"};
    std::string db_dir = project.root;
    std::vector<Entry> entries;
    std::string document;  // what the program made of make's output through a pipe

    void SetUp() override {
        std::string log = scratch_dir() + "make.log";
        ASSERT_EQ(shell("cd " + quote(project.root) + " && make -Bwn > " + log + " 2>&1"), 0) << read_file(log);
        Result r = run({}, read_file(log));
        ASSERT_EQ(r.status, 0) << r.err;
        write_file(db_dir + "/compile_commands.json", r.out);
        document = r.out;
        entries = parse_document(r.out);
    }

    // Writes a copy of the database with one change, for showing that the checks catch it.
    std::string broken_copy(const std::vector<Entry>& changed) {
        std::string dir = scratch_dir() + "broken";
        shell("mkdir -p " + dir);
        std::string doc = "[";
        for (const Entry& e : changed) {
            doc += std::string(doc.size() > 1 ? "," : "") + "{\"directory\":\"" + e.directory + "\",\"file\":\"" + e.file + "\",\"arguments\":[";
            for (size_t i = 0; i < e.arguments.size(); i++) {
                std::string a;
                for (char c : e.arguments[i]) a += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
                doc += (i ? ",\"" : "\"") + a + "\"";
            }
            doc += "]}";
        }
        write_file(dir + "/compile_commands.json", doc + "]");
        return dir;
    }
};

TEST_F(ProjectFixture, EveryCheckPasses) {
    for (const auto& faults : {check_entries(project, entries), check_clangd(project, db_dir),
                               check_clang_tidy(project, db_dir), check_recompile(entries)})
        for (const std::string& fault : faults) ADD_FAILURE() << fault;
}

// The program runs make itself and reads its output as it would read the pipe's.
TEST_F(ProjectFixture, RunningMakeGivesThePipesDocument) {
    if (!env("FERRULE_RUNNER").empty()) GTEST_SKIP() << "the runner's program cannot start this system's make";
    std::string err = scratch_dir() + "run.err";
    ASSERT_EQ(shell("cd " + quote(project.root) + " && " + program_command({"-o", "run.json", "--", "make", "-Bwn"}) +
                    " 2> " + err + " < /dev/null"), 0) << read_file(err);
    EXPECT_TRUE(read_file(project.root + "/run.json") == document);
    EXPECT_EQ(read_file(err), "ferrule: run.json now holds " + std::to_string(entries.size()) + " entries\n");
}

TEST_F(ProjectFixture, EveryCheckCatchesABrokenEntry) {
    std::vector<Entry> changed = entries;
    for (Entry& e : changed) {
        if (e.file != "util.c") continue;
        std::erase(e.arguments, "-I../include");
        e.directory = "lib";
    }
    EXPECT_FALSE(check_entries(project, changed).empty());
    for (Entry& e : changed)
        if (e.directory == "lib") e.directory = project.root + "/lib";
    std::string dir = broken_copy(changed);
    EXPECT_FALSE(check_clangd(project, dir).empty());
    EXPECT_FALSE(check_clang_tidy(project, dir).empty());
    EXPECT_FALSE(check_recompile(changed).empty());
}

// CMake's Makefiles compile each target in its own build directory with `cd DIR && cc ...`; every
// entry of its dry run must name the directory that CMake's own database gives for that file. -k goes
// past the links, which need libraries that a dry run never builds.
TEST(CMakeProject, EveryEntryRunsWhereCMakesDatabaseSays) {
    ASSERT_TRUE(have("cmake")) << "cmake is needed and missing";
    std::string root = scratch_dir() + "cmake";
    shell("mkdir -p " + root + "/src " + root + "/tests/unit " + root + "/include");
    write_file(root + "/CMakeLists.txt", "cmake_minimum_required(VERSION 3.13)\nproject(demo C)\ninclude_directories(include)\n"
                                         "add_subdirectory(src)\nadd_subdirectory(tests/unit)\nadd_executable(top top.c)\n");
    write_file(root + "/src/CMakeLists.txt", "add_library(core STATIC core.c util.c)\n"
                                             "target_compile_definitions(core PRIVATE \"GREETING=\\\"hi there\\\"\")\n");
    write_file(root + "/tests/unit/CMakeLists.txt", "add_executable(t t.c)\ntarget_link_libraries(t core)\n");
    write_file(root + "/include/demo.h", "#define DEMO 1\n");
    for (std::string file : {"src/core.c", "src/util.c", "tests/unit/t.c", "top.c"})
        write_file(root + "/" + file, "#include \"demo.h\"\nint main(void) { return DEMO; }\n");
    std::string log = scratch_dir() + "cmake.log";
    ASSERT_EQ(shell("cmake -S " + quote(root) + " -B " + quote(root + "/build") + " -G 'Unix Makefiles' "
                    "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON > " + log + " 2>&1"), 0) << read_file(log);
    shell("cd " + quote(root + "/build") + " && make -Bwnk > " + log + " 2>&1");
    Result r = run({}, read_file(log));
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> directories;
    for (const Entry& e : parse_document(r.out)) directories[e.file] = e.directory;
    bool ok = false;
    Json truth = JsonReader(read_file(root + "/build/compile_commands.json")).read(&ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(truth.items.size(), 4u);
    for (const Json& o : truth.items)
        EXPECT_EQ(directories[o.keys.at("file").text], o.keys.at("directory").text) << o.keys.at("file").text;
}

// A top Makefile that runs four sub-makes of 40 files each: under make -j their directory lines
// interleave. Whenever an entry names the wrong directory the program must have said so; with one job
// or with the output synchronised, entries are right and nothing is said.
TEST(ParallelMake, InterleavedDirectoryLinesAreSaid) {
    std::string root = scratch_dir() + "parallel";
    std::string top = "all: a b c d\n.PHONY: all a b c d\na b c d:\n\t$(MAKE) -C $@\n";
    shell("mkdir -p " + root);
    write_file(root + "/Makefile", top);
    for (std::string dir : {"a", "b", "c", "d"}) {
        std::string objects;
        for (int i = 0; i < 40; i++) {
            std::string name = dir + std::to_string(i);
            objects += " " + name + ".o";
            shell("mkdir -p " + root + "/" + dir + " && touch " + root + "/" + dir + "/" + name + ".c");
        }
        write_file(root + "/" + dir + "/Makefile", "all:" + objects + "\n%.o: %.c\n\tgcc -c $< -o $@\n");
    }
    std::string said = "ferrule: makes running in parallel wrote interleaved directory lines; entries may name the wrong "
                       "directory (run make with -j1 or --output-sync)\n";
    struct Case { std::string flags; int runs; bool may_interleave; } cases[] = {
        {"-j8", 8, true}, {"-j1", 2, false}, {"-j8 -Orecurse", 4, false}, {"-j8 -Otarget", 4, false},
    };
    int interleaved = 0;
    for (const Case& c : cases) {
        for (int run_index = 0; run_index < c.runs; run_index++) {
            std::string log = scratch_dir() + "parallel.log";
            ASSERT_EQ(shell("cd " + root + " && MAKEFLAGS= make " + c.flags + " -Bwn > " + log + " 2>&1"), 0);
            Result r = run({}, read_file(log));
            ASSERT_EQ(r.status, 0);
            std::vector<Entry> entries = parse_document(r.out);
            EXPECT_EQ(entries.size(), 160u);
            int wrong = 0;
            for (const Entry& e : entries) wrong += e.directory != root + "/" + e.file.substr(0, 1);
            if (wrong > 0 || !c.may_interleave) EXPECT_EQ(r.err, wrong > 0 ? said : "") << c.flags << ": " << wrong << " wrong";
            interleaved += r.err == said;
        }
    }
    std::cout << interleaved << " of 8 runs with -j8 interleaved\n";
}

}  // namespace
