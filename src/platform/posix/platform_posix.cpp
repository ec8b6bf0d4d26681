// The platform operations in POSIX terms.
#include <errno.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "core/fail.h"
#include "core/utf16.h"
#include "platform/posix/platform_posix.h"
#include "core/platform.h"

static int saved_argc;     // the process arguments, kept by main for platform_load_arguments
static char** saved_argv;

void platform_keep_arguments(int argc, char** argv) {
    saved_argc = argc;
    saved_argv = argv;
}

static int fd_of(OsHandle handle) { return (int)(intptr_t)handle; }

// The space starts on a 2 MiB boundary and asks for transparent huge pages, which kernels that offer
// them on request then use: a first touch maps 2 MiB rather than 4 KiB, so reading a large input
// costs a few hundred page faults rather than thousands. Where they are not offered the request
// does nothing. Inaccessible space costs no memory; the system counts it against its commit limit
// only once it is made writable.
void* platform_reserve(i64 size) {
    const uintptr_t huge = 2 << 20;
    void* p = mmap(nullptr, (size_t)size + huge, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    char* start = (char*)(((uintptr_t)p + huge - 1) & ~(huge - 1));
    madvise(start, (size_t)size, MADV_HUGEPAGE);
    return start;
}

i32 platform_commit(void* start, i64 size) { return mprotect(start, (size_t)size, PROT_READ | PROT_WRITE) == 0; }

OsHandle platform_std_handle(i32 which) { return (OsHandle)(intptr_t)which; }

i32 platform_is_console(OsHandle handle) { return isatty(fd_of(handle)) ? 1 : 0; }

i64 platform_read(OsHandle handle, void* buffer, i64 capacity) {
    for (;;) {
        ssize_t n = read(fd_of(handle), buffer, (size_t)capacity);
        if (n >= 0) return n;
        if (errno != EINTR) return -1;
    }
}

i32 platform_write(OsHandle handle, const char* bytes, i32 count, i32* written) {
    for (;;) {
        ssize_t n = write(fd_of(handle), bytes, (size_t)count);
        if (n >= 0) {
            *written = (i32)n;
            return 1;
        }
        if (errno != EINTR) return 0;
    }
}

i64 platform_last_error() { return errno; }

i32 platform_reader_gone(i64 error) { return error == EPIPE; }

// The C library's English description, which needs no locale data in the static program.
Str platform_error_text(i64 error, Arena* arena) {
    const char* text = strerrordesc_np((int)error);
    if (!text) return Str{};
    return str_clone(arena, Str{(i64)__builtin_strlen(text), text});
}

const Str platform_program_name = "ferrule"_s;

// A terminal takes UTF-8: the staged units (at most CONSOLE_UNITS of them) are decoded
// back, a lone surrogate as U+FFFD, and written whole, or else none count as written.
i32 platform_write_console(OsHandle handle, const u16* units, i32 count, i32* written) {
    char bytes[3 * CONSOLE_UNITS];
    *written = 0;
    if (count > CONSOLE_UNITS) return 0;
    i64 n = utf16_decode(Str{2 * (i64)count, (const char*)units}, UTF16_NATIVE, bytes);
    for (i64 off = 0; off < n;) {
        i32 w = 0;
        if (!platform_write(handle, bytes + off, (i32)(n - off), &w) || w <= 0) return 0;
        off += w;
    }
    *written = count;
    return 1;
}

void platform_load_arguments(Arena* arena, StrList* list) {
    for (int i = 0; i < saved_argc; i++) {
        if (!saved_argv[i]) fail("the command line could not be read"_s);
        Str arg = {(i64)__builtin_strlen(saved_argv[i]), saved_argv[i]};
        list_append(list, arena, arg.len ? str_clone(arena, arg) : Str{});
    }
}

Str platform_current_directory(Arena* arena) {
    i64 capacity = 4096;
    char* buffer = (char*)arena_alloc(arena, capacity, 1, 1);
    if (!getcwd(buffer, (size_t)capacity)) fail("the current directory could not be read"_s);
    Str cwd = {(i64)__builtin_strlen(buffer), buffer};
    arena_rewind(arena, buffer + cwd.len);
    return cwd;
}

[[noreturn]] void platform_exit(i32 status) { _exit(status); }
