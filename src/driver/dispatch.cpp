// Each iteration classifies the line at the front of the input, lets directory tracking or the
// shell and compiler stages consume it, and writes the entries and the trace it produced.
#include "driver/dispatch.h"
#include "compiler/objects.h"
#include "core/fast_paths.h"
#include "driver/dirstack.h"
#include "shell/scanner.h"

static i32 kind_of_fields(Str w1, Str w2, Str w3) {
    if (!str_ends_with(w1, ":"_s) || !str_equals(w3, "directory"_s)) return SHELL;
    if (str_equals(w2, "Entering"_s)) return ENTER_DIR;
    if (str_equals(w2, "Leaving"_s)) return LEAVE_DIR;
    return SHELL;
}

// The text before the next space or line feed, and where the next field starts: none (-1) when the
// line ends there, since every later field of the line is then empty.
static Str next_field(Str rest, i64* next) {
    i64 end = str_find_any(rest, " \n"_s);
    *next = end >= 0 && str_at(rest, end) == ' ' ? end + 1 : -1;
    return str_take(rest, end >= 0 ? end : rest.len);
}

// The general rule cuts the line at its line feed, then the fields at their spaces. Fast path: the
// fields are cut one at a time and the line feed is looked for only as far as they reach, since a
// line that is not a directory line is mostly told by its first field; the fields are the same.
i32 classify_line(Str input) {
    if (!fast_paths) {
        Cut w1 = str_cut(str_cut(input, "\n"_s).head, " "_s);
        Cut w2 = str_cut(w1.tail, " "_s);
        return kind_of_fields(w1.head, w2.head, str_cut(w2.tail, " "_s).head);
    }
    i64 next = 0;
    Str w1 = next_field(input, &next);
    if (next < 0 || !str_ends_with(w1, ":"_s)) return SHELL;
    Str rest = str_skip(input, next);
    Str w2 = next_field(rest, &next);
    if (next < 0) return SHELL;
    return kind_of_fields(w1, w2, next_field(str_skip(rest, next), &next));
}

// What every iteration works with.
struct Dispatcher {
    Output* out;
    Output* err;
    i32 verbose;
    DirStack stack;
    Arena line_start;    // the scratch arena's state at the start of every line
    i64 total_objects;   // entries written so far
    i32 said;            // the EnterResult flags whose message has been written
};

// A message of the run's own, on a line of its own at the left margin, written once per run.
static void say_once(Dispatcher* d, i32 met, i32 flag, Str message) {
    if (!(met & flag) || (d->said & flag)) return;
    d->said |= flag;
    int8_t indent = d->err->indent;
    d->err->indent = 0;
    write_line(d->err, message);
    d->err->indent = indent;
}

static void enter_line(Dispatcher* d, Str* rest) {
    Str maker = str_cut(*rest, " "_s).head;
    Str path = extract_directory_path(rest);
    Arena scratch = d->line_start;
    i32 met = enter_directory(&d->stack, path, maker, &scratch);
    say_once(d, met, ENTER_INTERLEAVED,
             "ferrule: makes running in parallel wrote interleaved directory lines; entries may name the wrong "
             "directory (run make with -j1 or --output-sync)"_s);
    say_once(d, met, ENTER_FULL, "ferrule: the directory stack is full; directories entered from here on are ignored"_s);
}

// One compiler invocation off the front of the words; its memory is kept only when it
// produced entries.
static void handle_invocation(Dispatcher* d, StrList* words, Arena* line_arena, CommandChain* chain) {
    if (d->verbose) trace_shell_words(d->err, *words);
    Arena scratch = *line_arena;
    CompilerInvocation invocation = find_compiler_invocation(words);
    if (d->verbose) trace_compiler_invocation(d->err, &invocation);
    ParsedCommand command = parse_compiler_command(&invocation, &scratch);
    if (d->verbose) trace_parsed_command(d->err, &command);
    if (!command.ok) return;
    build_command_objects(&command, &d->stack, &scratch, chain);
    *line_arena = scratch;
}

static i64 shell_line(Dispatcher* d, Str* rest) {
    Arena line_arena = d->line_start;
    list_memo_forget(d->err);
    StrList words = {};
    CommandChain chain = {};
    split_shell_line(rest, &line_arena, &words);
    while (words.count > 0) handle_invocation(d, &words, &line_arena, &chain);
    if (chain.count > 0) write_command_objects(d->out, &chain, d->total_objects);
    if (d->verbose) trace_command_objects(d->err, &chain);
    return chain.count;
}

static const Str mode_lines[3] = {
    "Parsing mode: ENTER DIR"_s, "Parsing mode: LEAVE DIR"_s, "Parsing mode: SHELL"_s,
};

static void run_iteration(Dispatcher* d, Str* rest) {
    i32 kind = classify_line(*rest);
    if (d->verbose) write_line(d->err, mode_lines[kind]);
    i64 n = 0;
    if (kind == ENTER_DIR) {
        enter_line(d, rest);
    } else if (kind == LEAVE_DIR) {
        Arena line_arena = d->line_start;
        leave_directory(&d->stack, extract_directory_path(rest), &line_arena);
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
    Dispatcher d = {out, err, verbose, create_dir_stack(main_arena, cwd), *main_arena, 0, 0};
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
