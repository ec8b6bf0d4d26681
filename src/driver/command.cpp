// Running the command of "--".
#include "driver/command.h"
#include "driver/messages.h"

i32 command_start(const StrNode* words, Arena* arena, Output* err, OsHandle* handle, OsHandle* errors) {
    i32 found = 1;
    *handle = platform_start_command(words, arena, &found, errors);
    if (*handle) return 0;
    Str reason = system_reason(platform_last_error());
    begin_message(err);
    write_str(err, "cannot run '"_s);
    write_str(err, words->value);
    write_str(err, "'"_s);
    if (reason.len > 0) write_str(err, ": "_s);
    write_line(err, reason);
    return found ? 126 : 127;
}

i32 command_finish(Str name, Output* err) {
    i32 signal = 0;
    i32 status = platform_wait_command(&signal);
    if (status == 0) return 0;
    begin_message(err);
    write_str(err, name);
    if (signal) {
        write_str(err, " was killed by "_s);
        Str signal_name = platform_signal_name(signal);
        if (signal_name.len > 0) {
            write_str(err, signal_name);
        } else {
            write_str(err, "signal "_s);
            write_int(err, signal);
        }
        write_str(err, " (status "_s);
        write_int(err, status);
        write_line(err, ")"_s);
    } else {
        write_str(err, " exited with status "_s);
        write_int(err, status);
        put_byte(err, '\n');
    }
    return status;
}
