// The stack of directories that the build tool's Entering and Leaving lines drive.
#pragma once
#include "core/list.h"

enum { DIR_STACK_BYTES = 16384 };

struct DirStack {
    StrList entries;  // normalised paths, bottom (start directory) first, top last
    Arena arena;      // the stack's own block: every entry's bytes, then its node
};

// The stack of one entry, the start directory, whose slashes are already normalised.
DirStack create_dir_stack(Arena* main_arena, Str start);
Str extract_directory_path(Str* input);

// Pushes a normalised copy of path, normalised first in scratch; returns 0 when the stack has no
// room for it.
i32 enter_directory(DirStack* stack, Str path, Arena* scratch);
void leave_directory(DirStack* stack, Str path, Arena* scratch);
Str current_directory(const DirStack* stack);
