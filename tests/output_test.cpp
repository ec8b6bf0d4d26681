// Tests of the writers and the sinks: indentation, buffer edges, JSON escapes, list dumps, the
// console decoder and write failures.
#include <gtest/gtest.h>

#include <memory>

#include "core/list.h"
#include "fake_platform.h"
#include "output/output.h"
#include "output/trace_lists.h"
#include "output/sink.h"

namespace {

struct Capture {
    std::string bytes;
    std::vector<i64> flushes;  // length of every flush call
};

void capture_flush(void* sink, i64 length, const char* bytes) {
    Capture* c = (Capture*)sink;
    c->flushes.push_back(length);
    c->bytes.append(bytes, (size_t)length);
}

struct Bound {
    std::unique_ptr<Output> out = std::make_unique<Output>();
    Capture capture;
    Bound() {
        *out = Output{};
        out->sink = &capture;
        out->flush_fn = capture_flush;
    }
    std::string text() {
        flush_output(out.get());
        return capture.bytes;
    }
};

TEST(Output, IndentationIsWrittenAtTheFirstByteOfALine) {
    Bound b;
    b.out->indent = 1;
    write_str(b.out.get(), "a\nb"_s);
    b.out->indent = 2;
    write_str(b.out.get(), "\n\n"_s);
    b.out->indent = -1;
    put_byte(b.out.get(), 'x');
    EXPECT_EQ(b.out->indent, 0);
    EXPECT_EQ(b.text(), "a\n    b\n        \nx");
}

TEST(Output, FlushesAtTheBufferEdge) {
    Bound b;
    write_str(b.out.get(), str_of(std::string(2049, 'z')));
    ASSERT_EQ(b.capture.flushes.size(), 1u);
    EXPECT_EQ(b.capture.flushes[0], 2048);
    EXPECT_EQ(b.out->length, 1);

    Bound edge;
    write_str(edge.out.get(), str_of(std::string(2045, 'z') + "\n"));
    edge.out->indent = 1;
    put_byte(edge.out.get(), 'y');
    ASSERT_EQ(edge.capture.flushes.size(), 1u);
    EXPECT_EQ(edge.capture.flushes[0], 2046);
    EXPECT_EQ(edge.text().substr(2046), "    y");
}

TEST(Output, EmptyFlushStillCallsTheSink) {
    Bound b;
    flush_output(b.out.get());
    ASSERT_EQ(b.capture.flushes.size(), 1u);
    EXPECT_EQ(b.capture.flushes[0], 0);
}

TEST(Output, Integers) {
    struct Case { i64 v; const char* text; } cases[] = {
        {0, "0"}, {-1, "-1"}, {1234567890123, "1234567890123"},
        {INT64_MIN, "-9223372036854775808"}, {INT64_MAX, "9223372036854775807"},
    };
    for (const Case& c : cases) {
        Bound b;
        write_int(b.out.get(), c.v);
        EXPECT_EQ(b.text(), c.text);
    }
}

TEST(Output, JsonEscapes) {
    struct Case { std::string in; std::string out; } cases[] = {
        {"", "\"\""},
        {std::string("a\x01" "b"), "\"a\\u0001b\""},
        {"q\"b\\s/", "\"q\\\"b\\\\s/\""},
        {"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
        {"\x0b\x1b\x7f", "\"\\u000B\\u001B\x7f\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\xC3\xA9\xFF", "\"\xC3\xA9\xFF\""},
        {"0123456789abcdef\x80\xFF\x7F ~!", "\"0123456789abcdef\x80\xFF\x7F ~!\""},
        {"01234567-9\"bcdef", "\"01234567-9\\\"bcdef\""},
        {"0123456789abcde\x1f", "\"0123456789abcde\\u001F\""},
        {"abcdefg\\", "\"abcdefg\\\\\""},
        {"\x21\x21\x21\x21\x21\x21\x21\x01", "\"!!!!!!!\\u0001\""},
    };
    for (const Case& c : cases) {
        Bound b;
        write_json_str(b.out.get(), str_of(c.in));
        EXPECT_EQ(b.text(), c.out);
    }
}

TEST(Output, JsonStringAcrossTheBufferEdge) {
    for (size_t before : {2030ul, 2040ul, 2045ul, 2047ul}) {
        Bound b;
        write_str(b.out.get(), str_of(std::string(before, 'z')));
        std::string value = "ab\"cd\\ef\x01gh-0123456789-\t";
        write_json_str(b.out.get(), str_of(value));
        ASSERT_EQ(b.capture.flushes.size(), 1u) << before;
        EXPECT_EQ(b.capture.flushes[0], 2048);
        EXPECT_EQ(b.text(), std::string(before, 'z') + "\"ab\\\"cd\\\\ef\\u0001gh-0123456789-\\t\"");
    }
}

// Every writer, near the buffer's edge, against the general rule: the same bytes put one at a time
// with put_byte, escaped one at a time. Texts of every length up to 48, plain or with a byte to
// escape (or a line feed) first, in the middle or last, and a few longer ones that end in escapes, at
// every fill level from 1,990 (or where their longest escape needs the room) to 2,048, at a
// line start or not, indented by 12 or 20 spaces or by none; the bytes and the flushes must be the same. Texts of nothing but
// six-byte escapes start where their longest form begins to need the room.
std::string json_escaped(const std::string& s) {
    std::string e = "\"";
    for (unsigned char c : s) {
        char hex[8];
        snprintf(hex, sizeof hex, "\\u%04X", c);
        e += c == '"' ? "\\\"" : c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : c < 0x20 ? hex : std::string(1, (char)c);
    }
    return e + "\"";
}

TEST(Output, EveryWriterNearTheBufferEdgeWritesWhatPutByteWould) {
    alignas(8) static char block[1024];
    enum { STR, LINE, JSON_STR, JSON_ITEM, JSON_ITEMS };
    std::vector<std::pair<std::string, int>> texts;  // each with the first fill level it is written at
    for (int n = 0; n <= 48; n++) {
        texts.push_back({std::string(n, 'x'), 1990});
        texts.push_back({std::string(n, '\x01'), std::min(1990, OUTPUT_CAPACITY - 6 * n - 40)});
        for (char special : {'"', '\\', '\x01', '\n', '\t'})
            for (int at : {0, n / 2, n - 1})
                if (n > 0) texts.push_back({std::string(at, 'x') + special + std::string(n - 1 - at, 'y'), 1990});
    }
    for (int n : {64, 65, 130})  // texts escaped in more than one piece
        texts.push_back({std::string(n - 3, 'x') + "\"\x01\\", OUTPUT_CAPACITY - 6 * n - 40});
    for (int writer : {STR, LINE, JSON_STR, JSON_ITEM, JSON_ITEMS}) {
        for (const auto& [text, first_fill] : texts) {
            for (int fill = first_fill; fill <= OUTPUT_CAPACITY; fill++) {
                for (bool line_start : {false, true}) {
                    std::string before = std::string(fill - line_start, 'z') + (line_start ? "\n" : "");
                    std::string label = "\"" + std::string(fill % 23, 'k') + "\": ";  // 4 to 26 bytes
                    std::string expected = writer == STR ? text : writer == LINE ? text + "\n"
                        : writer == JSON_STR ? json_escaped(text) : writer == JSON_ITEM ? label + json_escaped(text) + ",\n"
                        : json_escaped(text) + ",\n" + json_escaped("ab") + "\n";
                    Bound fast, general;
                    for (Bound* b : {&fast, &general}) {
                        write_str(b->out.get(), str_of(before));
                        b->out->indent = fill % 2 ? (fill % 4 == 3 ? 5 : 3) : 0;  // at 0 a line feed adds no indentation
                    }
                    for (char c : expected) put_byte(general.out.get(), (u8)c);
                    Arena a = arena_over(block, sizeof block);
                    StrList items = {};
                    list_append(&items, &a, str_of(text));
                    list_append(&items, &a, "ab"_s);
                    if (writer == STR) write_str(fast.out.get(), str_of(text));
                    if (writer == LINE) write_line(fast.out.get(), str_of(text));
                    if (writer == JSON_STR) write_json_str(fast.out.get(), str_of(text));
                    if (writer == JSON_ITEM) write_json_item(fast.out.get(), str_of(label), str_of(text), 1);
                    if (writer == JSON_ITEMS) write_json_items(fast.out.get(), items.head);
                    for (Bound* b : {&fast, &general}) {
                        b->out->indent = 1;  // a byte after a line feed shows the line start as 4 spaces
                        put_byte(b->out.get(), '.');
                    }
                    std::string what = "writer " + std::to_string(writer) + " fill " + std::to_string(fill) + " " + testing::PrintToString(text);
                    ASSERT_EQ(fast.capture.flushes, general.capture.flushes) << what;
                    ASSERT_EQ(fast.text(), general.text()) << what;
                }
            }
        }
    }
}

TEST(Output, ListDumps) {
    alignas(8) static char block[1024];
    Arena a = arena_over(block, sizeof block);
    StrList list = {};
    Bound empty;
    write_str_list(empty.out.get(), list);
    EXPECT_EQ(empty.text(), "[] (list empty)\n");
    list_append(&list, &a, "gcc"_s);
    list_append(&list, &a, "-c"_s);
    Bound b;
    write_str(b.out.get(), "Tokens: "_s);
    write_str_list(b.out.get(), list);
    EXPECT_EQ(b.text(), "Tokens: [\n    \"gcc\",\n    \"-c\"\n]\n");
    EXPECT_EQ(b.out->indent, 0);
}

// The trace's memo writes what write_str_list writes, byte for byte and flush for flush, for a line's
// words and then for the lists that recognition and parsing make of them: runs of the same nodes (one
// unlinked at the front, the front cut off), a list with a node unlinked inside, and a list of other
// nodes; after a label and at a negative level; at the edges of what the memo keeps (256 items, 8 KiB
// of lines) and from buffer fills around a flush.
TEST(TraceLists, WriteWhatTheListWriterWrites) {
    alignas(8) static char block[1 << 16];
    static TraceLists lists;
    struct Case { int items, length; } cases[] = {{255, 1}, {256, 1}, {257, 1}, {190, 30}, {197, 27}, {197, 28}, {197, 29}, {197, 30}};
    for (const Case& c : cases) {
        for (int fill : {0, 1000, 2030, 2047}) {
            Bound with_memo, without;
            for (Bound* b : {&with_memo, &without}) {
                write_str(b->out.get(), str_of(std::string(fill, 'z') + "\n"));
                b->out->indent = 1;
            }
            trace_lists_forget(&lists);
            std::vector<std::string> texts;
            for (int i = 0; i < c.items; i++) texts.push_back(std::string(c.length, (char)('a' + i % 26)) + (i % 7 ? "" : "\""));
            Arena a = arena_over(block, sizeof block);
            StrList words = {}, others = {};
            for (const std::string& t : texts) list_append(&words, &a, str_of(t));
            for (const std::string& t : texts) list_append(&others, &a, str_of(t));
            auto both = [&](StrList list) {
                trace_str_list(with_memo.out.get(), &lists, list);
                write_str_list(without.out.get(), list);
            };
            both(words);
            list_pop_front(&words);
            both(words);
            StrList front = list_cut_before(&words, words.head->next->next, 2);
            both(front);
            both(words);
            list_unlink(&words, words.head->next);
            both(words);
            both(others);
            for (Bound* b : {&with_memo, &without}) write_str(b->out.get(), "Tokens: "_s);
            both(words);
            for (int indent : {0, -1}) {
                for (Bound* b : {&with_memo, &without}) b->out->indent = (int8_t)indent;
                both(front);
            }
            std::string what = std::to_string(c.items) + " items of " + std::to_string(c.length) + ", fill " + std::to_string(fill);
            ASSERT_EQ(with_memo.capture.flushes, without.capture.flushes) << what;
            ASSERT_EQ(with_memo.text(), without.text()) << what;
        }
    }
}

// A sink over the fake system's standard output.
struct SinkFixture : testing::Test {
    std::unique_ptr<StdSink> sink = std::make_unique<StdSink>();
    FakeStream* stream;
    void SetUp() override {
        fake_reset();
        stream = &fake.streams[STD_OUTPUT];
        *sink = StdSink{};
        sink->handle = stream;
    }
    void write(const std::string& bytes) { sink_write(sink.get(), (i64)bytes.size(), bytes.data()); }
    std::u16string console_after_exit() {
        finish_console(sink.get());
        return stream->console;
    }
};

TEST_F(SinkFixture, FileBytesPassUnchangedThroughShortWrites) {
    stream->chunk_limit = 3;
    write(std::string("ab\xC0\x80\xFF" "cdefg"));
    EXPECT_EQ(stream->bytes, std::string("ab\xC0\x80\xFF" "cdefg"));
    EXPECT_EQ(stream->calls, 4);
    EXPECT_FALSE(sink->failed);
}

TEST_F(SinkFixture, AFailedWriteIsStickyAndDropsTheRest) {
    stream->fail_after = 4;
    write("abcdefgh");
    write("more");
    EXPECT_EQ(stream->bytes, "abcd");
    EXPECT_TRUE(sink->failed);
    long calls = stream->calls;
    write("again");
    EXPECT_EQ(stream->calls, calls);
}

TEST_F(SinkFixture, ConsoleDecodesUtf8WithReplacements) {
    struct Case { std::string in; std::u16string out; } cases[] = {
        {"a\xC3\xA9", u"a\u00e9"},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\xC0\x80", u"\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xE2\x82", u"\uFFFD\uFFFD"},
        {"\x80z", u"\uFFFDz"},
        {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"},
        {"\x7F\xC2\x80", u"\u007F\u0080"}, {"\xDF\xBF\xE0\xA0\x80", u"\u07FF\u0800"},
        {"\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000"}, {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}}, {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"\xC1\xBF", u"\uFFFD\uFFFD"}, {"\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        SetUp();
        sink->is_console = 1;
        write(c.in);
        EXPECT_EQ(console_after_exit(), c.out) << c.in;
    }
}

TEST_F(SinkFixture, ACharacterSplitAcrossWritesIsJoined) {
    sink->is_console = 1;
    write("x\xF0\x9F");
    write("\x98");
    write("\x80y\xE2");
    EXPECT_EQ(stream->console, u"");
    write("\x82\xAC");
    EXPECT_EQ(console_after_exit(), (std::u16string{'x', 0xD83D, 0xDE00, 'y', 0x20AC}));
}

// A character of every length and lead-byte range, cut by the writer's flush after each of its bytes.
TEST_F(SinkFixture, ACharacterCutByAFlushIsJoinedAfterEveryByte) {
    struct Case { std::string bytes; std::u16string units; } cases[] = {
        {"\xC2\x80", u"\u0080"}, {"\xDF\xBF", u"\u07FF"}, {"\xE0\xA0\x80", u"\u0800"},
        {"\xED\x9F\xBF", u"\uD7FF"}, {"\xEF\xBF\xBF", u"\uFFFF"}, {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
    };
    for (const Case& c : cases) {
        for (size_t cut = 1; cut < c.bytes.size(); cut++) {
            SetUp();
            sink->is_console = 1;
            Output out = {};
            out.sink = sink.get();
            out.flush_fn = sink_write;
            std::string before(OUTPUT_CAPACITY - cut, 'x');
            write_str(&out, str_of(before + c.bytes + "y"));
            flush_output(&out);
            std::u16string shown(before.begin(), before.end());
            EXPECT_EQ(console_after_exit(), shown + c.units + u"y") << testing::PrintToString(c.bytes) << " cut after " << cut;
        }
    }
}

TEST_F(SinkFixture, ASplitThatCannotCompleteIsReplacedByteByByte) {
    sink->is_console = 1;
    write("\xE2\x82");
    write("z");
    write("\xF0\x9F");
    EXPECT_EQ(console_after_exit(), u"\uFFFD\uFFFDz\uFFFD\uFFFD");
}

TEST_F(SinkFixture, StagingFlushesAtItsEdge) {
    sink->is_console = 1;
    write(std::string(2047, 'a'));
    write("\xF0\x9F\x98\x80");
    EXPECT_EQ(stream->console.size(), 2047u);
    EXPECT_EQ(sink->unit_count, 2);

    SetUp();
    sink->is_console = 1;
    write(std::string(2048, 'a'));
    EXPECT_EQ(stream->console.size(), 0u);
    write("b");
    EXPECT_EQ(stream->console.size(), 2048u);
}

TEST_F(SinkFixture, ShortConsoleWriteFails) {
    sink->is_console = 1;
    stream->chunk_limit = 1;
    write("ab");
    finish_console(sink.get());
    EXPECT_TRUE(sink->failed);
    EXPECT_EQ(sink->unit_count, 0);
}

TEST_F(SinkFixture, NotAConsoleNeverCallsTheConsole) {
    write("abc");
    finish_console(sink.get());
    EXPECT_EQ(stream->console, u"");
    EXPECT_EQ(stream->bytes, "abc");
}

}  // namespace
