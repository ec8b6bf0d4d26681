// A libFuzzer target: the whole program on the fuzzer's bytes, without and with -v, with the fast
// kernels and with the general rules, over the in-memory system. Both sides must give the same
// standard output, standard error and status; the status must be 0, and the document a compilation
// database whose every entry's arguments hold its file. Read in small pieces with a console on
// standard error, so that lines are dispatched as they arrive, the input must give the same again.
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/fast_paths.h"
#include "database/merge.h"
#include "fake_platform.h"

i32 fast_paths = 1;

namespace {

[[noreturn]] void finding(const char* what, const std::string& detail) {
    fprintf(stderr, "ferrule fuzz finding: %s\n%s\n", what, detail.substr(0, 4000).c_str());
    abort();
}

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run_side(const uint8_t* data, size_t size, bool verbose, bool fast, long pieces = 0) {
    fast_paths = fast;
    fake_reset();
    if (verbose) fake.args.push_back("-v");
    fake.streams[STD_INPUT].bytes.assign((const char*)data, size);
    fake.streams[STD_INPUT].chunk_limit = pieces;
    fake.streams[STD_ERROR].is_console = pieces > 0;
    int status = fake_run();
    std::string err = fake.streams[STD_ERROR].bytes;
    for (char16_t u : fake.streams[STD_ERROR].console) err += (char)u;  // the messages are ASCII
    return {status, fake.streams[STD_OUTPUT].bytes, err};
}

// Memory for reading the document back, mapped once; the program's own is the fake system's.
Arena check_arena() {
    static const long size = 1l << 30;
    static char* space = (char*)mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return arena_over(space, size);
}

// Whether the object, in the layout the program writes, lists its "file" among its arguments: the
// file's JSON text stands on an argument line of its own. An empty file (-x with '') is in none.
bool lists_its_file(Str object) {
    std::string text = string_of(object);
    size_t at = text.find("\n        \"file\": ");
    if (at == std::string::npos) return false;
    at += 17;
    std::string value = text.substr(at, text.find(",\n", at) - at);
    if (value == "\"\"") return true;
    size_t args = text.find("\n        \"arguments\": [\n");
    if (args == std::string::npos) return false;
    std::string line = "\n            " + value;
    for (size_t p = text.find(line, args); p != std::string::npos; p = text.find(line, p + 1)) {
        char after = text[p + line.size()];
        if (after == '\n' || (after == ',' && text[p + line.size() + 1] == '\n')) return true;
    }
    return false;
}

void check_document(const std::string& text) {
    Arena arena = check_arena();
    Database database = {};
    DatabaseProblem problem = {};
    if (!database_read(str_of(text), &arena, &database, &problem)) finding("standard output is no database", text);
    for (const DatabaseEntry* e = database.first; e; e = e->next)
        if (!lists_its_file(e->object)) finding("an entry's arguments do not hold its file", string_of(e->object));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool verbose : {false, true}) {
        Outcome fast = run_side(data, size, verbose, true);
        Outcome general = run_side(data, size, verbose, false);
        if (fast.status != 0) finding("the program did not end with status 0", fast.err);
        if (fast.status != general.status || fast.out != general.out || fast.err != general.err)
            finding(verbose ? "the two sides differ with -v" : "the two sides differ", fast.out + "\n---\n" + general.out);
        if (!verbose) check_document(fast.out);
        if (verbose) continue;
        Outcome streamed = run_side(data, size, false, true, 1 + (size > 0 ? data[size - 1] % 61 : 0));
        if (streamed.status != fast.status || streamed.out != fast.out || streamed.err != fast.err)
            finding("the input read in pieces gives another result", fast.out + "\n---\n" + streamed.out);
    }
    // A unit that leaves memory allocated makes the fuzzer look for leaks, which costs a scan of all
    // memory: the fake's streams are given back.
    fake_release();
    return 0;
}
