// Tests of shell splitting: raw words and what they consume, finished words, and agreement with
// a real POSIX shell on the syntax both read alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "fake_platform.h"
#include "shell/scanner.h"
#include "shell/unquote.h"

namespace {

alignas(8) char block[1 << 20];

struct Raw {
    std::string text;
    i64 consumed;
    bool ends_line;
    bool operator==(const Raw&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Raw& r) {
    return os << "{" << testing::PrintToString(r.text) << ", " << r.consumed << ", " << r.ends_line << "}";
}

// Every raw word of the first command, as split_shell_line would cut them, and the rest.
std::vector<Raw> scan_command(const std::string& input, std::string* rest) {
    std::vector<Raw> words;
    Str s = str_of(input);
    OrdinaryMarks marks = {};
    WordCuts cuts;
    for (;;) {
        RawWord w = scan_raw_word(s, &marks, &cuts);
        words.push_back({string_of(w.text), w.consumed, w.ends_line != 0});
        s = str_skip(s, w.consumed);
        if (w.ends_line || s.len == 0) break;
    }
    *rest = string_of(s);
    return words;
}

std::vector<std::string> split(const std::string& input, std::string* rest = nullptr) {
    std::string copy = input;
    Arena a = arena_over(block, sizeof block);
    StrList list = {};
    Str s = str_of(copy);
    split_shell_line(&s, &a, &list);
    if (rest) *rest = string_of(s);
    std::vector<std::string> words;
    for (StrNode* n = list.head; n; n = n->next) words.push_back(string_of(n->value));
    return words;
}

TEST(Scanner, RawWordsAndWhatTheyConsume) {
    struct Case { std::string in; std::vector<Raw> words; std::string rest; } cases[] = {
        {"gcc -c a.c -o a.o\nnext", {{"gcc", 4, 0}, {"-c", 3, 0}, {"a.c", 4, 0}, {"-o", 3, 0}, {"a.o", 4, 1}}, "next"},
        {"gcc 2>&1 >out\n", {{"gcc", 4, 0}, {"2>&", 3, 0}, {"1", 2, 0}, {">", 1, 0}, {"out", 4, 1}}, ""},
        {"x # note\nnext", {{"x", 2, 0}, {"", 6, 1}}, "\nnext"},
        {"x #c\r\nnext", {{"x", 2, 0}, {"", 3, 1}}, "\nnext"},
        {"# c\rgcc x.c\nnext", {{"", 11, 1}}, "\nnext"},
        {"a\rb", {{"a", 2, 1}}, "b"},
        {"a\r\nb", {{"a", 3, 1}}, "b"},
        {"echo it's\nnext 'x'\n", {{"echo", 5, 0}, {"it's", 5, 1}}, "next 'x'\n"},
        {"if free doesn't work\ngcc", {{"if", 3, 0}, {"free", 5, 0}, {"doesn't work", 13, 1}}, "gcc"},
        {"echo \"abc\nnext\"", {{"echo", 5, 0}, {"\"abc", 5, 1}}, "next\""},
        {"{ v=$(x); echo '#'d \\\"\"${v}\"\\\"; } > f\ngcc", {{"{ v=$(x); echo '#'d \\\"\"${v}\"\\\"; } > f", 38, 1}}, "gcc"},
        {"'a\\\nb' \"c\\\nd\" $(e\\\r\nf) g\n", {{"'a\\\nb'", 7, 0}, {"\"c\\\nd\"", 7, 0}, {"$(e\\\r\nf)", 9, 0}, {"g", 2, 1}}, ""},
        {"'a\r\nb", {{"'a\r", 4, 1}}, "b"},
        {"x{a\nb} c", {{"x{a", 4, 1}}, "b} c"},
        {"`a\nb", {{"`a", 3, 1}}, "b"}, {"(a\nb", {{"(a", 3, 1}}, "b"}, {"[a\nb", {{"[a", 3, 1}}, "b"},
        {"[[a\nb", {{"[[a", 4, 1}}, "b"}, {"a\\\rb c", {{"a\\\rb", 5, 0}, {"c", 1, 1}}, ""},
        {"a<>b", {{"a", 1, 0}, {"<>", 2, 0}, {"b", 1, 1}}, ""},
        {"\"a\\\\\nb", {{"\"a\\\\\nb", 6, 1}}, ""},
        {"[[a\rb]] ((c\nd))", {{"[[a\rb]]", 8, 0}, {"((c", 4, 1}}, "d))"},
        {"ab\\\ncd\n", {{"ab", 4, 0}, {"cd", 3, 1}}, ""},
        {"gcc -c\\\r\nx.c\r\nnext", {{"gcc", 4, 0}, {"-c", 5, 0}, {"x.c", 5, 1}}, "next"},
        {"gcc x.c \\", {{"gcc", 4, 0}, {"x.c", 4, 0}, {"\\", 1, 1}}, ""},
        {"gcc ", {{"gcc", 4, 0}}, ""},
        {"a;b", {{"a", 1, 0}, {";", 1, 0}, {"b", 1, 1}}, ""},
        {"|&x", {{"|&", 2, 0}, {"x", 1, 1}}, ""},
        {";;&", {{";;&", 3, 0}}, ""},
        {"&>>a&>|b&>c>|d<<<e<<-f>>g<<h>&i<&j<>k>l<m;;&n;;o;&p;q&&r&s||t|&u|v", {{"&>>", 3, 0}, {"a", 1, 0}, {"&>|", 3, 0}, {"b", 1, 0}, {"&>", 2, 0}, {"c", 1, 0}, {">|", 2, 0}, {"d", 1, 0}, {"<<<", 3, 0}, {"e", 1, 0}, {"<<-", 3, 0}, {"f", 1, 0}, {">>", 2, 0}, {"g", 1, 0}, {"<<", 2, 0}, {"h", 1, 0}, {">&", 2, 0}, {"i", 1, 0}, {"<&", 2, 0}, {"j", 1, 0}, {"<>", 2, 0}, {"k", 1, 0}, {">", 1, 0}, {"l", 1, 0}, {"<", 1, 0}, {"m", 1, 0}, {";;&", 3, 0}, {"n", 1, 0}, {";;", 2, 0}, {"o", 1, 0}, {";&", 2, 0}, {"p", 1, 0}, {";", 1, 0}, {"q", 1, 0}, {"&&", 2, 0}, {"r", 1, 0}, {"&", 1, 0}, {"s", 1, 0}, {"||", 2, 0}, {"t", 1, 0}, {"|&", 2, 0}, {"u", 1, 0}, {"|", 1, 0}, {"v", 1, 1}}, ""},
        {"a&>", {{"a", 1, 0}, {"&>", 2, 0}}, ""}, {"a<<", {{"a", 1, 0}, {"<<", 2, 0}}, ""}, {"a;", {{"a", 1, 0}, {";", 1, 0}}, ""},
        {"&>/dev/null", {{"&>", 2, 0}, {"/dev/null", 9, 1}}, ""},
        {"12abc", {{"12abc", 5, 1}}, ""},
        {"12", {{"12", 2, 1}}, ""},
        {"((a)b) c))d x", {{"((a)b) c))d", 12, 0}, {"x", 1, 1}}, ""},
        {"$(a $(b) c)", {{"$(a $(b)", 9, 0}, {"c)", 2, 1}}, ""},
        {"'unterminated\nmore", {{"'unterminated", 14, 1}}, "more"},
        {"'unterminated", {{"'unterminated", 13, 1}}, ""},
    };
    for (const Case& c : cases) {
        std::string rest;
        EXPECT_EQ(scan_command(c.in, &rest), c.words) << testing::PrintToString(c.in);
        EXPECT_EQ(rest, c.rest) << testing::PrintToString(c.in);
    }
}

TEST(Scanner, FinishedWordsOfWholeCommands) {
    using V = std::vector<std::string>;
    struct Case { std::string in; V words; } cases[] = {
        {"cd sub && gcc -c x.c\n", {"cd", "sub", "&&", "gcc", "-c", "x.c"}},
        {"x>y", {"x", ">", "y"}},
        {"2>>log 3<in 2&>x x2>y", {"2>>", "log", "3<", "in", "2&>", "x", "x2", ">", "y"}},
        {"echo 'a b' \"c d\"\n", {"echo", "a b", "c d"}},
        {"$(pkg-config --cflags a b) $((1 + 2)) [[ -f x ]] [ y ] { x; }",
         {"$(pkg-config --cflags a b)", "$((1 + 2))", "[[ -f x ]]", "[ y ]", "{ x; }"}},
        {"-DS=\"\\\"abc\\\"\" -c x.c\n", {"-DS=\"abc\"", "-c", "x.c"}},
        {"gcc -c \\\n  x.c\n", {"gcc", "-c", "x.c"}},
        {"", {}},
        {" \t \n", {}},
        {"# only a comment", {}},
        {"a#b", {"a#b"}},
        {"a~b@c^d", {"a~b@c^d"}},
        {"file\\ \n", {"file"}},
        {"\"\" ''", {"", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(split(c.in), c.words) << testing::PrintToString(c.in);
}

// Plain runs are tested an aligned stretch of MARKS_BYTES at a time, so the same words are cut at
// every offset in it.
TEST(Scanner, WordsAcrossBlockBoundaries) {
    using V = std::vector<std::string>;
    for (int lead = 1; lead <= MARKS_BYTES; lead++) {
        std::string first(lead, 'a');
        std::string line = first + " -I../include/hash_454 x -DHAVE_gc_11=1 'q r' obj/crypto_180.o;b\\ c ..\\s\\a.c 'y'\\z ..\\\\s'x y'"
                           " a`b c`.c [[a] b]].c x$(y z)w \"q \\\" r\"s {t u}v ((a) b))c abcdefgh'i j'klmnopqrs " + std::string(70, 'b') + "\n";
        V expected = {first, "-I../include/hash_454", "x", "-DHAVE_gc_11=1", "q r", "obj/crypto_180.o", ";", "b c", "../s/a.c", "yz", "../sx y",
                      "a`b c`.c", "[[a] b]].c", "x$(y z)w", "q \" rs", "{t u}v", "((a) b))c", "abcdefghi jklmnopqrs", std::string(70, 'b')};
        EXPECT_EQ(split(line), expected) << lead;
    }
}

TEST(Unquote, FinishedFormOfRawWords) {
    struct Case { std::string raw; std::string word; } cases[] = {
        {"'a b'", "a b"}, {"\"c d\"", "c d"}, {"a'b c'd", "ab cd"}, {"'it''s'", "its"},
        {"-DS=\"\\\"abc\\\"\"", "-DS=\"abc\""},
        {"\"a\\\\\"", "a\\"}, {"\"a\\$b\"", "a$b"}, {"\"a\\nb\"", "a\\nb"}, {"\"x\\\ny\"", "xy"},
        {"a\\ b", "a b"}, {"x\\\"y", "x\"y"}, {"\\x", "x"}, {"a\\\ny", "ay"},
        {"'a\\b'", "a\\b"}, {"'a\"b'", "a\"b"}, {"\"a'b\"", "a'b"}, {"\"$HOME\"/x", "$HOME/x"},
        {"$(pkg-config --cflags a b)", "$(pkg-config --cflags a b)"}, {"${VAR:-a b}", "${VAR:-a b}"},
        {"$(echo \"a b\")", "$(echo \"a b\")"}, {"((a)b) c))d", "((a)b) c))d"}, {"[[a]b]]", "[[a]b]]"},
        {"[[a] 'b']]'c'", "[[a] 'b']]c"}, {"((a) \"b\"))\"c\"", "((a) \"b\"))c"},
        {"`date`", "`date`"},
        {"..\\src\\a.c", "../src/a.c"}, {".\\x", "./x"}, {"C:\\dir\\f.c", "C:/dir/f.c"},
        {"-IC:\\inc", "-IC:/inc"}, {"Z:\\dir\\f.c", "Z:/dir/f.c"}, {"z:\\x", "z:/x"}, {"-I..\\\\include", "-I../include"},
        {"\"C:\\Program Files\\x\"", "C:/Program Files/x"}, {".\\a\\ b", "./a b"}, {"ab:\\x", "ab:/x"},
        {"dir\\f.c", "dirf.c"}, {"src\\main.c", "srcmain.c"}, {"D:foo\\bar", "D:foobar"}, {"a/..\\b", "a/..b"},
        {"\"\"", ""}, {"''", ""}, {"\\", ""}, {"file\\", "file"}, {"\"abc", "abc"},
        {"it's\nnext 'x'", "its\nnext x"}, {"2>&", "2>&"}, {"1:\\x", "1:x"}, {"'a'\\b'c'\"d\"", "abcd"},
    };
    // Each word is finished as it stands, and with the cuts the scanner notes where it scans as one raw
    // word.
    for (const Case& c : cases) {
        OrdinaryMarks marks = {};
        WordCuts cuts;
        RawWord raw = scan_raw_word(str_of(c.raw), &marks, &cuts);
        bool one_word = !raw.ordinary && raw.text.len == (i64)c.raw.size();
        const WordCuts* scanned = one_word ? &cuts : nullptr;
        for (const WordCuts* given : {(const WordCuts*)nullptr, scanned}) {
            std::string bytes = c.raw;  // a path word is rewritten in place
            Arena a = arena_over(block, sizeof block);
            StrList list = {};
            finish_word(str_of(bytes), 0, given, nullptr, &a, &list);
            ASSERT_EQ(list.count, 1);
            EXPECT_EQ(string_of(list.head->value), c.word) << testing::PrintToString(c.raw) << (given ? " with cuts" : "");
            EXPECT_NE(list.head->value.data, bytes.data());
        }
    }
}

TEST(Unquote, UnusedBufferGoesBackToTheArena) {
    std::string bytes = "'a'";
    Arena a = arena_over(block, sizeof block);
    StrList list = {};
    finish_word(str_of(bytes), 0, nullptr, nullptr, &a, &list);
    EXPECT_EQ((char*)list.head, block + 8);  // the node follows the one-byte word, aligned
    EXPECT_EQ(string_of(list.head->value), "a");
}

TEST(Scanner, HostileInputsEndCleanly) {
    std::string big(1 << 19, 'x');
    struct Case { std::string in; size_t words; } cases[] = {
        {"\"" + big, 1}, {"$(" + big, 1}, {"[[" + big, 1}, {"a \\", 2},
        {"x #comment without a line feed", 1}, {std::string("a\0b \x80\xff", 7), 2},
    };
    for (const Case& c : cases) {
        std::string rest;
        EXPECT_EQ(split(c.in, &rest).size(), c.words);
        EXPECT_EQ(rest, "");
    }
}

// Random command lines from the syntax a POSIX shell and the scanner must read alike.
std::string random_word(std::mt19937& rng) {
    static const std::string plain = "abcxyzABC0123456789-_./=,:+@%";
    auto pick = [&](const std::string& from) { return from[rng() % from.size()]; };
    std::string w;
    int pieces = 1 + rng() % 4;
    for (int p = 0; p < pieces; p++) {
        switch (rng() % 4) {
        case 0:
            for (int i = 0, n = 1 + rng() % 5; i < n; i++) w += pick(plain);
            break;
        case 1:
            w += '\'';
            for (int i = 0, n = rng() % 5; i < n; i++) w += pick(plain + " \"\\$`#;&|");
            w += '\'';
            break;
        case 2: {
            w += '"';
            static const char* escapes[] = {"\\\"", "\\\\", "\\$", "\\`"};
            for (int i = 0, n = rng() % 5; i < n; i++)
                w += rng() % 3 ? std::string(1, pick(plain + " '#;&|")) : escapes[rng() % 4];
            w += '"';
            break;
        }
        default:
            w += '\\';
            w += pick("abcXYZ-_.=,:+@%\"'\\");
            break;
        }
    }
    return w;
}

bool is_excluded_path_word(const std::string& w) {
    size_t sep = w.find_first_of("/\\");
    if (sep == std::string::npos) return false;
    std::string head = w.substr(0, sep);
    if (!head.empty() && head.back() == '.') return true;
    return head.size() >= 2 && head.back() == ':' && isalpha((unsigned char)head[head.size() - 2]);
}

std::vector<std::string> shell_words(const std::string& path) {
    std::string command = "sh " + path;
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    std::vector<std::string> words;
    size_t start = 0;
    for (size_t i = 0; i < out.size(); i++)
        if (out[i] == '\0') words.push_back(out.substr(start, i - start)), start = i + 1;
    return words;
}

TEST(Scanner, AgreesWithAPosixShell) {
    std::mt19937 rng(20261209);
    std::vector<std::string> lines;
    while (lines.size() < 5000) {
        std::string line;
        bool excluded = false;
        for (int i = 0, n = 1 + rng() % 6; i < n; i++) {
            std::string w = random_word(rng);
            excluded |= is_excluded_path_word(w);
            line += (i ? (rng() % 2 ? " " : "\t") : "") + w;
        }
        if (!excluded) lines.push_back(line);
    }
    // One script prints every line's words NUL-separated, with an extra marker between lines.
    std::string path = testing::TempDir() + "ferrule_differential.sh";
    FILE* script = fopen(path.c_str(), "w");
    for (const std::string& line : lines) fprintf(script, "printf '%%s\\0' %s; printf 'END\\0'\n", line.c_str());
    fclose(script);
    std::vector<std::string> all = shell_words(path);
    std::remove(path.c_str());
    size_t at = 0;
    for (const std::string& line : lines) {
        std::vector<std::string> expected;
        while (at < all.size() && all[at] != "END") expected.push_back(all[at++]);
        at++;
        ASSERT_EQ(split(line + "\n"), expected) << line;
    }
    EXPECT_EQ(at, all.size());
}

}  // namespace
