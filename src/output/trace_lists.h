// The -v trace's memo of a line's word lists, so that the later dumps of a line copy their item lines
// instead of escaping the same words again.
#pragma once
#include "output/output.h"

enum { TRACE_LIST_ITEMS = 256, TRACE_LIST_TEXT = 8192 };

// The item lines of the first list dumped on a line (the line's words), kept for the later dumps of a
// run of the same nodes (a command's tokens, its arguments, the arguments of its one entry). The lists
// of a line share its words' nodes: recognition, parsing and the entries unlink nodes and hand the
// rest on, and never link other nodes in.
struct TraceLists {
    i64 count;                               // items kept; 0 before the first dump, -1 when they did not fit
    int8_t indent;                           // the indentation the lines have
    const StrNode* nodes[TRACE_LIST_ITEMS];  // the items' nodes, in list order
    i64 ends[TRACE_LIST_ITEMS];              // where each item's line ends in text, past its line feed
    char text[TRACE_LIST_TEXT];              // the lines, indented; all but the last end in ",\n"
};

// Forgets what was kept: a line's words keep their nodes and bytes only until the next line starts.
void trace_lists_forget(TraceLists* lists);

// The list dump of write_str_list, byte for byte and flush for flush, copied from the memo where the
// list is a run of what it keeps. With no memo (null), every dump is written anew.
void trace_str_list(Output* out, TraceLists* lists, StrList list);
