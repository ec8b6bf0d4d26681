// The platform operations on Windows, called straight from KERNEL32 and SHELL32 with no C runtime.
#include "core/fail.h"
#include "core/utf16.h"
#include "core/platform.h"
#include "platform/windows/pipe_errors.h"
#include "platform/windows/win32.h"

void* platform_reserve(i64 size) { return VirtualAlloc(nullptr, (size_t)size, MEM_RESERVE, PAGE_READWRITE); }

i32 platform_commit(void* start, i64 size) {
    return VirtualAlloc(start, (size_t)size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

OsHandle platform_std_handle(i32 which) {
    DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    return GetStdHandle(ids[which]);
}

i32 platform_is_console(OsHandle handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) ? 1 : 0;
}

i64 platform_read(OsHandle handle, void* buffer, i64 capacity) {
    DWORD n = 0;
    if (ReadFile(handle, buffer, (DWORD)capacity, &n, nullptr)) return (i64)n;
    return windows_failed_read((u32)GetLastError());
}

i32 platform_write(OsHandle handle, const char* bytes, i32 count, i32* written) {
    DWORD n = 0;
    BOOL ok = WriteFile(handle, bytes, (DWORD)count, &n, nullptr);
    *written = (i32)n;
    return ok ? 1 : 0;
}

i32 platform_write_console(OsHandle handle, const u16* units, i32 count, i32* written) {
    DWORD n = 0;
    BOOL ok = WriteConsoleW(handle, units, (DWORD)count, &n, nullptr);
    *written = (i32)n;
    return ok ? 1 : 0;
}

i32 platform_console_width(OsHandle handle) {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (!GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// A console takes escape sequences only once asked to; blanks work on every one.
const i32 platform_console_erases = 0;

i64 platform_clock_ms() { return (i64)GetTickCount64(); }

i64 platform_last_error() { return (i64)GetLastError(); }

i32 platform_reader_gone(i64 error) { return windows_reader_gone((u32)error); }

// The system's message in its own language, without the period and line end it closes with.
Str platform_error_text(i64 error, Arena* arena) {
    WCHAR units[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, (DWORD)error, 0, units,
                             256, nullptr);
    Str text = str_trim(utf16_to_utf8(arena, (const u16*)units, (i64)n));
    return str_strip_suffix(text, "."_s);
}

const Str platform_program_name = "ferrule.exe"_s;

static i64 units_length(const WCHAR* s) {
    i64 n = 0;
    while (s[n]) n++;
    return n;
}

void platform_load_arguments(Arena* arena, StrList* list) {
    int count = 0;
    WCHAR** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) fail("the command line could not be read"_s);
    for (int i = 0; i < count; i++) {
        if (!args[i]) fail("the command line could not be read"_s);
        const u16* units = (const u16*)args[i];
        list_append(list, arena, utf16_to_utf8(arena, units, units_length(args[i])));
    }
}

Str platform_current_directory(Arena* arena) {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) fail("the current directory could not be read"_s);
    WCHAR* buffer = (WCHAR*)arena_alloc(arena, (i64)needed, 2, 2);
    DWORD cap = needed > 2147483647u ? 2147483647u : needed;
    DWORD length = GetCurrentDirectoryW(cap, buffer);
    if (length != needed - 1) fail("the current directory changed while it was being read"_s);
    return utf16_to_utf8(arena, (const u16*)buffer, (i64)length);
}

// A path as the system takes it: UTF-16, NUL-terminated, in the arena.
static WCHAR* wide_path(Str path, Arena* arena) {
    u16* units = (u16*)arena_take(arena, path.len + 1, 2, 2);
    i64 n = utf8_to_utf16(path, units);
    units[n] = 0;
    return (WCHAR*)units;
}

// Room for one path, for the calls that take no arena.
struct PathRoom {
    char bytes[4 * 32768 + 64];
};

i32 platform_file_exists(Str path) {
    static PathRoom room;
    Arena scratch = arena_over(room.bytes, sizeof room.bytes);
    if (path.len > 32767) return 0;
    return GetFileAttributesW(wide_path(path, &scratch)) != INVALID_FILE_ATTRIBUTES;
}

i32 platform_read_file(Str path, Arena* arena, Str* text) {
    Arena scratch = *arena;
    HANDLE file = CreateFileW(wide_path(path, &scratch), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    char* start = arena_take(arena, 0, 1, 4096);
    *text = Str{0, start};
    for (;;) {
        char* chunk = arena_take(arena, 1 << 16, 1, 1);
        DWORD n = 0;
        BOOL ok = ReadFile(file, chunk, 1 << 16, &n, nullptr);
        arena_rewind(arena, chunk + n);
        if (!ok || n == 0) {
            CloseHandle(file);
            return ok ? 1 : -1;
        }
        text->len += n;
    }
}

// The file a link leads to, as the system names it once it has followed the link: "\\?\C:\..." loses
// its prefix, "\\?\UNC\server\..." becomes "\\server\...".
Str platform_link_target(Str path, Arena* arena) {
    Arena scratch = *arena;
    WCHAR* name = wide_path(path, &scratch);
    DWORD attributes = GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    HANDLE file = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    WCHAR* final_name = (WCHAR*)arena_take(&scratch, 32768, 2, 2);
    DWORD n = GetFinalPathNameByHandleW(file, final_name, 32768, 0);
    CloseHandle(file);
    if (n == 0 || n >= 32768) return path;
    Str target = utf16_to_utf8(arena, (const u16*)final_name, (i64)n);
    if (str_starts_with(target, "\\\\?\\UNC\\"_s)) {
        char* bytes = (char*)target.data + 6;
        bytes[0] = '\\';
        return Str{target.len - 6, bytes};
    }
    return str_starts_with(target, "\\\\?\\"_s) ? str_skip(target, 4) : target;
}

// The new file can be deleted while it is open, as a stop does.
OsHandle platform_create_file(Str path, Str) {
    static PathRoom room;
    Arena scratch = arena_over(room.bytes, sizeof room.bytes);
    if (path.len > 32767) return nullptr;
    HANDLE file = CreateFileW(wide_path(path, &scratch), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

i32 platform_close_file(OsHandle file, i32 flush) {
    i32 ok = !flush || FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

i32 platform_replace_file(Str from, Str to) {
    static PathRoom room;
    Arena scratch = arena_over(room.bytes, sizeof room.bytes);
    if (from.len > 32767 || to.len > 32767) return 0;
    WCHAR* source = wide_path(from, &scratch);
    return MoveFileExW(source, wide_path(to, &scratch), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void platform_remove_file(Str path) {
    static PathRoom room;
    Arena scratch = arena_over(room.bytes, sizeof room.bytes);
    if (path.len <= 32767) DeleteFileW(wide_path(path, &scratch));
}

static WCHAR stop_paths[STOP_SLOTS][32768];  // what a stop removes, in the system's form
static WCHAR stop_note[STOP_NOTE_BYTES];      // what a stop writes to the console first
static volatile long stop_note_len;           // units of stop_note to write; 0 for none

// Ctrl-C, Ctrl-Break or the console's closing: the note goes to the console, the new files go, and
// the program ends as a program that Ctrl-C stops does.
static BOOL WINAPI on_stop(DWORD) {
    DWORD written = 0;
    if (stop_note_len > 0) WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), stop_note, (DWORD)stop_note_len, &written, nullptr);
    for (WCHAR* path : stop_paths)
        if (path[0]) DeleteFileW(path);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

static void catch_stops() {
    static i32 catching;
    if (!catching) catching = SetConsoleCtrlHandler(on_stop, 1);
}

void platform_remove_when_stopped(i32 slot, Str path) {
    catch_stops();
    stop_paths[slot][0] = 0;
    if (path.len == 0 || path.len > 32767) return;
    static u16 units[32768];
    i64 n = utf8_to_utf16(path, units);
    if (n > 32767) return;
    for (i64 i = n - 1; i >= 0; i--) stop_paths[slot][i] = units[i];
    stop_paths[slot][n] = 0;
}

void platform_write_when_stopped(Str text) {
    catch_stops();
    stop_note_len = 0;
    if (text.len > STOP_NOTE_BYTES) return;
    for (i64 i = 0; i < text.len; i++) stop_note[i] = (WCHAR)str_at(text, i);
    stop_note_len = (long)text.len;
}

static HANDLE running_command;  // the process started, until it is waited for

// Whether a program's name ends with the extension (".bat"), in any case.
static i32 has_extension(const WCHAR* name, DWORD length, const char* extension) {
    DWORD n = (DWORD)__builtin_strlen(extension);
    if (length < n) return 0;
    for (DWORD i = 0; i < n; i++) {
        WCHAR c = name[length - n + i];
        if (c >= 'A' && c <= 'Z') c += 32;
        if (c != (WCHAR)extension[i]) return 0;
    }
    return 1;
}

// The program a command's first word names, found as cmd finds it: the word itself when it has an
// extension (SearchPathW adds one only to a name without), else with the first of .com, .exe, .bat
// and .cmd that exists; in the arena, or null.
static WCHAR* find_program(Str word, Arena* arena, DWORD* length) {
    WCHAR* name = wide_path(word, arena);
    WCHAR* found = (WCHAR*)arena_take(arena, 32768, 2, 2);
    static const WCHAR* const extensions[] = {L".com", L".exe", L".bat", L".cmd"};
    for (const WCHAR* extension : extensions) {
        *length = SearchPathW(nullptr, name, extension, 32768, found, nullptr);
        if (*length > 0 && *length < 32768) return found;
    }
    return nullptr;
}

// Appends one argument, quoted so that CommandLineToArgvW gives it back unchanged: backslashes
// are doubled only before a quote and before the closing quote, and a quote is escaped.
static i64 append_quoted(u16* line, i64 n, Str arg, i32 first) {
    static u16 units[32768];
    if (arg.len > 32767) return -1;
    i64 count = utf8_to_utf16(arg, units);
    i32 plain = count > 0;
    for (i64 i = 0; i < count; i++)
        if (units[i] == ' ' || units[i] == '\t' || units[i] == '\n' || units[i] == '\v' || units[i] == '"') plain = 0;
    if (n > 0) line[n++] = ' ';
    if (plain || first) {
        // The program's name is read to its closing quote, without escapes, and holds no quote.
        if (!plain) line[n++] = '"';
        for (i64 i = 0; i < count; i++) line[n++] = units[i];
        if (!plain) line[n++] = '"';
        return n;
    }
    line[n++] = '"';
    for (i64 i = 0; i <= count; i++) {
        i64 backslashes = 0;
        while (i < count && units[i] == '\\') backslashes++, i++;
        if (i == count) {
            for (i64 k = 0; k < 2 * backslashes; k++) line[n++] = '\\';
            break;
        }
        if (units[i] == '"') {
            for (i64 k = 0; k < 2 * backslashes + 1; k++) line[n++] = '\\';
        } else {
            for (i64 k = 0; k < backslashes; k++) line[n++] = '\\';
        }
        line[n++] = units[i];
    }
    line[n++] = '"';
    return n;
}

// An inheritable copy of one of the program's standard handles, for the command; null for none.
static HANDLE inheritable(DWORD which) {
    HANDLE handle = GetStdHandle(which), copy = nullptr;
    if (!handle || handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, 1, DUPLICATE_SAME_ACCESS)) return nullptr;
    return copy;
}

OsHandle platform_start_command(const StrNode* words, Arena* arena, i32* found, OsHandle* errors) {
    DWORD length = 0;
    WCHAR* program = find_program(words->value, arena, &length);
    *found = program != nullptr;
    if (!program) return nullptr;
    // A batch file runs in cmd, which reads the whole line after /c, its outer quotes taken off by /s.
    i32 batch = has_extension(program, length, ".bat") || has_extension(program, length, ".cmd");
    i64 room = 64;
    for (const StrNode* w = words; w; w = w->next) room += 2 * w->value.len + 3;
    u16* line = (u16*)arena_take(arena, room, 2, 2);
    i64 n = 0;
    if (batch) {
        for (const char* p = "cmd.exe /d /s /c \""; *p; p++) line[n++] = (u16)*p;
    }
    i64 start = n;
    for (const StrNode* w = words; w && n >= 0; w = w->next) {
        n = append_quoted(line + start, n - start, w->value, w == words);
        if (n >= 0) n += start;
    }
    if (n < 0) return nullptr;
    if (batch) line[n++] = '"';
    line[n] = 0;
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, 1};
    HANDLE read_end = nullptr, write_end = nullptr, error_read = nullptr, error_write = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return nullptr;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    if (errors && !CreatePipe(&error_read, &error_write, &inherit, 0)) {
        CloseHandle(read_end);
        CloseHandle(write_end);
        return nullptr;
    }
    if (errors) SetHandleInformation(error_read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritable(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = errors ? error_write : inheritable(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessW(batch ? nullptr : program, (WCHAR*)line, nullptr, nullptr, 1, 0, nullptr, nullptr,
                                  &startup, &info);
    DWORD error = GetLastError();
    CloseHandle(write_end);
    if (startup.hStdInput) CloseHandle(startup.hStdInput);
    if (startup.hStdError) CloseHandle(startup.hStdError);
    if (!started) {
        CloseHandle(read_end);
        if (errors) CloseHandle(error_read);
        SetLastError(error);
        return nullptr;
    }
    if (errors) *errors = error_read;
    CloseHandle(info.hThread);
    running_command = info.hProcess;
    return read_end;
}

// Anonymous pipes cannot be waited on, so they are looked at in turn, with a short sleep while both
// are empty. A pipe whose writer has gone fails the look, and is ready: its read says it ended.
static i32 pipe_ready(HANDLE pipe) {
    DWORD available = 0;
    return !PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available > 0;
}

i32 platform_wait_readable(OsHandle first, OsHandle second) {
    for (;;) {
        i32 ready = pipe_ready(first) | (second && pipe_ready(second) ? 2 : 0);
        if (ready) return ready;
        Sleep(5);
    }
}

i32 platform_wait_command(i32* signal) {
    *signal = 0;
    DWORD code = 127;
    WaitForSingleObject(running_command, INFINITE);
    if (!GetExitCodeProcess(running_command, &code)) code = 127;
    CloseHandle(running_command);
    running_command = nullptr;
    return (i32)code;
}

Str platform_signal_name(i32) { return Str{}; }

[[noreturn]] void platform_exit(i32 status) { ExitProcess((unsigned int)status); }
