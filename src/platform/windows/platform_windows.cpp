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

[[noreturn]] void platform_exit(i32 status) { ExitProcess((unsigned int)status); }
