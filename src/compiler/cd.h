// A `cd` in a shell line: which commands it is, and the directory it moves the line's later commands to.
#pragma once
#include "core/list.h"

// When the command whose first word is at word is `cd D` (or cmd's `cd /d D`) and ends there, with
// "&&", ";", "||" or the end of the line, and D is written out (not empty, no "$" or backquote, not an
// option, a home directory or an operator), sets *target to D and gives 1; else gives 0.
i32 cd_target(const StrNode* word, Str* target);

// The directory after `cd target` from current: the target with its backslashes read as slashes,
// itself when absolute, current when ".", else joined to current with one slash; trailing slashes
// dropped but that of "/" or "C:/". Nothing else is folded. New bytes come from the arena.
Str directory_after_cd(Str current, Str target, Arena* arena);
