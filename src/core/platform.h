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

[[noreturn]] void platform_exit(i32 status);
