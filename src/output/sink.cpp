// Standard-stream sinks: WriteFile-style byte writes, and UTF-16 staged for the console.
#include "output/sink.h"
#include "core/utf16.h"

// The first failure is kept with the system's reason; a write that moved nothing gave none.
static void sink_fail(StdSink* sink, i32 call_failed) {
    sink->failed = 1;
    sink->error = call_failed ? platform_last_error() : 0;
}

static void write_bytes(StdSink* sink, i64 length, const char* p) {
    while (length > 0) {
        if (sink->failed) return;
        i32 n = length < 2147483647 ? (i32)length : 2147483647;
        i32 written = 0;
        if (!platform_write(sink->handle, p, n, &written)) return sink_fail(sink, 1);
        if (written <= 0) return sink_fail(sink, 0);
        p += written;
        length -= written;
    }
}

static void stage(StdSink* sink, const Utf8Char* d) {
    if (sink->failed) return;
    if (CONSOLE_UNITS - sink->unit_count < d->unit_count) flush_console(sink);
    for (i64 i = 0; i < d->unit_count; i++) sink->units[sink->unit_count++] = d->units[i];
}

// Completes a character cut off by the previous call with the first bytes of this one;
// returns how many of this call's bytes it took.
static i64 resume_pending(StdSink* sink, i64 length, const u8* p) {
    i64 taken = 0;
    while (sink->pending_count > 0) {
        u8 window[4];
        i64 have = sink->pending_count;
        for (i64 i = 0; i < have; i++) window[i] = sink->pending[i];
        i64 more = 4 - have < length - taken ? 4 - have : length - taken;
        for (i64 i = 0; i < more; i++) window[have + i] = p[taken + i];
        Utf8Char d = utf8_decode(window, have + more);
        if (d.status == INCOMPLETE) {
            for (i64 i = 0; i < more; i++) sink->pending[have + i] = window[have + i];
            sink->pending_count = have + more;
            return taken + more;
        }
        stage(sink, &d);
        if (d.used >= have) {
            sink->pending_count = 0;
            taken += d.used - have;
        } else {
            for (i64 i = d.used; i < have; i++) sink->pending[i - d.used] = sink->pending[i];
            sink->pending_count = have - d.used;
        }
    }
    return taken;
}

static void write_console(StdSink* sink, i64 length, const u8* p) {
    i64 taken = resume_pending(sink, length, p);
    p += taken;
    length -= taken;
    while (length > 0) {
        if (sink->failed) return;
        Utf8Char d = utf8_decode(p, length);
        if (d.status == INCOMPLETE) {
            // An incomplete character is shorter than four bytes.
            for (i64 i = 0; i < length && i < 3; i++) sink->pending[i] = p[i];
            sink->pending_count = length;
            return;
        }
        stage(sink, &d);
        p += d.used;
        length -= d.used;
    }
}

// What the status line leaves: with the erasing sequence, nothing past the cursor; else blanks over
// the rest of the columns it was drawn over, from column.
static void blank_rest(StdSink* sink, i64 column, i32 columns) {
    if (platform_console_erases) return write_console(sink, 3, (const u8*)"\x1b[K");
    for (; column < columns - 1; column++) write_console(sink, 1, (const u8*)" ");
}

// What takes the status line off the console: back to the margin and erase to the end of the line,
// or blanks over the columns it was drawn over and back again.
static Str status_erasure(char (&room)[STOP_NOTE_BYTES], i32 columns) {
    if (platform_console_erases) return "\r\x1b[K"_s;
    i64 n = 0;
    room[n++] = '\r';
    for (i64 column = 0; column < columns - 1 && n < STOP_NOTE_BYTES - 1; column++) room[n++] = ' ';
    room[n++] = '\r';
    return Str{n, room};
}

// A stop meanwhile takes the line off too.
void sink_show_status(StdSink* sink, Str text, i32 columns) {
    write_console(sink, 1, (const u8*)"\r");
    write_console(sink, text.len, (const u8*)text.data);
    blank_rest(sink, utf8_characters(text), columns);
    sink->status_columns = columns;
    flush_console(sink);
    static char room[STOP_NOTE_BYTES];
    platform_write_when_stopped(status_erasure(room, columns));
}

void sink_clear_status(StdSink* sink) {
    if (sink->status_columns == 0) return;
    static char room[STOP_NOTE_BYTES];
    Str erasure = status_erasure(room, sink->status_columns);
    write_console(sink, erasure.len, (const u8*)erasure.data);
    sink->status_columns = 0;
    platform_write_when_stopped(Str{});
    flush_console(sink);
}

void sink_write(void* opaque, i64 length, const char* bytes) {
    StdSink* sink = (StdSink*)opaque;
    if (sink->status_columns) sink_clear_status(sink);
    if (sink->is_console) write_console(sink, length, (const u8*)bytes);
    else write_bytes(sink, length, bytes);
}

void flush_console(StdSink* sink) {
    if (!sink->is_console || sink->unit_count == 0 || sink->failed) return;
    i32 count = (i32)sink->unit_count;
    i32 written = 0;
    i32 ok = platform_write_console(sink->handle, sink->units, count, &written);
    sink->unit_count = 0;
    if (!ok || written != count) sink_fail(sink, !ok);
}

void finish_console(StdSink* sink) {
    if (sink->is_console && !sink->failed) {
        Utf8Char replacement = {REJECTED, {0xFFFD, 0}, 1, 1};
        for (i64 i = 0; i < sink->pending_count; i++) stage(sink, &replacement);
    }
    sink->pending_count = 0;
    flush_console(sink);
}
