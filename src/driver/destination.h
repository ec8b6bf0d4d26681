// Where the document goes: standard output, or a file that is replaced only once the new document is
// whole, with this run's entries merged into the file's own under --append.
#pragma once
#include "database/file.h"
#include "database/merge.h"
#include "driver/options.h"
#include "output/sink.h"

// The stop slots of the new files: this run's document, and the merged one.
enum { STOP_SLOT_DOCUMENT = 0, STOP_SLOT_MERGED = 1 };

struct Destination {
    i32 to_file;        // 1 when the document goes to a file rather than standard output
    i32 append;         // 1 when this run's entries are merged into the file's
    DatabaseFile file;  // the file, and the new one the document is written to
    DatabaseFile merged; // under --append, the new file that the merged document is written to
    Database old;       // the file's entries when merging; none when it did not exist
};

// Before the run: the file the options name (-o, or compile_commands.json under "--"; "-o -" is
// standard output), its entries read when merging, and the new file made, whose handle *handle
// becomes. 0 when the run cannot go on, with the message written.
i32 destination_open(Destination* d, const Options* options, Arena* arena, Output* err, OsHandle* handle);

// After the run, with the document written whole to the sink, unless run_failed: the file replaced
// (merged first under --append), or kept when the run found no entries in a file that existed (or
// in none, when the command failed), and what it now holds said. Gives the exit status: 0, or 1 when
// the file was kept or could not be written.
i32 destination_settle(Destination* d, StdSink* sink, i64 entries, i32 run_failed, i32 command_failed, Arena* arena,
                       Output* err);

// A stop: the new files go, and the file stays as it was.
void destination_abandon(Destination* d);
