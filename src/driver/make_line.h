// make's directory lines, read once: whether the line at the front of the input is one, which make
// wrote it, and the path it names.
#pragma once
#include "core/str.h"

enum LineKind { ENTER_DIR, LEAVE_DIR, SHELL };

// What the first three space-separated fields of a line say.
struct MakeLine {
    LineKind kind;  // a directory line when its first field ends with a colon, its second is
                    // "Entering" or "Leaving" and its third "directory"; else a shell line
    Str maker;      // the first field ("make[1]:"), a slice of the input; for directory lines
    Str third;      // the input from the third field on; for directory lines
};

MakeLine read_make_line(Str input);

// The path of a directory line, and how far the line reaches.
struct DirectoryPath {
    Str path;    // the quoted path after the third field; empty when the fourth field opens no quote
    Str rest;    // the input after the line that the path's closing quote, or else the next line
                 // feed, ends
    i32 open;    // 1 when a byte it looked for was not found before the input's end, so that more
                 // input could still change the path or the line's end
};

DirectoryPath read_directory_path(Str input, Str third);
