// Finding the commands of a shell line that run a known C, C++ or assembler compiler driver.
#pragma once
#include "core/list.h"
#include "output/output.h"

enum CompilerKind { COMPILER_UNKNOWN = 0, COMPILER_GCC = 1, COMPILER_MSVC = 2 };

struct CompilerInvocation {
    i32 kind;        // a CompilerKind
    Str compiler;    // the driver's bare name, "unknown or not found", or empty
    StrList tokens;  // the compiler word as it stood, then its arguments; the line's own words
};

// The kind a word names, with the name as recognised.
struct CompilerName {
    i32 kind;
    Str name;
};

CompilerInvocation find_compiler_invocation(StrList* words);
i32 is_substitution_word(Str word);
CompilerName classify_compiler_name(Str word);
void trace_shell_words(Output* err, StrList words);
void trace_compiler_invocation(Output* err, const CompilerInvocation* invocation);
