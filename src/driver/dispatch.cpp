// Each iteration classifies the line at the front of the input, lets directory tracking or the
// shell and compiler stages consume it, and writes the entries and the trace it produced.
#include "driver/dispatch.h"
#include "compiler/objects.h"
#include "core/fast_paths.h"
#include "driver/dirstack.h"
#include "driver/make_line.h"
#include "driver/messages.h"
#include "shell/scanner.h"

// What every iteration works with.
struct Dispatcher {
    Output* out;
    Output* err;
    i32 verbose;
    TraceLists* trace_lists;  // the trace's memo of the current line's word lists; null without -v
    DirStack stack;
    Arena line_arena_start;   // the scratch arena's state at the start of every line
    i64 total_objects;        // entries written so far
    i32 said;                 // the EnterResult flags whose message has been written
};

// A message of the run's own, written once per run; the trace's indentation goes on after it.
static void say_once(Dispatcher* d, i32 met, i32 flag, Str message) {
    if (!(met & flag) || (d->said & flag)) return;
    d->said |= flag;
    int8_t indent = d->err->indent;
    write_message(d->err, message);
    d->err->indent = indent;
}

static void enter_line(Dispatcher* d, Str* rest, MakeLine line) {
    Str path = take_directory_path(rest, line.third);
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

static i64 shell_line(Dispatcher* d, Str* rest) {
    Arena line_arena = d->line_arena_start;
    trace_lists_forget(d->trace_lists);
    StrList words = {};
    CommandChain chain = {};
    split_shell_line(rest, &line_arena, &words);
    Str directory = current_directory(&d->stack);
    while (words.count > 0) handle_invocation(d, &words, &directory, &line_arena, &chain);
    if (chain.count > 0) write_command_objects(d->out, &chain, d->total_objects);
    if (d->verbose) trace_command_objects(d->err, d->trace_lists, &chain);
    return chain.count;
}

static const Str mode_lines[3] = {
    "Parsing mode: ENTER DIR"_s, "Parsing mode: LEAVE DIR"_s, "Parsing mode: SHELL"_s,
};

static void run_iteration(Dispatcher* d, Str* rest) {
    MakeLine line = read_make_line(*rest);
    if (d->verbose) write_line(d->err, mode_lines[line.kind]);
    i64 n = 0;
    if (line.kind == ENTER_DIR) {
        enter_line(d, rest, line);
    } else if (line.kind == LEAVE_DIR) {
        Arena line_arena = d->line_arena_start;
        leave_directory(&d->stack, take_directory_path(rest, line.third), &line_arena);
    } else {
        n = shell_line(d, rest);
    }
    if (d->verbose) {
        write_str(d->err, "-> +"_s);
        write_int(d->err, n);
        write_str(d->err, " command objects (total = "_s);
        write_int(d->err, d->total_objects + n);
        write_line(d->err, ")\n\n---\n"_s);
    }
    d->total_objects += n;
}

i64 dispatch_lines(Str input, Str cwd, Arena* main_arena, Output* out, Output* err, i32 verbose) {
    TraceLists* trace_lists = verbose ? (TraceLists*)arena_alloc(main_arena, 1, sizeof(TraceLists), 8) : nullptr;
    DirStack stack = create_dir_stack(main_arena, cwd);
    Dispatcher d = {out, err, verbose, trace_lists, stack, *main_arena, 0, 0};
    out->indent = 0;
    write_line(out, "["_s);
    out->indent = 1;
    Str rest = input;
    while (rest.len > 0) run_iteration(&d, &rest);
    if (d.total_objects > 0) put_byte(out, '\n');
    out->indent--;
    write_line(out, "]"_s);
    out->indent = 0;
    return d.total_objects;
}
