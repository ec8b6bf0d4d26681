// Buffered, indenting text output with JSON string escaping and list dumps.
#pragma once
#include "core/list.h"

// The buffer is handed on OUTPUT_CAPACITY bytes at a time; the item writer may store past that into
// the slack, and then hands on those bytes and moves the rest to the front.
enum { OUTPUT_CAPACITY = 2048, OUTPUT_SLACK = 512 };

typedef void (*FlushFn)(void* sink, i64 length, const char* bytes);

// Created zero-filled, then bound to a sink; not at a line start until the first line feed.
struct Output {
    i64 length;                                  // bytes waiting in buffer
    char buffer[OUTPUT_CAPACITY + OUTPUT_SLACK];  // pending output: at most OUTPUT_CAPACITY bytes between writes
    i32 at_line_start;                           // 1 when the next byte begins a line
    int8_t indent;                               // nesting level, four spaces each; negative counts as 0
    void* sink;                                  // handed to flush_fn, never looked at here
    FlushFn flush_fn;                            // takes the buffered bytes
};

// The rule every writer follows: the indentation before the first byte of a line, then the byte,
// the buffer handed to the sink first whenever it is full.
void put_byte(Output* out, u8 b);
void write_str(Output* out, Str s);
void write_line(Output* out, Str s);
void write_int(Output* out, i64 value);
// The decimal form of value, "-" first when it is negative, at dst (room for 20 bytes); returns its end.
char* format_int(char* dst, i64 value);
void write_json_str(Output* out, Str s);
// A JSON value on a line of its own: the label as it is (such as an object key), the JSON string,
// "," when more items follow, and a line feed.
void write_json_item(Output* out, Str label, Str s, i32 more);
// The values of a list as the items of an array: one line each, all but the last followed by ",".
void write_json_items(Output* out, const StrNode* first);
// A list dump of the trace, ending its line: "[] (list empty)", or "[", the items one deeper, and "]".
void write_str_list(Output* out, StrList list);
void flush_output(Output* out);
// Appends bytes that start no line and hold no line feed, as put_byte would: the buffer is handed to
// the sink whenever it is full before the next byte.
void output_append(Output* out, const char* p, i64 n);
// The spaces of the current line's indentation; a negative level counts as 0, and becomes it.
i64 output_indentation(Output* out);

// For writers that store whole lines straight into a buffer (the trace's memo of word lists): stores
// the item lines of write_json_items from *node on, each indented by spaces, while the room before
// limit holds the next one with every byte at its longest escape. Notes where each line ends (as an
// offset from base) when ends is given, and returns the end of the last; *node is the first not stored.
char* json_store_items(char* dst, const char* limit, const StrNode** node, i64 spaces, i64* ends, const char* base);
