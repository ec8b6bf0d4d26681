// Compiler recognition: a search over the words for a driver name, then the collection of that
// command's words up to the next control operator, without substitutions and redirections.
#include "compiler/recognize.h"
#include "core/fast_paths.h"
#include "shell/syntax.h"

i32 is_substitution_word(Str word) {
    if (word.len == 0) return 0;
    if (str_at(word, 0) == '`' && str_at(word, word.len - 1) == '`') return 1;
    return str_at(word, 0) == '$' && word.len > 1;
}

// What a piece of a name that equals one of the names below makes of the word.
enum NameRule {
    NAMES_GCC,               // GCC-style
    NAMES_MSVC,              // MSVC-style
    NAMES_GCC_IF_VERSION,    // GCC-style if the next piece is empty or a version
    NAMES_GCC_IF_GCC_SUFFIX, // GCC-style if the next piece is empty, a version, "win32" or "posix"
};

struct CompilerNameRule {
    Str name;
    i32 rule;  // a NameRule
};

static constexpr CompilerNameRule compiler_names[] = {
    {"cc"_s, NAMES_GCC}, {"c++"_s, NAMES_GCC}, {"zig"_s, NAMES_GCC}, {"icx"_s, NAMES_GCC}, {"icpx"_s, NAMES_GCC},
    {"nvc"_s, NAMES_GCC}, {"nvc++"_s, NAMES_GCC}, {"tcc"_s, NAMES_GCC}, {"emcc"_s, NAMES_GCC},
    {"armclang"_s, NAMES_GCC}, {"cl"_s, NAMES_MSVC}, {"clang"_s, NAMES_GCC_IF_VERSION},
    {"clang++"_s, NAMES_GCC_IF_VERSION}, {"gcc"_s, NAMES_GCC_IF_GCC_SUFFIX}, {"g++"_s, NAMES_GCC_IF_GCC_SUFFIX},
};

enum { NAME_COUNT = sizeof compiler_names / sizeof compiler_names[0], LONGEST_NAME = 8 };

// The names a piece may equal, by its first byte and by its length. Most pieces start with a byte
// that starts no name, and the others have a name or two of their length to be compared with.
struct NameCandidates {
    u16 by_first_byte[256];             // bit i: compiler_names[i] starts with this byte
    u16 by_length[LONGEST_NAME + 1];    // bit i: compiler_names[i] has this length
    constexpr NameCandidates() : by_first_byte(), by_length() {
        for (int i = 0; i < NAME_COUNT; i++) {
            by_first_byte[(u8)compiler_names[i].name.data[0]] |= (u16)(1 << i);
            by_length[compiler_names[i].name.len] |= (u16)(1 << i);
        }
    }
};
static constexpr NameCandidates name_candidates;
static_assert(NAME_COUNT <= 8 * sizeof name_candidates.by_first_byte[0],
              "every compiler name needs a bit of the candidate masks: widen NameCandidates' masks");

// The rule of the name a piece equals, or -1. The general rule compares it with every name.
static i32 rule_of_piece(Str piece) {
    u32 candidates = (1u << NAME_COUNT) - 1;
    if (fast_paths)
        candidates = piece.len > 0 && piece.len <= LONGEST_NAME
                         ? name_candidates.by_first_byte[str_at(piece, 0)] & name_candidates.by_length[piece.len]
                         : 0;
    for (; candidates; candidates &= candidates - 1) {
        const CompilerNameRule& n = compiler_names[__builtin_ctz(candidates)];
        if (str_equals(piece, n.name)) return n.rule;
    }
    return -1;
}

static i32 is_gcc_suffix(Str piece) {
    return piece.len == 0 || str_is_version(piece) || str_equals(piece, "win32"_s) || str_equals(piece, "posix"_s);
}

// Examines the name piece by piece, the pieces being cut at each "-".
static i32 classify_pieces(Str rest) {
    while (rest.len > 0) {
        if (str_equals(rest, "clang-cl"_s)) return COMPILER_MSVC;
        Cut cut = str_cut(rest, "-"_s);
        rest = cut.tail;
        i32 rule = rule_of_piece(cut.head);
        if (rule == NAMES_GCC) return COMPILER_GCC;
        if (rule == NAMES_MSVC) return COMPILER_MSVC;
        if (rule < 0) continue;
        Cut next = str_cut(rest, "-"_s);
        rest = next.tail;
        Str suffix = next.head;
        if (rule == NAMES_GCC_IF_GCC_SUFFIX ? is_gcc_suffix(suffix) : suffix.len == 0 || str_is_version(suffix))
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
    // Most words name no directory: the last separator is looked for only in those that hold one.
    for (i64 i = n.len - 1; i >= 0; i--) {
        if (str_at(n, i) == '/' || str_at(n, i) == '\\') {
            n = str_skip(n, i + 1);
            break;
        }
    }
    return CompilerName{classify_pieces(n), n};
}

// What a word's first byte allows it to be. Most words start with a byte that allows neither and
// are tokens at once.
enum { MAY_BE_SUBSTITUTION = 1, MAY_BE_OPERATOR = 2 };
struct FirstBytes {
    u8 may[256];
    constexpr FirstBytes() : may() {
        may[(u8)'`'] = may[(u8)'$'] = MAY_BE_SUBSTITUTION;
        const char* operators = ";&|()<>0123456789";
        for (int i = 0; operators[i]; i++) may[(u8)operators[i]] = MAY_BE_OPERATOR;
    }
};
static constexpr FirstBytes first_bytes;

static i32 may_be(Str word) {
    if (!fast_paths) return MAY_BE_SUBSTITUTION | MAY_BE_OPERATOR;
    return word.len > 0 ? first_bytes.may[str_at(word, 0)] : 0;
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
        i32 may = may_be(w);
        if ((may & MAY_BE_SUBSTITUTION) && is_substitution_word(w)) {
            list_unlink(words, node);
        } else if ((may & MAY_BE_OPERATOR) && str_equals_any(w, control_operators, CONTROL_OPERATOR_COUNT)) {
            invocation.tokens = list_cut_before(words, node, kept);
            list_pop_front(words);
            return invocation;
        } else if ((may & MAY_BE_OPERATOR) && is_redirection_word(w)) {
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
    write_str_list(err, words);
    err->indent--;
}

void trace_compiler_invocation(Output* err, const CompilerInvocation* invocation) {
    write_line(err, "Detected compiler invocation:"_s);
    err->indent++;
    write_str(err, "Compiler: "_s);
    write_line(err, invocation->compiler);
    write_str(err, "Tokens: "_s);
    write_str_list(err, invocation->tokens);
    err->indent--;
}
