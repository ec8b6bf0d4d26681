// The operating-system operations the logic is written against, owned at the bottom so that every
// layer may call them; one implementation per system under platform/.
#pragma once
#include "core/list.h"

typedef void* OsHandle;  // a standard stream as the system names it

enum { STD_INPUT = 0, STD_OUTPUT = 1, STD_ERROR = 2 };

// Reserves size bytes of address space for the program's memory, none of it usable yet; null when
// the system has not that much to give.
void* platform_reserve(i64 size);
// Makes size bytes of the reserved space from start readable and writable; 0 when the system has no
// memory for them.
i32 platform_commit(void* start, i64 size);
OsHandle platform_std_handle(i32 which);
i32 platform_is_console(OsHandle handle);

// Bytes read (at most capacity); 0 at the ordinary end of the stream; -1 when reading failed.
i64 platform_read(OsHandle handle, void* buffer, i64 capacity);

// Each returns nonzero on success and sets *written to what reached the stream.
i32 platform_write(OsHandle handle, const char* bytes, i32 count, i32* written);
// A console takes at most CONSOLE_UNITS units a call, the staging buffer of a console's sink.
enum { CONSOLE_UNITS = 2048 };
i32 platform_write_console(OsHandle handle, const u16* units, i32 count, i32* written);
// The columns of the console's lines; 0 when the system cannot say.
i32 platform_console_width(OsHandle handle);
// 1 when the console takes "\x1b[K", erase to the end of the line; else what should vanish of a line
// is written over with blanks.
extern const i32 platform_console_erases;
// Milliseconds from some fixed point on, never going back.
i64 platform_clock_ms();

// The system's code for why the last call that failed did.
i64 platform_last_error();
// Whether a write failed only because the reader went away, as a pipe closed early does.
i32 platform_reader_gone(i64 error);
// The system's words for an error, one line without a final period, built in the arena (a few
// hundred bytes at most); empty when the system has none.
Str platform_error_text(i64 error, Arena* arena);

// The program's file name as users type it, for the examples of the help text.
extern const Str platform_program_name;

// The command line as UTF-8 strings, program path first, text and node of each from the arena.
void platform_load_arguments(Arena* arena, StrList* list);

// The current directory as UTF-8, as the system spells it.
Str platform_current_directory(Arena* arena);

// Files, named by UTF-8 paths. Each call that fails leaves platform_last_error saying why.
// Reads the whole file into the arena, starting on a page: 1 when read, 0 when there is no such file,
// -1 when it could not be read.
i32 platform_read_file(Str path, Arena* arena, Str* text);
// Whether there is a file (or anything else) at path.
i32 platform_file_exists(Str path);
// The file that path names once symbolic links are followed, in the arena; path itself when it names
// no link, or a link to nothing.
Str platform_link_target(Str path, Arena* arena);
// A new file for writing, which must not exist yet; it takes the permissions of the file like names,
// when there is one. Null when it could not be made.
OsHandle platform_create_file(Str path, Str like);
// Makes what the file holds durable on the disk, then closes it; 0 when either failed. Without flush,
// it only closes.
i32 platform_close_file(OsHandle file, i32 flush);
// Puts the file from where the file to is, replacing it in one step; 0 when that failed.
i32 platform_replace_file(Str from, Str to);
void platform_remove_file(Str path);

// A stop by a signal or by Ctrl-C removes the files named here (one per slot, at most two; an empty
// path empties the slot) and ends the program as the stop would have ended it. Interrupts are caught
// from the first call on.
enum { STOP_SLOTS = 2 };
void platform_remove_when_stopped(i32 slot, Str path);
// A stop writes text (ASCII, at most STOP_NOTE_BYTES bytes) to standard error first, which then is a
// console: what takes its status line off it. An empty text writes nothing. Interrupts are caught
// from the first call on.
enum { STOP_NOTE_BYTES = 1024 };
void platform_write_when_stopped(Str text);

// Starts the command (its words: the program, found as a shell finds it, then its arguments) with
// its standard output into a pipe, whose reading end it returns; its standard input is the program's
// own, and so is its standard error unless errors is given, which then receives the reading end of a
// pipe of its own. Null when it could not be started, with *found 0 when no such program exists.
OsHandle platform_start_command(const StrNode* words, Arena* arena, i32* found, OsHandle* errors);
// Waits until one of the pipes (second may be null) has bytes to read or has ended: bit 1 for first,
// bit 2 for second.
i32 platform_wait_readable(OsHandle first, OsHandle second);
// Waits for the command to end: its exit status, or, when a signal ended it, 128 and the signal's
// number, with *signal set to that number (else 0).
i32 platform_wait_command(i32* signal);
// The signal's name, as "SIGTERM"; empty for none.
Str platform_signal_name(i32 signal);

[[noreturn]] void platform_exit(i32 status);
