// The in-memory platform behind the unit tests.
#include "fake_platform.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#include "core/fail.h"
#include "driver/entry.h"
#include "core/platform.h"

FakeSystem fake;
static std::jmp_buf exit_point;
static bool running = false;
static long last_error = 0;

void fake_reset() { fake = FakeSystem(); }

void fake_release() {
    fake_reset();
    std::vector<std::string>().swap(fake.args);
}

int fake_run() {
    running = true;
    if (setjmp(exit_point) == 0) run_ferrule();
    running = false;
    fail_set_handler(nullptr, nullptr);
    return fake.exit_status;
}

// One block for every run, as large as the most a test lets the program reserve, of which only what
// the program uses is ever touched. It is mapped, not allocated: a leak check (the fuzzer makes them)
// scans every allocated block for pointers, and the program keeps none to allocated memory.
static char* fake_space() {
    static char* space = (char*)mmap(nullptr, FAKE_SPACE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return space;
}

void* platform_reserve(i64 size) {
    if (fake.region_fails || size > fake.reserve_limit) return nullptr;
    return fake_space();
}

i32 platform_commit(void* start, i64 size) { return (char*)start + size <= fake_space() + fake.commit_limit; }

OsHandle platform_std_handle(i32 which) { return &fake.streams[which]; }

i32 platform_is_console(OsHandle handle) { return ((FakeStream*)handle)->is_console; }

// How many of count bytes the stream moves in this call: -1 for a failure.
static long allowed(FakeStream* s, long done, long count) {
    s->calls++;
    if (s->fail_after >= 0 && done >= s->fail_after) {
        last_error = s->error;
        return -1;
    }
    long n = count;
    if (s->chunk_limit > 0 && n > s->chunk_limit) n = s->chunk_limit;
    if (s->fail_after >= 0 && done + n > s->fail_after) n = s->fail_after - done;
    return n;
}

i64 platform_read(OsHandle handle, void* buffer, i64 capacity) {
    FakeStream* s = (FakeStream*)handle;
    fake.clock_ms += fake.read_ms;
    long left = (long)s->bytes.size() - s->pos;
    long n = allowed(s, s->pos, capacity < left ? (long)capacity : left);
    if (n < 0) return -1;
    std::memcpy(buffer, s->bytes.data() + s->pos, (size_t)n);
    s->pos += n;
    return n;
}

i32 platform_write(OsHandle handle, const char* bytes, i32 count, i32* written) {
    FakeStream* s = (FakeStream*)handle;
    long n = allowed(s, (long)s->bytes.size(), count);
    if (n < 0) return 0;
    s->bytes.append(bytes, (size_t)n);
    *written = (i32)n;
    return 1;
}

i32 platform_write_console(OsHandle handle, const u16* units, i32 count, i32* written) {
    FakeStream* s = (FakeStream*)handle;
    long n = allowed(s, (long)s->console.size(), count);
    if (n < 0) return 0;
    s->console.append((const char16_t*)units, (size_t)n);
    *written = (i32)n;
    return 1;
}

i64 platform_last_error() { return last_error; }

i32 platform_reader_gone(i64 error) { return error == 32; }

Str platform_error_text(i64 error, Arena* arena) {
    if (error == 5) return str_clone(arena, "Input/output error"_s);
    return error == 28 ? str_clone(arena, "No space left on device"_s) : Str{};
}

const Str platform_program_name = "ferrule"_s;

i32 platform_console_width(OsHandle) { return fake.console_width; }

const i32 platform_console_erases = 1;

i64 platform_clock_ms() { return fake.clock_ms; }

void platform_write_when_stopped(Str text) {
    fake.stop_note = string_of(text);
    fake.stop_notes.push_back(fake.stop_note);
}

void platform_load_arguments(Arena* arena, StrList* list) {
    for (const std::string& arg : fake.args)
        list_append(list, arena, arg.empty() ? Str{} : str_clone(arena, str_of(arg)));
}

Str platform_current_directory(Arena* arena) {
    if (fake.cwd_fails) fail("the current directory could not be read"_s);
    return str_clone(arena, str_of(fake.cwd));
}

[[noreturn]] void platform_exit(i32 status) {
    fake.exit_status = status;
    if (running) std::longjmp(exit_point, 1);
    // Outside a run (a stop in a unit test) what was said reaches the real standard error.
    fputs(fake.streams[STD_ERROR].bytes.c_str(), stderr);
    std::_Exit(status);
}

static std::string path_of(Str path) { return string_of(path); }

i32 platform_file_exists(Str path) { return fake.files.count(path_of(path)) > 0; }

i32 platform_read_file(Str path, Arena* arena, Str* text) {
    auto open = fake.open_files.find(path_of(path));
    auto it = fake.files.find(path_of(path));
    if (it == fake.files.end()) return 0;
    char* start = arena_take(arena, 0, 1, 4096);
    *text = str_clone(arena, str_of(open != fake.open_files.end() ? open->second.bytes : it->second));
    if (text->len == 0) *text = Str{0, start};
    return 1;
}

Str platform_link_target(Str path, Arena*) { return path; }

OsHandle platform_create_file(Str path, Str) {
    if (fake.create_fails || fake.files.count(path_of(path))) {
        last_error = 28;
        return nullptr;
    }
    fake.files[path_of(path)] = "";
    FakeStream* stream = &fake.open_files[path_of(path)];
    *stream = FakeStream();
    return stream;
}

i32 platform_close_file(OsHandle file, i32 flush) {
    for (auto it = fake.open_files.begin(); it != fake.open_files.end(); ++it) {
        if (&it->second != file) continue;
        fake.files[it->first] = it->second.bytes;
        fake.open_files.erase(it);
        break;
    }
    if (flush && fake.close_fails) {
        last_error = 5;
        return 0;
    }
    return 1;
}

i32 platform_replace_file(Str from, Str to) {
    auto it = fake.files.find(path_of(from));
    if (it == fake.files.end()) return 0;
    fake.files[path_of(to)] = it->second;
    fake.files.erase(path_of(from));
    return 1;
}

void platform_remove_file(Str path) { fake.files.erase(path_of(path)); }

void platform_remove_when_stopped(i32, Str) {}

OsHandle platform_start_command(const StrNode* words, Arena*, i32* found, OsHandle* errors) {
    fake.command.clear();
    for (const StrNode* w = words; w; w = w->next) fake.command.push_back(string_of(w->value));
    *found = !fake.command_missing;
    if (fake.command_missing) {
        last_error = 2;
        return nullptr;
    }
    long chunk_limit = fake.command_stream.chunk_limit;
    fake.command_stream = FakeStream();
    fake.command_stream.bytes = fake.command_output;
    fake.command_stream.chunk_limit = chunk_limit;
    fake.command_errors_asked = errors != nullptr;
    if (errors) {
        chunk_limit = fake.command_errors.chunk_limit;
        fake.command_errors = FakeStream();
        fake.command_errors.bytes = fake.command_error_output;
        fake.command_errors.chunk_limit = chunk_limit;
        *errors = &fake.command_errors;
    }
    return &fake.command_stream;
}

// Both pipes always have something to read, or have ended: the program takes turns.
i32 platform_wait_readable(OsHandle, OsHandle second) { return second ? 3 : 1; }

i32 platform_wait_command(i32* signal) {
    *signal = 0;
    return fake.command_status;
}

Str platform_signal_name(i32) { return Str{}; }
