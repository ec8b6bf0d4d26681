// The status line: what it says, fitted to the console's width, and when it is drawn.
#include "driver/progress.h"
#include "core/utf16.h"
#include "core/fail.h"

void progress_start(Progress* progress, StdSink* sink) {
    progress->sink = sink;
    progress->next_draw = platform_clock_ms() + PROGRESS_FIRST_MS;
}

static void drop_bytes(void*, i64, const char*) {}

// The end of text that takes at most room columns, starting on a character.
static Str tail_within(Str text, i64 room) {
    i64 start = text.len, columns = 0;
    while (start > 0 && columns < room) {
        start--;
        if ((str_at(text, start) & 0xC0) != 0x80) columns++;
    }
    while (start < text.len && (str_at(text, start) & 0xC0) == 0x80) start++;
    return str_skip(text, start);
}

// "ferrule: N entries, M.m MB read, last in DIR", within room columns; a directory too long for them
// is shown by its end after "...", or left out when even that does not fit.
static Str status_text(Output* text, i64 entries, i64 bytes_read, Str directory, i64 room) {
    write_str(text, message_prefix);
    write_int(text, entries);
    write_str(text, entries == 1 ? " entry, "_s : " entries, "_s);
    i64 tenths = bytes_read * 10 >> 20;
    write_int(text, tenths / 10);
    put_byte(text, '.');
    put_byte(text, (u8)('0' + tenths % 10));
    write_str(text, " MB read"_s);
    // So far the text is ASCII: a byte is a column.
    if (text->length >= room) return Str{room, text->buffer};
    i64 left = room - text->length - 10;
    if (directory.len > 0 && left >= 12) {
        write_str(text, ", last in "_s);
        if (utf8_characters(directory) > left) {
            write_str(text, "..."_s);
            directory = tail_within(directory, left - 3);
        }
        write_str(text, directory);
    }
    return Str{text->length, text->buffer};
}

void progress_update(Progress* progress, i64 entries, i64 bytes_read, Str directory) {
    if (!progress->sink || progress->held) return;
    i64 now = platform_clock_ms();
    if (now < progress->next_draw) return;
    i32 width = platform_console_width(progress->sink->handle);
    if (width <= 1) width = 80;
    Output text = {};
    text.flush_fn = drop_bytes;
    Str line = status_text(&text, entries, bytes_read, directory, width - 1);
    if (progress->sink->status_columns && str_equals(line, Str{progress->shown_len, progress->shown})) return;
    __builtin_memcpy(progress->shown, line.data, (size_t)line.len);
    progress->shown_len = line.len;
    sink_show_status(progress->sink, line, width);
    progress->next_draw = now + PROGRESS_EVERY_MS;
}

void progress_end(Progress* progress) {
    if (progress->sink) sink_clear_status(progress->sink);
    progress->sink = nullptr;
}
