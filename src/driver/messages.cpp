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

void write_failure(Output* err, Str what, i64 error) {
    char words[1024];
    Arena scratch = arena_over(words, sizeof words);
    Str reason = error ? platform_error_text(error, &scratch) : Str{};
    begin_message(err);
    write_str(err, what);
    if (reason.len > 0) write_str(err, ": "_s);
    write_line(err, reason);
}
