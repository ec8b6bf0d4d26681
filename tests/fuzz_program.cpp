// A libFuzzer target: the whole program on the fuzzer's bytes, without and with -v, over the
// in-memory system. Every input must end with status 0 and a well-formed database.
#include <cstdio>
#include <cstdlib>

#include "fake_platform.h"
#include "json.h"

namespace {

[[noreturn]] void finding(const char* what, const std::string& detail) {
    fprintf(stderr, "ferrule fuzz finding: %s\n%s\n", what, detail.c_str());
    abort();
}

const Json* member(const Json& object, const char* key, Json::Kind kind) {
    auto it = object.keys.find(key);
    return it != object.keys.end() && it->second.kind == kind ? &it->second : nullptr;
}

// The document is an array of objects with string directory and file, and an array of string
// arguments that holds the file whenever the file is not empty.
void check_document(const std::string& text) {
    bool ok = false;
    Json doc = JsonReader(text).read(&ok);
    if (!ok || doc.kind != Json::ARRAY) finding("standard output is not a JSON array", text);
    for (const Json& entry : doc.items) {
        if (entry.kind != Json::OBJECT) finding("an entry is not an object", text);
        const Json* directory = member(entry, "directory", Json::STRING);
        const Json* file = member(entry, "file", Json::STRING);
        const Json* arguments = member(entry, "arguments", Json::ARRAY);
        if (!directory || !file || !arguments) finding("an entry lacks directory, file or arguments", text);
        bool holds_file = file->text.empty();
        for (const Json& a : arguments->items) {
            if (a.kind != Json::STRING) finding("an argument is not a string", text);
            holds_file |= a.text == file->text;
        }
        if (!holds_file) finding("the arguments do not hold the file", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool verbose : {false, true}) {
        fake_reset();
        if (verbose) fake.args.push_back("-v");
        fake.streams[STD_INPUT].bytes.assign((const char*)data, size);
        int status = fake_run();
        if (status != 0) finding("the program did not end with status 0", fake.streams[STD_ERROR].bytes);
        check_document(fake.streams[STD_OUTPUT].bytes);
    }
    // A unit that leaves memory allocated makes the fuzzer look for leaks, which costs a scan of all
    // memory: the fake's streams are given back.
    fake_release();
    return 0;
}
