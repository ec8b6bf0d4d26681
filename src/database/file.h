// The database's file, replaced only once the new document is whole: the document is written to a
// new file beside it, made durable, then put in its place in one step.
#pragma once
#include "core/platform.h"

struct DatabaseFile {
    Str path;      // the file as the user named it
    Str target;    // the file replaced: path, or the file a symbolic link at path points to
    i32 existed;   // 1 when a file stood at path when the run began
    Str temp;      // the new file, beside the target; empty before it is made and once it is gone
    OsHandle handle; // the new file while it is written; null once closed
    i64 error;     // the system's code for why the last step that failed did
};

// Names the file and whether one stands there; nothing is written yet.
DatabaseFile database_file_at(Str path, Arena* arena);
// Makes a new file beside the target, with the target's permissions, and has a stop remove it. 0 when
// none could be made (error says why).
i32 database_file_begin(DatabaseFile* file, i32 stop_slot, Arena* arena);
// Makes the new file durable and puts it in the target's place; 0 when that failed (error says why),
// the new file then removed and the target as it was.
i32 database_file_commit(DatabaseFile* file, i32 stop_slot);
// Removes the new file: the target stays as it was.
void database_file_abandon(DatabaseFile* file, i32 stop_slot);
