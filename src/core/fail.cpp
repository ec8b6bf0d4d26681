// The program's single stopping point for unrecoverable conditions.
#include "core/fail.h"
#include "core/platform.h"

static FailHandler fail_handler;  // set by the entry once its streams exist
static void* fail_context;        // handed back to the handler

void fail_set_handler(FailHandler handler, void* context) {
    fail_handler = handler;
    fail_context = context;
}

static void write_all(OsHandle handle, Str s) {
    i32 written = 0;
    while (s.len > 0 && platform_write(handle, s.data, (i32)s.len, &written) && written > 0)
        s = str_skip(s, written);
}

void fail_write_unbuffered(Str what) {
    OsHandle err = platform_std_handle(STD_ERROR);
    write_all(err, message_prefix);
    write_all(err, what);
    write_all(err, "\n"_s);
}

// Without a handler (before start-up, or in tests) the message goes straight to standard error.
[[noreturn]] static void fail_with(Str what, i32 out_of_memory) {
    if (fail_handler) fail_handler(fail_context, what, out_of_memory);
    fail_write_unbuffered(what);
    platform_exit(1);
}

[[noreturn]] void fail(Str what) { fail_with(what, 0); }

[[noreturn]] void fail_out_of_memory() { fail_with("out of memory"_s, 1); }
