// Building entries from a parsed command, with sibling sources left out by identity, and writing
// them as JSON entries and as the verbose dump.
#include "compiler/objects.h"
#include "core/fast_paths.h"

static i32 same_token(Str a, Str b) { return a.data == b.data && a.len == b.len; }

// The first source at or after node that stands in the arguments: an empty source (which "-x" allows)
// never entered them.
static const StrNode* next_listed_source(const StrNode* node) {
    while (node && node->value.len == 0) node = node->next;
    return node;
}

// The general rule: an object's arguments are nodes of its own, the command's arguments less the
// other sources. The sources were taken from the arguments in order, each the very token of one
// argument node, so one walk of the arguments beside the sources finds every source node: each object
// costs one pass over the command's words, and a command of n sources n passes, which is what its
// document holds.
static StrList object_arguments_general(const ParsedCommand* command, const StrNode* own, Arena* arena) {
    StrList arguments = {};
    const StrNode* source = next_listed_source(command->sources.head);
    for (StrNode* node = command->args.head; node; node = node->next) {
        if (source && same_token(node->value, source->value)) {
            i32 sibling = source != own;
            source = next_listed_source(source->next);
            if (sibling) continue;
        }
        list_append(&arguments, arena, node->value);
    }
    return arguments;
}

// The fast side shares them with the command: a command with one source loses nothing from its
// arguments, and nothing reads them after the objects are built, so its only object takes over the
// command's nodes (which are the line's words' own) instead of copying them.
static StrList object_arguments_fast(const ParsedCommand* command, const StrNode* own, Arena* arena) {
    return command->sources.count == 1 ? command->args : object_arguments_general(command, own, arena);
}

static CommandObject* new_object(const ParsedCommand* command, Str directory, const StrNode* source, Arena* arena) {
    CommandObject* object = (CommandObject*)arena_alloc(arena, 1, sizeof(CommandObject), 8);
    object->directory = directory;
    object->file = source->value;
    object->output = command->output;
    object->arguments = fast_or_general(object_arguments_fast, object_arguments_general)(command, source, arena);
    return object;
}

void build_command_objects(const ParsedCommand* command, Str directory, Arena* arena, CommandChain* chain) {
    Str copy = str_clone(arena, directory);
    CommandObject* first = nullptr;
    CommandObject* last = nullptr;
    for (StrNode* source = command->sources.head; source; source = source->next) {
        CommandObject* object = new_object(command, copy, source, arena);
        if (last) last->next = object;
        else first = object;
        last = object;
    }
    if (chain->last) chain->last->next = first;
    else chain->first = first;
    chain->last = last;
    chain->count += command->sources.count;
}

void write_command_objects(Output* out, const CommandChain* chain, i64 total_objects) {
    i64 n = total_objects;
    for (const CommandObject* object = chain->first; object; object = object->next) {
        if (n > 0) write_line(out, ","_s);
        write_line(out, "{"_s);
        out->indent++;
        write_json_item(out, "\"directory\": "_s, object->directory, 1);
        write_json_item(out, "\"file\": "_s, object->file, 1);
        if (object->output.len > 0) write_json_item(out, "\"output\": "_s, object->output, 1);
        write_line(out, "\"arguments\": ["_s);
        out->indent++;
        write_json_items(out, object->arguments.head);
        n++;
        out->indent--;
        write_line(out, "]"_s);
        out->indent--;
        write_str(out, "}"_s);
    }
}

void trace_command_objects(Output* err, TraceLists* lists, const CommandChain* chain) {
    if (chain->count == 0) {
        write_line(err, "No command object produced."_s);
        return;
    }
    write_line(err, "Produced command objects:"_s);
    err->indent++;
    for (const CommandObject* object = chain->first; object; object = object->next) {
        write_line(err, "ok = true"_s);  // every object is built from a command that is ok
        write_json_item(err, "directory = "_s, object->directory, 0);
        write_json_item(err, "file = "_s, object->file, 0);
        write_json_item(err, "output = "_s, object->output, 0);
        write_str(err, "args = "_s);
        trace_str_list(err, lists, object->arguments);
        put_byte(err, '\n');
    }
    err->indent--;
}
