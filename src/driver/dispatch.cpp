// Each iteration classifies the line at the front of the input, lets directory tracking or the
// shell and compiler stages consume it, and writes the entries and the trace it produced.
#include "driver/dispatch.h"
#include "compiler/objects.h"
#include "core/fast_paths.h"
#include "driver/dirstack.h"
#include "driver/make_line.h"
#include "driver/messages.h"
#include "shell/scanner.h"

// A message of the run's own, written once per run; the trace's indentation goes on after it.
static void say_once(Dispatcher* d, i32 met, i32 flag, Str message) {
    if (!(met & flag) || (d->said & flag)) return;
    d->said |= flag;
    int8_t indent = d->err->indent;
    write_message(d->err, message);
    d->err->indent = indent;
}

static void enter_line(Dispatcher* d, Str path, MakeLine line) {
    Arena scratch = d->line_arena_start;
    i32 met = enter_directory(&d->stack, path, line.maker, &scratch);
    say_once(d, met, ENTER_INTERLEAVED,
             "makes running in parallel wrote interleaved directory lines; entries may name the wrong "
             "directory (run make with -j1 or --output-sync)"_s);
    say_once(d, met, ENTER_FULL, "the directory stack is full; directories entered from here on are ignored"_s);
}

// One compiler invocation off the front of the words; its memory is kept only when it produced
// entries. A `cd` before it moves the line's directory, which lives as long as the line.
static void handle_invocation(Dispatcher* d, StrList* words, Str* directory, Arena* line_arena, CommandChain* chain) {
    if (d->verbose) trace_shell_words(d->err, d->trace_lists, *words);
    CompilerInvocation invocation = find_compiler_invocation(words, directory, line_arena);
    Arena scratch = *line_arena;
    if (d->verbose) trace_compiler_invocation(d->err, d->trace_lists, &invocation);
    ParsedCommand command = parse_compiler_command(&invocation, &scratch);
    if (d->verbose) trace_parsed_command(d->err, d->trace_lists, &command);
    if (!command.ok) return;
    build_command_objects(&command, *directory, &scratch, chain);
    *line_arena = scratch;
}

// The end of the directory is what the status line shows of it.
static void note_last_directory(Dispatcher* d, Str directory) {
    Str tail = str_skip(directory, directory.len - LAST_DIRECTORY_BYTES);
    __builtin_memcpy(d->last_directory, tail.data, (size_t)tail.len);
    d->last_directory_len = tail.len;
}

static i64 shell_line(Dispatcher* d, Str* rest) {
    Arena line_arena = d->line_arena_start;
    trace_lists_forget(d->trace_lists);
    StrList words = {};
    CommandChain chain = {};
    split_shell_line(rest, &line_arena, &words);
    Str directory = current_directory(&d->stack);
    while (words.count > 0) handle_invocation(d, &words, &directory, &line_arena, &chain);
    if (chain.count > 0) write_command_objects(d->out, &chain, d->total_objects);
    if (chain.count > 0 && d->last_directory) note_last_directory(d, directory);
    if (d->verbose) trace_command_objects(d->err, d->trace_lists, &chain);
    return chain.count;
}

static const Str mode_lines[3] = {
    "Parsing mode: ENTER DIR"_s, "Parsing mode: LEAVE DIR"_s, "Parsing mode: SHELL"_s,
};

// Copies s to dst and returns its end.
static char* copy_text(char* dst, Str s) {
    __builtin_memcpy(dst, s.data, (size_t)s.len);
    return dst + s.len;
}

// "-> +N command objects (total = T)", a blank line and the rule that end a line's trace, written as
// two texts with their numbers in place: each is most often short enough to be stored whole.
static void trace_objects_added(Output* err, i64 n, i64 total) {
    char text[48];
    char* end = format_int(copy_text(text, "-> +"_s), n);
    write_str(err, Str{copy_text(end, " command objects"_s) - text, text});
    end = format_int(copy_text(text, " (total = "_s), total);
    write_line(err, Str{copy_text(end, ")\n\n---\n"_s) - text, text});
}

// One line off the front of the input; 0, with nothing done, when it is a directory line that more
// input could still change.
static i32 run_iteration(Dispatcher* d, Str* rest, i32 at_end) {
    MakeLine line = read_make_line(*rest);
    DirectoryPath path = {};
    if (line.kind != SHELL) {
        path = read_directory_path(*rest, line.third);
        if (path.open && !at_end) return 0;
        *rest = path.rest;
    }
    if (d->verbose) write_line(d->err, mode_lines[line.kind]);
    i64 n = 0;
    if (line.kind == ENTER_DIR) {
        enter_line(d, path.path, line);
    } else if (line.kind == LEAVE_DIR) {
        Arena line_arena = d->line_arena_start;
        leave_directory(&d->stack, path.path, &line_arena);
    } else {
        n = shell_line(d, rest);
    }
    if (d->verbose) trace_objects_added(d->err, n, d->total_objects + n);
    d->total_objects += n;
    return 1;
}

void dispatch_begin(Dispatcher* d, Str cwd, Arena* arena, Output* out, Output* err, i32 verbose) {
    TraceLists* trace_lists = verbose ? (TraceLists*)arena_alloc(arena, 1, sizeof(TraceLists), 8) : nullptr;
    DirStack stack = create_dir_stack(arena, cwd);
    char* last_directory = d->last_directory;
    *d = Dispatcher{};
    d->out = out;
    d->err = err;
    d->verbose = verbose;
    d->trace_lists = trace_lists;
    d->stack = stack;
    d->line_arena_start = *arena;
    d->last_directory = last_directory;
    out->indent = 0;
    write_line(out, "["_s);
    out->indent = 1;
}

// A line feed ends a line for good unless a backslash (or a backslash and a carriage return) stands
// before it: no quote, bracket or comment reaches past it, and every step that takes two bytes takes
// only an escaped one. The last such line feed among the bytes not yet searched moves settled.
static void settle(Dispatcher* d, Str input) {
    i64 from = d->searched > d->done ? d->searched : d->done;
    for (i64 q = input.len - 1; q >= from; q--) {
        if (str_at(input, q) != '\n') continue;
        u8 before = q >= 1 ? str_at(input, q - 1) : 0;
        if (before == '\\' || (before == '\r' && q >= 2 && str_at(input, q - 2) == '\\')) continue;
        d->settled = q + 1;
        break;
    }
    d->searched = input.len;
}

i64 dispatch_available(Dispatcher* d, Str input, i32 at_end) {
    if (!at_end && input.len < d->retry_at) return d->total_objects;
    if (at_end) d->settled = input.len;
    else settle(d, input);
    Str rest = str_skip(input, d->done);
    while (rest.len > 0 && rest.data < input.data + d->settled) {
        if (!run_iteration(d, &rest, at_end)) {
            d->retry_at = input.len + (input.len - (rest.data - input.data));
            break;
        }
    }
    d->done = rest.data - input.data;
    if (!at_end) return d->total_objects;
    if (d->total_objects > 0) put_byte(d->out, '\n');
    d->out->indent--;
    write_line(d->out, "]"_s);
    d->out->indent = 0;
    return d->total_objects;
}
