// Opening the document's file before the run and settling it after.
#include "driver/destination.h"
#include "driver/messages.h"

static void write_count(Output* err, i64 n, Str one, Str many) {
    write_int(err, n);
    write_str(err, n == 1 ? one : many);
}

// "ferrule: FILE" and what follows, the reason after it when the system has one.
static void say_about_file(Output* err, Str path, Str what, i64 error) {
    Str reason = system_reason(error);
    begin_message(err);
    write_str(err, path);
    write_str(err, what);
    if (reason.len > 0) write_str(err, ": "_s);
    write_line(err, reason);
}

// The file's entries, which must be a database to merge into; a missing file is an empty one.
static i32 read_old_entries(Destination* d, Arena* arena, Output* err) {
    if (!d->file.existed) return 1;
    Str text = {};
    i32 read = platform_read_file(d->file.target, arena, &text);
    if (read < 0) {
        say_about_file(err, d->file.path, " could not be read"_s, platform_last_error());
        return 0;
    }
    DatabaseProblem problem = {};
    if (read == 0 || database_read(text, arena, &d->old, &problem)) return 1;
    begin_message(err);
    write_str(err, d->file.path);
    put_byte(err, ':');
    write_int(err, problem.line);
    put_byte(err, ':');
    write_int(err, problem.column);
    write_str(err, ": "_s);
    write_line(err, problem.what);
    return 0;
}

i32 destination_open(Destination* d, const Options* options, Arena* arena, Output* err, OsHandle* handle) {
    *d = Destination{};
    Str path = options->output_given ? options->output : default_database;
    if ((options->output_given || !options->command) && (!options->output_given || str_equals(path, "-"_s))) return 1;
    d->to_file = 1;
    d->append = options->append;
    d->file = database_file_at(path, arena);
    if (d->append && !read_old_entries(d, arena, err)) return 0;
    if (!database_file_begin(&d->file, STOP_SLOT_DOCUMENT, arena)) {
        say_about_file(err, path, " could not be written"_s, d->file.error);
        return 0;
    }
    *handle = d->file.handle;
    return 1;
}

// This run's document, read back from its new file, merged with the file's entries into a second
// new file, which then replaces the file. The number of entries the file then holds, or -1.
static i64 replace_merged(Destination* d, Arena* arena, Output* err) {
    Str text = {};
    Database fresh = {};
    DatabaseProblem problem = {};
    if (platform_read_file(d->file.temp, arena, &text) != 1 || !database_read(text, arena, &fresh, &problem)) {
        say_about_file(err, d->file.path, " could not be written"_s, platform_last_error());
        return -1;
    }
    d->merged = d->file;
    DatabaseFile& merged = d->merged;
    if (!database_file_begin(&merged, STOP_SLOT_MERGED, arena)) {
        say_about_file(err, d->file.path, " could not be written"_s, merged.error);
        return -1;
    }
    StdSink* sink = (StdSink*)arena_alloc(arena, 1, sizeof(StdSink), 8);
    sink->handle = merged.handle;
    Output* out = (Output*)arena_alloc(arena, 1, sizeof(Output), 8);
    out->sink = sink;
    out->flush_fn = sink_write;
    i64 count = database_write_merged(out, &d->old, &fresh, arena);
    flush_output(out);
    if (sink->failed || !database_file_commit(&merged, STOP_SLOT_MERGED)) {
        if (sink->failed) database_file_abandon(&merged, STOP_SLOT_MERGED);
        say_about_file(err, d->file.path, " could not be written"_s, sink->failed ? sink->error : merged.error);
        return -1;
    }
    database_file_abandon(&d->file, STOP_SLOT_DOCUMENT);
    return count;
}

i32 destination_settle(Destination* d, StdSink* sink, i64 entries, i32 run_failed, i32 command_failed, Arena* arena,
                       Output* err) {
    if (!d->to_file) return 0;
    if (run_failed || sink->failed) {
        destination_abandon(d);
        return 1;
    }
    if (entries == 0 && (d->file.existed || command_failed)) {
        destination_abandon(d);
        if (d->file.existed) say_about_file(err, d->file.path, " was kept as it was: the run found no entries"_s, 0);
        return 1;
    }
    i64 held = entries;
    if (d->append && d->file.existed) {
        held = replace_merged(d, arena, err);
        if (held < 0) {
            destination_abandon(d);
            return 1;
        }
    } else if (!database_file_commit(&d->file, STOP_SLOT_DOCUMENT)) {
        say_about_file(err, d->file.path, " could not be written"_s, d->file.error);
        return 1;
    }
    begin_message(err);
    write_str(err, d->file.path);
    write_str(err, " now holds "_s);
    write_count(err, held, " entry"_s, " entries"_s);
    put_byte(err, '\n');
    return 0;
}

void destination_abandon(Destination* d) {
    if (!d->to_file) return;
    database_file_abandon(&d->file, STOP_SLOT_DOCUMENT);
    database_file_abandon(&d->merged, STOP_SLOT_MERGED);
}
