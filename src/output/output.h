// Buffered, indenting text output with JSON string escaping and list dumps.
#pragma once
#include "core/list.h"

enum { OUTPUT_CAPACITY = 2048, LIST_MEMO_ITEMS = 256, LIST_MEMO_TEXT = 8192 };

typedef void (*FlushFn)(void* sink, i64 length, const char* bytes);

// The item lines of the first list dumped on a line (the line's words), kept so that later dumps of
// a run of the same nodes (a command's tokens, its arguments, the arguments of its one entry) are
// copied rather than escaped again.
struct ListMemo {
    i64 count;                              // items kept; 0 before the first dump, -1 when they did not fit
    int8_t indent;                          // the indentation the lines have
    const StrNode* nodes[LIST_MEMO_ITEMS];  // the items' nodes, in list order
    i64 ends[LIST_MEMO_ITEMS];              // where each item's line ends in text, past its line feed
    char text[LIST_MEMO_TEXT];              // the lines, indented; all but the last end in ",\n"
};

// Created zero-filled, then bound to a sink; not at a line start until the first line feed.
struct Output {
    i64 length;                    // bytes waiting in buffer
    char buffer[OUTPUT_CAPACITY];  // pending output
    i32 at_line_start;             // 1 when the next byte begins a line
    int8_t indent;                 // nesting level, four spaces each; negative counts as 0
    void* sink;                    // handed to flush_fn, never looked at here
    FlushFn flush_fn;              // takes the buffered bytes
    ListMemo* list_memo;           // the list dumps' memo, or null for none
};

void put_byte(Output* out, u8 b);
void write_str(Output* out, Str s);
void write_line(Output* out, Str s);
void write_int(Output* out, i64 value);
void write_json_str(Output* out, Str s);
// A JSON value on a line of its own: the label as it is (such as an object key), the JSON string,
// "," when more items follow, and a line feed.
void write_json_item(Output* out, Str label, Str s, i32 more);
// The values of a list as the items of an array: one line each, all but the last followed by ",".
void write_json_items(Output* out, const StrNode* first);
// A list dump of the trace, ending its line: "[] (list empty)", or "[", the items one deeper, and "]".
void write_str_list(Output* out, StrList list);
// The words of a line keep their bytes only until the next line starts: the memo is forgotten there.
void list_memo_forget(Output* out);
void flush_output(Output* out);
