// Compiler recognition: a search over the words for a driver name, then the collection of that
// command's words up to the next control operator, without substitutions and redirections.
#include "compiler/recognize.h"
#include "shell/scanner.h"

i32 is_substitution_word(Str word) {
    if (word.len == 0) return 0;
    if (str_at(word, 0) == '`' && str_at(word, word.len - 1) == '`') return 1;
    return str_at(word, 0) == '$' && word.len > 1;
}

static i32 is_gcc_suffix(Str piece) {
    return piece.len == 0 || str_is_version(piece) || str_equals(piece, "win32"_s) || str_equals(piece, "posix"_s);
}

static const Str plain_gcc_drivers[] = {
    "cc"_s, "c++"_s, "zig"_s, "icx"_s, "icpx"_s, "nvc"_s, "nvc++"_s, "tcc"_s, "emcc"_s, "armclang"_s,
};

// Examines the name piece by piece, the pieces being cut at each "-".
static i32 classify_pieces(Str rest) {
    while (rest.len > 0) {
        if (str_equals(rest, "clang-cl"_s)) return COMPILER_MSVC;
        Cut cut = str_cut(rest, "-"_s);
        Str piece = cut.head;
        rest = cut.tail;
        if (str_equals_any(piece, plain_gcc_drivers, 10)) return COMPILER_GCC;
        if (str_equals(piece, "cl"_s)) return COMPILER_MSVC;
        i32 is_clang = str_equals(piece, "clang"_s) || str_equals(piece, "clang++"_s);
        i32 is_gcc = str_equals(piece, "gcc"_s) || str_equals(piece, "g++"_s);
        if (!is_clang && !is_gcc) continue;
        Cut next = str_cut(rest, "-"_s);
        rest = next.tail;
        if (is_gcc ? is_gcc_suffix(next.head) : next.head.len == 0 || str_is_version(next.head))
            return COMPILER_GCC;
    }
    return COMPILER_UNKNOWN;
}

CompilerName classify_compiler_name(Str word) {
    Str n = str_trim(word);
    n = str_strip_quotes(n, "\""_s);
    n = str_strip_quotes(n, "'"_s);
    n = str_strip_suffix(n, ".exe"_s);
    n = str_strip_suffix(n, ".EXE"_s);
    for (i64 i = n.len - 1; i >= 0; i--) {
        if (str_at(n, i) == '/' || str_at(n, i) == '\\') {
            n = str_skip(n, i + 1);
            break;
        }
    }
    return CompilerName{classify_pieces(n), n};
}

// Only words that start with an operator byte or a digit can be operators; most words are not.
static i32 may_be_operator(Str word) {
    if (word.len == 0) return 0;
    u8 b = str_at(word, 0);
    return b == ';' || b == '&' || b == '|' || b == '(' || b == ')' || b == '<' || b == '>' || (b >= '0' && b <= '9');
}

// A redirection word is an operator, possibly after a file-descriptor number.
static i32 is_redirection_word(Str word) {
    i64 digits = 0;
    while (digits < word.len && str_at(word, digits) >= '0' && str_at(word, digits) <= '9') digits++;
    return str_equals_any(str_skip(word, digits), redirection_operators, REDIRECTION_OPERATOR_COUNT);
}

// The first words that name no compiler are dropped. From the compiler word on, the words are walked
// in place, the substitutions and redirections unlinked, and the words up to the ending operator
// become the tokens with their own nodes.
CompilerInvocation find_compiler_invocation(StrList* words) {
    CompilerInvocation invocation = {COMPILER_UNKNOWN, Str{}, StrList{}};
    while (words->count > 0) {
        Str w = words->head->value;
        if (is_substitution_word(w)) {
            list_pop_front(words);
            continue;
        }
        CompilerName name = classify_compiler_name(w);
        invocation.compiler = name.name;
        invocation.kind = name.kind;
        if (name.kind != COMPILER_UNKNOWN) break;
        invocation.compiler = "unknown or not found"_s;
        list_pop_front(words);
    }
    if (words->count == 0) return invocation;
    i64 kept = 1;
    for (StrNode* node = words->head->next; node;) {
        Str w = node->value;
        StrNode* next = node->next;
        if (is_substitution_word(w)) {
            list_unlink(words, node);
        } else if (!may_be_operator(w)) {
            kept++;
        } else if (str_equals_any(w, control_operators, CONTROL_OPERATOR_COUNT)) {
            invocation.tokens = list_cut_before(words, node, kept);
            list_pop_front(words);
            return invocation;
        } else if (is_redirection_word(w)) {
            // The redirection goes, and its target with it.
            if (next) {
                next = next->next;
                list_unlink(words, node->next);
            }
            list_unlink(words, node);
        } else {
            kept++;
        }
        node = next;
    }
    invocation.tokens = *words;
    *words = StrList{};
    return invocation;
}

void trace_shell_words(Output* err, StrList words) {
    write_line(err, "Tokenized shell line:"_s);
    err->indent++;
    write_str_list(err, words.head, words.count);
    put_byte(err, '\n');
    err->indent--;
}

void trace_compiler_invocation(Output* err, const CompilerInvocation* invocation) {
    write_line(err, "Detected compiler invocation:"_s);
    err->indent++;
    write_str(err, "Compiler: "_s);
    write_line(err, invocation->compiler);
    write_str(err, "Tokens: "_s);
    write_str_list(err, invocation->tokens.head, invocation->tokens.count);
    put_byte(err, '\n');
    err->indent--;
}
