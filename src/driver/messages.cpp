// The writer of the program's own messages.
#include "driver/messages.h"
#include "core/fail.h"
#include "core/platform.h"

void begin_message(Output* err) {
    err->indent = 0;
    if (!err->at_line_start && err->length > 0) put_byte(err, '\n');
    write_str(err, message_prefix);
}

void write_message(Output* err, Str text) {
    begin_message(err);
    write_line(err, text);
}

// The words live in a block of their own rather than on the stack: under the address sanitizer an
// arena marks the bytes after what it gave out, and a stack block would leave the marks to the frames
// that reuse its memory.
Str system_reason(i64 error) {
    static char words[1024];
    if (!error) return Str{};
    Arena scratch = arena_over(words, sizeof words);
    return platform_error_text(error, &scratch);
}

void write_failure(Output* err, Str what, i64 error) {
    Str reason = system_reason(error);
    begin_message(err);
    write_str(err, what);
    if (reason.len > 0) write_str(err, ": "_s);
    write_line(err, reason);
}
