// Finding the commands of a shell line that run a known C, C++ or assembler compiler driver.
#pragma once
#include "core/list.h"
#include "output/trace_lists.h"

enum CompilerKind : i32 { COMPILER_UNKNOWN = 0, COMPILER_GCC = 1, COMPILER_MSVC = 2 };

struct CompilerInvocation {
    CompilerKind kind;
    Str compiler;    // the driver's bare name, "unknown or not found", or empty
    StrList tokens;  // the compiler word as it stood, then its arguments; the line's own words
};

// The kind a word names, with the name as recognised.
struct CompilerName {
    CompilerKind kind;
    Str name;  // the word without quotes, directory and ".exe"
};

// The next invocation off the front of a line's words; a `cd` among the words before it moves
// *directory (the directory of the line's commands), the new one made in the arena.
CompilerInvocation find_compiler_invocation(StrList* words, Str* directory, Arena* arena);
i32 is_substitution_word(Str word);
CompilerName classify_compiler_name(Str word);
// The trace's lines for the invocation found; the lists copy from the memo.
void trace_compiler_invocation(Output* err, TraceLists* lists, const CompilerInvocation* invocation);
