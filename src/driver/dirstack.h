// The stack of directories that the build tool's Entering and Leaving lines drive.
#pragma once
#include "core/list.h"

enum { DIR_STACK_BYTES = 16384 };

struct DirStack {
    StrList entries;  // normalised paths, bottom (start directory) first, top last
    StrList makers;   // for each entry, the first field of the line that entered it ("make[1]:"), a
                      // slice of the input; empty for the start directory
    Arena arena;      // the stack's own block: every entry's bytes, then its node and its maker's node
};

// The stack of one entry, the start directory, whose slashes are already normalised.
DirStack create_dir_stack(Arena* main_arena, Str start);

// What entering a directory met, as flags.
enum EnterResult { ENTER_FULL = 1, ENTER_INTERLEAVED = 2 };

// Pushes a normalised copy of path, normalised first in scratch, entered by the make that the
// maker names (the entering line's first field). Says ENTER_FULL when the stack had no room for it,
// and ENTER_INTERLEAVED when the top entry was entered by a make of the same name and level, which
// has not left it: two makes run at once and their lines interleave.
i32 enter_directory(DirStack* stack, Str path, Str maker, Arena* scratch);
void leave_directory(DirStack* stack, Str path, Arena* scratch);
Str current_directory(const DirStack* stack);
