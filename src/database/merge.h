// An existing compilation database, read whatever wrote it, and the merge of this run's entries into
// it: the entries of other files kept as they stood, this run's after them.
#pragma once
#include "output/output.h"

struct DatabaseEntry {
    Str object;           // the entry's object, "{" to "}", exactly as it stands in the text
    Str key;              // the file it compiles: "file" when absolute (/..., X:..., \\...), else
                          // "directory", "/" and "file"; decoded, with backslashes read as slashes
    DatabaseEntry* next;  // the next entry in the text, or null
};

struct Database {
    DatabaseEntry* first;
    DatabaseEntry* last;
    i64 count;
};

// Where the text stops being a database, and why.
struct DatabaseProblem {
    i64 line;    // counted from 1
    i64 column;  // in bytes, counted from 1
    Str what;
};

// Reads a JSON array of objects, each with a string "directory" and "file", with any other members,
// in any order, with any white space and escapes; 0 when the text is none, with the problem.
i32 database_read(Str text, Arena* arena, Database* database, DatabaseProblem* problem);

// Writes the merged document: the entries of old whose key no entry of fresh has, then those of
// fresh, each object as it stood, in the layout the program writes. Returns how many it wrote. Time
// and memory follow the two sizes.
i64 database_write_merged(Output* out, const Database* old, const Database* fresh, Arena* arena);
