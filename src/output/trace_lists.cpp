// The -v trace's memo of a line's word lists: later dumps of the same words are copied, not escaped.
#include "output/trace_lists.h"
#include "core/block.h"
#include "core/fast_paths.h"

void trace_lists_forget(TraceLists* lists) {
    if (lists) lists->count = 0;
}

// The memo's item lines of the list from first, at the given indentation; -1 (given up for the
// line) when they do not fit.
static void lists_render(TraceLists* lists, const StrNode* first, int8_t indent) {
    lists->count = -1;
    i64 n = 0;
    for (const StrNode* node = first; node; node = node->next, n++) {
        if (n == TRACE_LIST_ITEMS) return;
        lists->nodes[n] = node;
    }
    i64 spaces = 4 * (i64)indent;
    const StrNode* node = first;
    json_store_items(lists->text, lists->text + TRACE_LIST_TEXT - spaces - 4 - BLOCK_BYTES, &node, spaces, lists->ends, lists->text);
    if (node) return;
    lists->count = n;
    lists->indent = indent;
}

// Where the list stands in the memo: its first item, or -1 when it is no run of the memo's nodes.
// The lists of a line's words are those words with some taken out, in their order, and never hold
// other nodes: a list whose head and tail stand count - 1 apart in the memo is the run between.
static i64 lists_find(const TraceLists* lists, StrList list) {
    i64 k = 0;
    while (k < lists->count && lists->nodes[k] != list.head) k++;
    i64 last = k + list.count - 1;
    return last < lists->count && lists->nodes[last] == list.tail ? k : -1;
}

// Copies one indented line, or its start, as start_line and put_byte would write it: the buffer is
// flushed first when the indentation does not fit, and whenever it is full before the next byte.
static void copy_line(Output* out, const char* p, i64 n, i64 spaces) {
    if (spaces > OUTPUT_CAPACITY - out->length) flush_output(out);
    output_append(out, p, n);
}

// Writes the memo's lines [from, to) as the writers would: the lines that fit in the buffer are
// copied together, and a line that does not is copied as copy_line does. The last line loses its
// "," when more followed it in the memo.
static void lists_write(Output* out, const TraceLists* lists, i64 from, i64 to) {
    i64 spaces = 4 * (i64)lists->indent;
    i64 start = from > 0 ? lists->ends[from - 1] : 0;
    for (i64 i = from; i < to - 1;) {
        // The lines from i on that fit: all of them, most often, or as many as a search finds.
        i64 room = OUTPUT_CAPACITY - out->length, n = to - 1 - i;
        if (lists->ends[i + n - 1] - start > room) {
            i64 low = 0;  // the lines before low fit, and the line at n does not
            while (low < n) {
                i64 mid = (low + n) / 2;
                if (lists->ends[i + mid] - start <= room) low = mid + 1;
                else n = mid;
            }
        }
        if (n == 0) {
            n = 1;
            copy_line(out, lists->text + start, lists->ends[i] - start, spaces);
        } else {
            __builtin_memcpy(out->buffer + out->length, lists->text + start, (size_t)(lists->ends[i + n - 1] - start));
            out->length += lists->ends[i + n - 1] - start;
        }
        start = lists->ends[i + n - 1];
        i += n;
    }
    copy_line(out, lists->text + start, lists->ends[to - 1] - start - (to < lists->count ? 2 : 1), spaces);
    out->at_line_start = 0;
    put_byte(out, '\n');
}

// The general rule: every dump written anew.
static void trace_str_list_general(Output* out, TraceLists*, StrList list) { write_str_list(out, list); }

// The fast kernel: the first dump after trace_lists_forget is rendered into the memo, and each list
// that is a run of its nodes is copied from it. Those nodes stay linked, with their values, until the
// line ends, and so do the words' bytes. The bytes and the flushes are those of write_str_list.
static void trace_str_list_fast(Output* out, TraceLists* lists, StrList list) {
    if (!lists || list.count == 0) return write_str_list(out, list);
    write_line(out, "["_s);
    out->indent++;
    i64 from = -1;
    if (out->at_line_start && out->indent >= 0) {
        if (lists->count == 0) lists_render(lists, list.head, out->indent);
        from = lists->count > 0 && lists->indent == out->indent ? lists_find(lists, list) : -1;
    }
    if (from >= 0) lists_write(out, lists, from, from + list.count);
    else write_json_items(out, list.head);
    out->indent--;
    write_line(out, "]"_s);
}

void trace_str_list(Output* out, TraceLists* lists, StrList list) {
    fast_or_general(trace_str_list_fast, trace_str_list_general)(out, lists, list);
}
