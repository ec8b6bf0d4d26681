// Buffered, indenting text output with JSON string escaping and list dumps.
#pragma once
#include "core/list.h"

enum { OUTPUT_CAPACITY = 2048 };

typedef void (*FlushFn)(void* sink, i64 length, const char* bytes);

// Created zero-filled, then bound to a sink; not at a line start until the first line feed.
struct Output {
    i64 length;                    // bytes waiting in buffer
    char buffer[OUTPUT_CAPACITY];  // pending output
    i32 at_line_start;             // 1 when the next byte begins a line
    int8_t indent;                 // nesting level, four spaces each; negative counts as 0
    void* sink;                    // handed to flush_fn, never looked at here
    FlushFn flush_fn;              // takes the buffered bytes
};

void put_byte(Output* out, u8 b);
void write_str(Output* out, Str s);
void write_line(Output* out, Str s);
void write_int(Output* out, i64 value);
void write_bool_line(Output* out, i32 value);
void write_json_str(Output* out, Str s);
void write_json_line(Output* out, Str s);
// A JSON value on a line of its own: the label as it is (such as an object key), the JSON string,
// "," when more items follow, and a line feed.
void write_json_item(Output* out, Str label, Str s, i32 more);
// The values of a list as the items of an array: one line each, all but the last followed by ",".
void write_json_items(Output* out, const StrNode* first);
void write_str_list(Output* out, const StrNode* first, i64 count);
void flush_output(Output* out);
