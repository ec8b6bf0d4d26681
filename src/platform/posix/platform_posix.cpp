// The platform operations in POSIX terms.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
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

i32 platform_console_width(OsHandle handle) {
    struct winsize size = {};
    return ioctl(fd_of(handle), TIOCGWINSZ, &size) == 0 ? (i32)size.ws_col : 0;
}

const i32 platform_console_erases = 1;

i64 platform_clock_ms() {
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (i64)now.tv_sec * 1000 + now.tv_nsec / 1000000;
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

// Room for the paths of the calls that take no arena. It is a block of its own rather than the
// stack: under the address sanitizer an arena marks the bytes after what it gave out, and a stack
// block would leave the marks to the frames that reuse its memory.
static char path_room[2 * PATH_MAX + 2];

// A path as the system takes it: NUL-terminated, in the arena; null (with ENAMETOOLONG) when it holds
// a NUL byte, which no path can.
static const char* c_path(Str path, Arena* arena) {
    char* bytes = arena_take(arena, path.len + 1, 1, 1);
    if (path.len > 0) __builtin_memcpy(bytes, path.data, (size_t)path.len);
    bytes[path.len] = 0;
    if ((i64)__builtin_strlen(bytes) != path.len) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    return bytes;
}

i32 platform_read_file(Str path, Arena* arena, Str* text) {
    Arena scratch = *arena;
    const char* name = c_path(path, &scratch);
    int fd = name ? open(name, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) return errno == ENOENT ? 0 : -1;
    char* start = arena_take(arena, 0, 1, 4096);
    *text = Str{0, start};
    for (;;) {
        char* chunk = arena_take(arena, 1 << 16, 1, 1);
        ssize_t n = read(fd, chunk, 1 << 16);
        if (n < 0 && errno == EINTR) continue;
        arena_rewind(arena, chunk + (n > 0 ? n : 0));
        if (n <= 0) {
            int error = errno;
            close(fd);
            errno = error;
            return n == 0 ? 1 : -1;
        }
        text->len += n;
    }
}

i32 platform_file_exists(Str path) {
    Arena scratch = arena_over(path_room, sizeof path_room);
    struct stat st;
    const char* name = path.len < PATH_MAX ? c_path(path, &scratch) : nullptr;
    return name && lstat(name, &st) == 0;
}

Str platform_link_target(Str path, Arena* arena) {
    Arena scratch = *arena;
    const char* name = c_path(path, &scratch);
    struct stat st;
    if (!name || lstat(name, &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = realpath(name, nullptr);
    if (!real) return path;
    Str target = str_clone(arena, Str{(i64)__builtin_strlen(real), real});
    free(real);
    return target;
}

OsHandle platform_create_file(Str path, Str like) {
    Arena scratch = arena_over(path_room, sizeof path_room);
    if (path.len >= PATH_MAX || like.len >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    const char* name = c_path(path, &scratch);
    const char* model = c_path(like, &scratch);
    if (!name) return nullptr;
    int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (model && like.len > 0 && stat(model, &st) == 0) fchmod(fd, st.st_mode & 07777);
    return (OsHandle)(intptr_t)fd;
}

i32 platform_close_file(OsHandle file, i32 flush) {
    int fd = fd_of(file);
    i32 ok = !flush || fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) return 0;
    errno = error;
    return ok;
}

i32 platform_replace_file(Str from, Str to) {
    Arena scratch = arena_over(path_room, sizeof path_room);
    if (from.len >= PATH_MAX || to.len >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return 0;
    }
    const char* source = c_path(from, &scratch);
    const char* target = c_path(to, &scratch);
    return source && target && rename(source, target) == 0;
}

void platform_remove_file(Str path) {
    Arena scratch = arena_over(path_room, sizeof path_room);
    if (path.len >= PATH_MAX) return;
    const char* name = c_path(path, &scratch);
    if (name) unlink(name);
}

// What a stop must remove and write, kept where a signal handler can reach it without allocating.
static char stop_paths[STOP_SLOTS][PATH_MAX + 1];
static char stop_note[STOP_NOTE_BYTES];
static volatile sig_atomic_t stop_note_len;  // bytes of stop_note to write; 0 for none
static volatile pid_t running_command;  // the command started, to pass SIGTERM on to; 0 for none

static void on_stop(int signal) {
    if (stop_note_len > 0 && write(STDERR_FILENO, stop_note, (size_t)stop_note_len) < 0) stop_note_len = 0;
    for (char* path : stop_paths)
        if (path[0]) unlink(path);
    if (signal == SIGTERM && running_command > 0) kill(running_command, SIGTERM);
    // The program ends as the signal ends a program, so that its caller sees the signal.
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

static void catch_stops() {
    static i32 catching;
    if (catching) return;
    catching = 1;
    struct sigaction action = {};
    action.sa_handler = on_stop;
    sigemptyset(&action.sa_mask);
    const int stops[] = {SIGINT, SIGTERM, SIGHUP};
    for (int signal : stops) sigaddset(&action.sa_mask, signal);
    for (int signal : stops) sigaction(signal, &action, nullptr);
}

void platform_remove_when_stopped(i32 slot, Str path) {
    catch_stops();
    // The slot is emptied first, so that a stop meanwhile never sees half a path.
    stop_paths[slot][0] = 0;
    if (path.len == 0 || path.len > PATH_MAX) return;
    __builtin_memcpy(stop_paths[slot] + 1, path.data + 1, (size_t)path.len - 1);
    stop_paths[slot][path.len] = 0;
    stop_paths[slot][0] = path.data[0];
}

void platform_write_when_stopped(Str text) {
    catch_stops();
    stop_note_len = 0;
    if (text.len > STOP_NOTE_BYTES) return;
    if (text.len > 0) __builtin_memcpy(stop_note, text.data, (size_t)text.len);
    stop_note_len = (sig_atomic_t)text.len;
}

OsHandle platform_start_command(const StrNode* words, Arena* arena, i32* found, OsHandle* errors) {
    *found = 1;
    i64 count = 0;
    for (const StrNode* w = words; w; w = w->next) count++;
    char** argv = (char**)arena_alloc(arena, count + 1, sizeof(char*), 8);
    i64 i = 0;
    for (const StrNode* w = words; w; w = w->next) {
        argv[i] = (char*)c_path(w->value, arena);
        if (!argv[i++]) return nullptr;
    }
    int pipe_ends[2], error_ends[2] = {-1, -1};
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return nullptr;
    if (errors && pipe2(error_ends, O_CLOEXEC) != 0) {
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    if (errors) posix_spawn_file_actions_adddup2(&actions, error_ends[1], STDERR_FILENO);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (errors) close(error_ends[1]);
    if (error != 0) {
        close(pipe_ends[0]);
        if (errors) close(error_ends[0]);
        *found = error != ENOENT && error != ENOTDIR;
        errno = error;
        return nullptr;
    }
    running_command = pid;
    if (errors) *errors = (OsHandle)(intptr_t)error_ends[0];
    return (OsHandle)(intptr_t)pipe_ends[0];
}

i32 platform_wait_readable(OsHandle first, OsHandle second) {
    struct pollfd fds[2] = {{fd_of(first), POLLIN, 0}, {second ? fd_of(second) : -1, POLLIN, 0}};
    while (poll(fds, 2, -1) < 0)
        if (errno != EINTR) return second ? 3 : 1;  // the reads then say what is wrong
    i32 ready = 0;
    for (i32 i = 0; i < 2; i++)
        if (fds[i].revents) ready |= 1 << i;
    return ready;
}

i32 platform_wait_command(i32* signal) {
    *signal = 0;
    int status = 0;
    while (waitpid(running_command, &status, 0) < 0)
        if (errno != EINTR) return 127;
    running_command = 0;
    if (WIFSIGNALED(status)) {
        *signal = WTERMSIG(status);
        return 128 + *signal;
    }
    return WEXITSTATUS(status);
}

Str platform_signal_name(i32 signal) {
    const char* name = sigabbrev_np(signal);
    if (!name) return Str{};
    static char full[16];
    i64 n = (i64)__builtin_strlen(name);
    if (n > 12) return Str{};
    __builtin_memcpy(full, "SIG", 3);
    __builtin_memcpy(full + 3, name, (size_t)n);
    return Str{n + 3, full};
}

[[noreturn]] void platform_exit(i32 status) { _exit(status); }
