// Start-up in its fixed order, the answers to the options, the run, its trace's opening and closing
// lines, and the flushing exit.
#include "driver/entry.h"
#include "core/fail.h"
#include "driver/command.h"
#include "driver/messages.h"

StrList load_arguments(Arena* arena) {
    StrList args = {};
    platform_load_arguments(arena, &args);
    if (args.count < 1) fail("the command line holds no program path"_s);
    return args;
}

Str load_current_directory(Arena* arena) { return str_normalize_slashes(platform_current_directory(arena)); }

void write_preamble(Output* err, Str program_path, Str cwd, StrList args, i64 input_len) {
    err->indent = 0;
    write_line(err, program_path);
    write_line(err, version_line);
    write_line(err, "Verbose mode: true"_s);
    write_json_item(err, "Directory: "_s, cwd, 0);
    write_str(err, "CLI args: "_s);
    write_str_list(err, args);
    write_str(err, "Input len: "_s);
    write_int(err, input_len);
    put_byte(err, '\n');
    write_line(err, "====\n"_s);
}

static void write_closing_lines(Output* err, i64 total_objects) {
    err->indent = 0;
    put_byte(err, '\n');
    write_str(err, "Total command objects: "_s);
    write_int(err, total_objects);
    put_byte(err, '\n');
    write_line(err, "ferrule is done."_s);
}

// Output cut short by a failed write is said once on standard error, with the system's reason.
// A reader that went away early (as head does) wanted no more: that is no fault worth a word.
static void report_failed_output(const StdSink* out_sink, Output* err, Str what) {
    if (!out_sink->failed || platform_reader_gone(out_sink->error)) return;
    write_failure(err, what, out_sink->error);
}

// A run that stopped, or whose output failed, leaves the database's file as it was.
[[noreturn]] void finish_and_exit(Program* program) {
    flush_output(program->out);
    finish_console(program->out_sink);
    if (program->exit_status != 0 || program->out_sink->failed) destination_abandon(&program->destination);
    report_failed_output(program->out_sink, program->err, program->output_message);
    flush_output(program->err);
    finish_console(program->err_sink);
    if (program->exit_status == 0 && (program->out_sink->failed || program->err_sink->failed)) program->exit_status = 1;
    platform_exit(program->exit_status);
}

// Once the streams exist, a stop flushes what they hold before it says why (which erases the status
// line); when memory ran out, it says how much of the input had been read.
static void fail_with_streams(void* context, Str what, i32 out_of_memory) {
    Program* program = (Program*)context;
    begin_message(program->err);
    write_str(program->err, what);
    if (out_of_memory) {
        write_str(program->err, " after reading "_s);
        write_int(program->err, program->input.text.len);
        write_str(program->err, " bytes of input"_s);
    }
    put_byte(program->err, '\n');
    program->exit_status = 1;
    fail_set_handler(nullptr, nullptr);
    finish_and_exit(program);
}

static void bind_stream(Program* program, OsHandle handle, i32 is_console, StdSink** sink, Output** out) {
    *sink = (StdSink*)arena_alloc(&program->main_arena, 1, sizeof(StdSink), 8);
    (*sink)->handle = handle;
    (*sink)->is_console = is_console;
    *out = (Output*)arena_alloc(&program->main_arena, 1, sizeof(Output), 8);
    (*out)->sink = *sink;
    (*out)->flush_fn = sink_write;
}

// Help, version, an unknown argument and an option without what it needs are answered before any
// input is read: they use none.
static void answer_options(Program* program, Options options) {
    if (options.action == RUN) return;
    program->output_message = "standard output could not be written"_s;
    if (options.action == SHOW_HELP) write_help(program->out);
    if (options.action == SHOW_VERSION) {
        write_line(program->out, version_line);
        put_byte(program->out, '\n');
    }
    if (options.action == UNKNOWN_OPTION) {
        write_str(program->err, "Unknown CLI arg: '"_s);
        write_str(program->err, options.unknown);
        write_line(program->err, "'\n"_s);
        program->exit_status = 1;
    }
    if (options.action == OPTION_ERROR) {
        write_message(program->err, options.error);
        program->exit_status = 1;
    }
    finish_and_exit(program);
}

// A terminal on standard input is most often a pipe forgotten: the empty document is said, and how
// to give the program make's output.
static void say_console_input(Output* err) {
    begin_message(err);
    write_str(err, "standard input is a terminal, so nothing was read; pipe make's output in: make -Bwn | "_s);
    write_str(err, platform_program_name);
    write_line(err, " > compile_commands.json"_s);
}

// The command's own standard error, passed on as it comes. The status line waits while what was
// passed on ends within a line, so that it never lands in the middle of one; for good, when the
// command's standard error ends there.
static void pass_on_errors(Program* program) {
    static char piece[4096];
    i64 n = platform_read(program->command_errors, piece, sizeof piece);
    if (n <= 0) {
        platform_close_file(program->command_errors, 0);
        program->command_errors = nullptr;
        return;
    }
    write_str(program->err, Str{n, piece});
    flush_output(program->err);
    program->progress.held = piece[n - 1] != '\n';
}

// Lines are dispatched while the input arrives when a status line counts them; with the trace, whose
// first lines give the input's length, and for input in UTF-16, which is decoded whole, only at the end.
// A mark of UTF-8 is told from the first three bytes; dropping it takes no memory.
static void dispatch_arrived(Program* program, Str cwd) {
    Str raw = program->input.text;
    if (!program->progress.sink || raw.len < 3 || input_is_utf16(raw)) return;
    Dispatcher* d = &program->dispatcher;
    if (!d->out) dispatch_begin(d, cwd, &program->main_arena, program->out, program->err, 0);
    dispatch_available(d, input_as_utf8(raw, nullptr), 0);
}

static void show_progress(Program* program) {
    const Dispatcher* d = &program->dispatcher;
    progress_update(&program->progress, d->total_objects, program->input.text.len, Str{d->last_directory_len, d->last_directory});
}

// The input to its end, and the command's standard error too when it is passed on; the status line
// is brought up to date after each piece of either, so that it comes back soon after a line passed on.
static void read_input(Program* program, Arena* input_arena, Str cwd) {
    i32 open = program->reads_input;
    while (open || program->command_errors) {
        i32 ready = 2;
        if (open) ready = program->command_errors ? platform_wait_readable(program->in, program->command_errors) : 1;
        if (ready & 2) pass_on_errors(program);
        if (ready & 1) {
            open = read_input_piece(program->in, input_arena, &program->input) > 0;
            dispatch_arrived(program, cwd);
        }
        show_progress(program);
    }
}

// The run over the input; then the command's end, and the document's file settled.
[[noreturn]] static void run(Program* program, const Options* options, StrList args) {
    Str cwd = load_current_directory(&program->main_arena);
    i32 streaming = program->progress.sink != nullptr;
    Arena input_arena = streaming ? arena_split(&program->main_arena, &program->input_region) : program->main_arena;
    if (streaming) program->dispatcher.last_directory = program->progress.directory;
    read_input(program, &input_arena, cwd);
    if (options->command) platform_close_file(program->in, 0);
    progress_end(&program->progress);
    if (!streaming) program->main_arena = input_arena;
    Input input = program->input;
    Str text = input_as_utf8(input.text, &program->main_arena);
    if (options->verbose) write_preamble(program->err, args.head->value, cwd, args, text.len);
    if (!program->dispatcher.out) dispatch_begin(&program->dispatcher, cwd, &program->main_arena, program->out, program->err, options->verbose);
    i64 total = dispatch_available(&program->dispatcher, text, 1);
    if (options->verbose) write_closing_lines(program->err, total);
    if (input.read_failed) {
        Str what = options->command ? "the command's output could not be read to its end"_s
                                    : "standard input could not be read to its end"_s;
        write_failure(program->err, what, input.error);
        program->exit_status = 1;
    }
    if (input.on_console) say_console_input(program->err);
    i32 command_status = options->command ? command_finish(options->command->value, program->err) : 0;
    flush_output(program->out);
    i32 settled = destination_settle(&program->destination, program->out_sink, total, program->exit_status != 0,
                                     command_status != 0, &program->main_arena, program->err);
    if (command_status != 0) program->exit_status = command_status;
    else if (settled != 0) program->exit_status = settled;
    finish_and_exit(program);
}

// The document's file, and the input: standard input, or the output of the command that "--" names.
// A status line is kept when standard error is a console, no trace is written there and the document
// does not go to a console too, where its lines would run into the status line.
static void open_streams(Program* program, const Options* options) {
    OsHandle file = nullptr;
    if (!destination_open(&program->destination, options, &program->main_arena, program->err, &file)) {
        program->exit_status = 1;
        finish_and_exit(program);
    }
    if (file) {
        program->out_sink->handle = file;
        program->out_sink->is_console = 0;
    }
    if (program->err_sink->is_console && !program->out_sink->is_console && !options->verbose)
        progress_start(&program->progress, program->err_sink);
    if (!options->command) {
        OsHandle in = platform_std_handle(STD_INPUT);
        program->input.on_console = platform_is_console(in);
        program->in = in;
        program->reads_input = !program->input.on_console;
        return;
    }
    OsHandle* errors = program->progress.sink ? &program->command_errors : nullptr;
    i32 status = command_start(options->command, &program->main_arena, program->err, &program->in, errors);
    program->reads_input = 1;
    if (status != 0) {
        program->exit_status = status;
        finish_and_exit(program);
    }
}

// As much address space as the system gives, up to REGION_RESERVE.
static Arena reserve_memory(Region* region) {
    for (i64 size = REGION_RESERVE; size >= REGION_SMALLEST; size /= 2) {
        void* space = platform_reserve(size);
        if (space) return arena_over_region(region, space, size);
    }
    fail("no memory could be reserved for the program"_s);
}

[[noreturn]] void run_ferrule() {
    Program program = {};
    program.main_arena = reserve_memory(&program.region);
    program.output_message = "the compilation database could not be written completely"_s;
    OsHandle out = platform_std_handle(STD_OUTPUT);
    bind_stream(&program, out, platform_is_console(out), &program.out_sink, &program.out);
    OsHandle err = platform_std_handle(STD_ERROR);
    bind_stream(&program, err, platform_is_console(err), &program.err_sink, &program.err);
    fail_set_handler(fail_with_streams, &program);
    StrList args = load_arguments(&program.main_arena);
    Options options = handle_options(args, &program.main_arena);
    answer_options(&program, options);
    open_streams(&program, &options);
    run(&program, &options, args);
}
