// Reading a GCC-style command's options: its sources, its output and its argument list.
#pragma once
#include "compiler/recognize.h"

struct ParsedCommand {
    i32 ok;           // 1 when there is at least one source and one argument
    StrList sources;  // source tokens in command order
    Str output;       // value of the last output option, or empty
    StrList args;     // every non-empty token, compiler first; the tokens themselves
};

// The language classes that "-x" selects.
enum Language : i32 {
    LANG_NONE = 0,
    LANG_C = 1,
    LANG_C_HEADER = 2,
    LANG_CXX = 3,
    LANG_CXX_HEADER = 4,
    LANG_ASSEMBLER = 5,
    LANG_OTHER = 6,
};

// What a value-taking option does with its value.
enum OptionKind : u8 { OPTION_OTHER = 0, OPTION_OUTPUT = 1, OPTION_LANGUAGE = 2 };

enum { VALUE_OPTION_COUNT = 49, VALUE_INDEX_SLOTS = 256, SOURCE_EXTENSION_COUNT = 9 };

extern const Str value_options[VALUE_OPTION_COUNT];
extern const Str source_extensions[SOURCE_EXTENSION_COUNT];

// The position in value_options of the entry equal to token, found through the hash index, or -1.
i64 value_option_find(Str token);
ParsedCommand parse_compiler_command(CompilerInvocation* invocation, Arena* arena);
void trace_parsed_command(Output* err, TraceLists* lists, const ParsedCommand* command);
