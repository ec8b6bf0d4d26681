// Tests of the foundation: arena capacity and alignment, slices, cuts, lists and UTF-16 decoding.
#include <gtest/gtest.h>

#include "core/block.h"
#include "core/list.h"
#include "core/utf16.h"
#include "fake_platform.h"

namespace {

alignas(8) char block[4096];

Arena arena_with_free(i64 free_bytes) { return arena_over(block, free_bytes); }

TEST(Arena, RequestNeedsOneElementOfHeadroom) {
    struct Case { i64 free, count, size; bool fits; } cases[] = {
        {100, 99, 1, true}, {100, 100, 1, false}, {0, 0, 1, false}, {1, 0, 1, true},
        {80, 1, 40, true}, {79, 1, 40, false}, {100, 24, 4, true}, {100, 25, 4, false},
    };
    for (const Case& c : cases) {
        Arena a = arena_with_free(c.free);
        EXPECT_EQ(arena_fits(&a, c.count, c.size, 1), c.fits) << c.free << " " << c.count << " " << c.size;
    }
}

TEST(Arena, AlignmentPaddingCountsAgainstFreeSpace) {
    Arena a = arena_over(block, 64);
    arena_alloc(&a, 3, 1, 1);
    char* p = (char*)arena_alloc(&a, 2, 8, 8);
    EXPECT_EQ(p, block + 8);
    EXPECT_EQ(a.cur, block + 24);
    Arena tight = arena_over(block + 1, 24);  // 7 bytes of padding leave 16 usable
    EXPECT_FALSE(arena_fits(&tight, 2, 8, 8));
    EXPECT_TRUE(arena_fits(&tight, 1, 8, 8));
}

// Also where the memory was used before, as every line's scratch arena is.
TEST(Arena, BlocksAreZeroFilled) {
    Arena a = arena_over(block, 64);
    char* used = (char*)arena_alloc(&a, 32, 1, 1);
    memset(used, 0xAB, 32);
    arena_rewind(&a, used);
    char* p = (char*)arena_alloc(&a, 32, 1, 1);
    for (int i = 0; i < 32; i++) EXPECT_EQ(p[i], 0);
}

TEST(ArenaDeath, ExhaustionAndBadRewindStopTheProgram) {
    EXPECT_EXIT({ Arena a = arena_over(block, 10); arena_alloc(&a, 10, 1, 1); },
                testing::ExitedWithCode(1), "ferrule: out of memory\n");
    EXPECT_EXIT({ Arena a = arena_over(block, 10); arena_alloc(&a, -2, 1, 1); },
                testing::ExitedWithCode(1), "negative");
    EXPECT_EXIT({ Arena a = arena_over(block, 10); arena_rewind(&a, block + 5); },
                testing::ExitedWithCode(1), "outside");
}

// A test that passes in one byte of a block sets that byte's bit of the mask and no other.
TEST(Block, EachByteGivesItsOwnBit) {
    for (int lane = 0; lane < BLOCK_BYTES; lane++) {
        char bytes[BLOCK_BYTES] = {};
        bytes[lane] = 'x';
        EXPECT_EQ(block_mask(block_load(bytes, BLOCK_BYTES) == 'x'), 1u << lane) << lane;
        EXPECT_EQ(block_count_before(block_mask(block_load(bytes, BLOCK_BYTES) == 'x'), BLOCK_BYTES), lane);
    }
}

TEST(Str, SlicingClampsItsCounts) {
    Str s = "abcdef"_s;
    struct Case { Str got; i64 len; i64 offset; } cases[] = {
        {str_take(s, -1), 0, 0}, {str_take(s, 3), 3, 0}, {str_take(s, 99), 6, 0},
        {str_skip(s, 99), 0, 6}, {str_skip(s, -5), 6, 0}, {str_skip(s, 2), 4, 2},
        {str_drop_last(s, 99), 0, 0}, {str_drop_last(s, 2), 4, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got.len, c.len);
        EXPECT_EQ(c.got.data, s.data + c.offset);
    }
    EXPECT_EQ(str_take(Str{}, 3).data, nullptr);
}

TEST(Str, PrefixSuffixAndEmptyKinds) {
    Str with_data = {0, "x"};
    EXPECT_TRUE(str_starts_with(with_data, ""_s));
    EXPECT_FALSE(str_starts_with(Str{}, ""_s));
    EXPECT_TRUE(str_ends_with(with_data, ""_s));
    EXPECT_FALSE(str_ends_with(Str{}, ""_s));
    EXPECT_TRUE(str_equals(Str{}, with_data));
    EXPECT_FALSE(str_starts_with("ab"_s, "abc"_s));
    EXPECT_TRUE(str_ends_with("x.cpp"_s, ".cpp"_s));
}

TEST(Str, TrimStripAndFind) {
    EXPECT_EQ(str_trim(" \t\r\n"_s).len, 0);
    EXPECT_EQ(string_of(str_trim("\f a \v"_s)), "\f a \v");
    EXPECT_EQ(string_of(str_trim("  a b\r\n"_s)), "a b");
    EXPECT_EQ(str_strip_quotes("\""_s, "\""_s).len, 0);
    EXPECT_EQ(string_of(str_strip_quotes("ab\""_s, "\""_s)), "ab");
    EXPECT_EQ(string_of(str_strip_quotes("\"ab\""_s, "\""_s)), "ab");
    EXPECT_EQ(str_find_any("a/b\\c"_s, "/\\"_s), 1);
    EXPECT_EQ(str_find_any("abc"_s, "/\\"_s), -1);
    EXPECT_EQ(str_find_any(Str{}, "/"_s), -1);
}

TEST(Str, CutAtFirstByte) {
    Cut c = str_cut("ab\n"_s, '\n');
    EXPECT_TRUE(c.found);
    EXPECT_EQ(string_of(c.head), "ab");
    EXPECT_EQ(c.tail.len, 0);
    EXPECT_NE(c.tail.data, nullptr);
    Cut none = str_cut("abc"_s, '\n');
    EXPECT_FALSE(none.found);
    EXPECT_EQ(string_of(none.head), "abc");
    EXPECT_EQ(none.tail.data, nullptr);
    EXPECT_FALSE(str_cut(Str{0, "x"}, ' ').found);
    Cut first = str_cut(" x"_s, ' ');
    EXPECT_EQ(first.head.len, 0);
    EXPECT_NE(first.head.data, nullptr);
}

TEST(Str, NormalizeSlashes) {
    struct Case { const char* in; const char* out; } cases[] = {
        {"a\\\\b", "a/b"}, {"a\\\\\\b", "a//b"}, {"a\\ b", "a b"}, {"dir\\", "dir/"},
        {"plain/path", "plain/path"}, {"C:\\x\\y", "C:/x/y"}, {"", ""},
    };
    for (const Case& c : cases) {
        std::string bytes = c.in;
        EXPECT_EQ(string_of(str_normalize_slashes(str_of(bytes))), c.out) << c.in;
    }
}

TEST(Str, Versions) {
    struct Case { Str s; bool version; } cases[] = {
        {"12"_s, true}, {"4.9"_s, true}, {"10.2.1"_s, true}, {""_s, false}, {".5"_s, false},
        {"5."_s, false}, {"1..2"_s, false}, {"1a"_s, false}, {"win32"_s, false},
    };
    for (const Case& c : cases) EXPECT_EQ(str_is_version(c.s), c.version) << string_of(c.s);
}

TEST(Str, Cursor) {
    Cursor c = {"2>&1"_s, 1};
    EXPECT_FALSE(cursor_match(&c, ">>"_s));
    EXPECT_TRUE(cursor_match(&c, ">&"_s));
    EXPECT_EQ(c.pos, 3);
    Cursor beyond = {"ab"_s, 9};
    EXPECT_FALSE(cursor_match(&beyond, "a"_s));
    EXPECT_EQ(beyond.pos, 9);
}

TEST(List, AppendUnlinkAndPop) {
    Arena a = arena_over(block, 4096);
    StrList list = {};
    EXPECT_EQ(list_pop_front(&list).data, nullptr);
    for (Str s : {"a"_s, "b"_s, "c"_s}) list_append(&list, &a, s);
    EXPECT_EQ(list.head->next->prev, list.head);
    StrNode* middle = list.head->next;
    EXPECT_EQ(string_of(list_unlink(&list, middle)), "b");
    EXPECT_EQ(middle->value.data, nullptr);
    EXPECT_EQ(middle->next, nullptr);
    EXPECT_EQ(list.head->next, list.tail);
    EXPECT_EQ(list.tail->prev, list.head);
    Str tail = list_unlink(&list, list.tail);
    EXPECT_EQ(string_of(tail), "c");
    EXPECT_EQ(list.tail->next, nullptr);
    EXPECT_EQ(string_of(list_pop_front(&list)), "a");
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    for (Str s : {"x"_s, "y"_s}) list_append(&list, &a, s);
    EXPECT_EQ(string_of(list_pop_front(&list)), "x");
    EXPECT_EQ(list.head->prev, nullptr);
    EXPECT_EQ(list.head, list.tail);
}

void unlink_foreign_node() {
    Arena a = arena_over(block, 4096);
    StrList one = {}, other = {};
    list_append(&one, &a, "a"_s);
    list_append(&other, &a, "b"_s);
    list_unlink(&one, other.head);
}

TEST(ListDeath, UnlinkingAForeignNodeStops) {
    EXPECT_EXIT(unlink_foreign_node(), testing::ExitedWithCode(1), "corrupt list");
}

TEST(Utf16, DecodesPairsAndReplacesLoneSurrogates) {
    struct Case { std::u16string in; std::string out; } cases[] = {
        {u"abc", "abc"},
        {u"\u00e9", "\xC3\xA9"},
        {u"\u20ac", "\xE2\x82\xAC"},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{'a', 0xD83D}, "a\xEF\xBF\xBD"},
        {{0xDE00, 'b'}, "\xEF\xBF\xBD" "b"},
        {{0xD83D, 'x'}, "\xEF\xBF\xBDx"},
        {{0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {{0}, std::string(1, '\0')},
        {{0x7F}, "\x7F"}, {{0x80}, "\xC2\x80"}, {{0x7FF}, "\xDF\xBF"}, {{0x800}, "\xE0\xA0\x80"},
        {{0xD7FF}, "\xED\x9F\xBF"}, {{0xE000}, "\xEE\x80\x80"}, {{0xFFFF}, "\xEF\xBF\xBF"},
        {{0xD800, 0xDC00}, "\xF0\x90\x80\x80"}, {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& c : cases) {
        Arena a = arena_over(block, 256);
        Str got = utf16_to_utf8(&a, (const u16*)c.in.data(), (i64)c.in.size());
        EXPECT_EQ(string_of(got), c.out);
        EXPECT_EQ(a.cur, got.data + got.len) << "the room not used goes back to the arena";
        std::string big_endian;
        for (char16_t u : c.in) big_endian += {(char)(u >> 8), (char)(u & 0xFF)};
        EXPECT_EQ(string_of(utf16_bytes_to_utf8(&a, str_of(big_endian), UTF16_BIG_ENDIAN)), c.out);
    }
    // An odd last byte is a character of its own.
    for (Utf16Order order : {UTF16_LITTLE_ENDIAN, UTF16_BIG_ENDIAN}) {
        Arena a = arena_over(block, 256);
        std::string bytes = order == UTF16_LITTLE_ENDIAN ? std::string("a\0b", 3) : std::string("\0ab", 3);
        EXPECT_EQ(string_of(utf16_bytes_to_utf8(&a, str_of(bytes), order)), "a\xEF\xBF\xBD");
    }
    // A high surrogate that ends the units is unpaired, whatever lies after them.
    std::u16string pair = {0xD83D, 0xDE00};
    Arena cut = arena_over(block, 256);
    EXPECT_EQ(string_of(utf16_to_utf8(&cut, (const u16*)pair.data(), 1)), "\xEF\xBF\xBD");
    Arena a = arena_over(block, 256);
    Str none = utf16_to_utf8(&a, nullptr, 0);
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(a.cur, block);
}

}  // namespace
