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

// The options that take a value, as the next token or joined to the option, and the extensions of
// source files.
inline constexpr Str value_options[] = {
    "-I"_s, "--include-directory"_s, "-o"_s, "--output="_s, "--output"_s, "-x"_s, "--language="_s,
    "--language"_s, "-D"_s, "--define-macro"_s, "-U"_s, "--undefine-macro"_s, "-l"_s, "-e"_s,
    "--entry"_s, "-u"_s, "--undefined"_s, "-T"_s, "--script"_s, "-L"_s, "--library-directory"_s,
    "--library"_s, "-z"_s, "-MF"_s, "-MT"_s, "-MQ"_s, "-A"_s, "-G"_s, "-dumpbase-ext"_s,
    "-dumpbase"_s, "-dumpdir"_s, "-aux-info"_s, "-include"_s, "-imacros"_s, "-iwithprefixbefore"_s,
    "-iwithprefix"_s, "-iprefix"_s, "-iquote"_s, "-isystem"_s, "-idirafter"_s, "-isysroot"_s,
    "-imultilib"_s, "-Xpreprocessor"_s, "-Xassembler"_s, "-Xlinker"_s, "-bundle_loader"_s,
    "--param"_s, "-arch"_s, "-wrapper"_s,
};

inline constexpr Str source_extensions[] = {
    ".c"_s, ".cc"_s, ".cpp"_s, ".cxx"_s, ".c++"_s, ".C"_s, ".cppm"_s, ".s"_s, ".S"_s,
};

enum : i64 {
    VALUE_OPTION_COUNT = sizeof value_options / sizeof value_options[0],
    SOURCE_EXTENSION_COUNT = sizeof source_extensions / sizeof source_extensions[0],
    VALUE_INDEX_SLOTS = 256,
};

ParsedCommand parse_compiler_command(CompilerInvocation* invocation, Arena* arena);
void trace_parsed_command(Output* err, TraceLists* lists, const ParsedCommand* command);
