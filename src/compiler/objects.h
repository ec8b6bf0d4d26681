// Command objects: one database entry per source of a parsed command, and their JSON form.
#pragma once
#include "compiler/parse.h"

struct CommandObject {
    Str directory;        // the directory the command runs in, one copy per command
    Str file;             // the source token itself
    StrList arguments;    // the command's args less the other sources, in nodes of its own
    Str output;           // the command's output, or empty
    CommandObject* next;  // the next object of the same shell line
};

// The objects of one shell line, in command order.
struct CommandChain {
    CommandObject* first;
    CommandObject* last;
    i64 count;
};

// The command's entries, one per source, in the directory given, appended to the chain.
void build_command_objects(const ParsedCommand* command, Str directory, Arena* arena, CommandChain* chain);
void write_command_objects(Output* out, const CommandChain* chain, i64 total_objects);
void trace_command_objects(Output* err, TraceLists* lists, const CommandChain* chain);
