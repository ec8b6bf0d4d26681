// Compiler recognition: a search over the words for a driver name, then the collection of that
// command's words up to the next control operator, without substitutions and redirections.
#include "compiler/recognize.h"
#include "compiler/cd.h"
#include "core/fast_paths.h"
#include "shell/syntax.h"

i32 is_substitution_word(Str word) {
    if (word.len == 0) return 0;
    if (str_at(word, 0) == '`' && str_at(word, word.len - 1) == '`') return 1;
    return str_at(word, 0) == '$' && word.len > 1;
}

// What a piece of a name that equals one of the names below makes of the word.
enum NameRule : i32 {
    NOT_A_NAME = -1,         // the piece equals no name
    NAMES_GCC,               // GCC-style
    NAMES_MSVC,              // MSVC-style
    NAMES_GCC_IF_VERSION,    // GCC-style if the next piece is empty or a version
    NAMES_GCC_IF_GCC_SUFFIX, // GCC-style if the next piece is empty, a version, "win32" or "posix"
};

struct CompilerNameRule {
    Str name;
    NameRule rule;
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
    u8 may_end_name[256];               // 1: a name ends with this byte, or it is one that is taken
                                        // off the end of a word before its name is read
    constexpr NameCandidates() : by_first_byte(), by_length(), may_end_name() {
        for (int i = 0; i < NAME_COUNT; i++) {
            by_first_byte[(u8)compiler_names[i].name.data[0]] |= (u16)(1 << i);
            by_length[compiler_names[i].name.len] |= (u16)(1 << i);
            may_end_name[(u8)compiler_names[i].name.data[compiler_names[i].name.len - 1]] = 1;
        }
        for (const char* p = "\"' \t\n\reE"; *p; p++) may_end_name[(u8)*p] = 1;  // quotes, white space, ".exe"
    }
};
static constexpr NameCandidates name_candidates;
static_assert(NAME_COUNT <= 8 * sizeof name_candidates.by_first_byte[0],
              "every compiler name needs a bit of the candidate masks: widen NameCandidates' masks");

// The rule of the first name among the candidates (bit i: compiler_names[i]) that the piece equals.
static NameRule rule_among(Str piece, u32 candidates) {
    for (; candidates; candidates &= candidates - 1) {
        const CompilerNameRule& name = compiler_names[__builtin_ctz(candidates)];
        if (str_equals(piece, name.name)) return name.rule;
    }
    return NOT_A_NAME;
}

// The general rule: the piece against every name.
static NameRule name_rule_general(Str piece) { return rule_among(piece, (1u << NAME_COUNT) - 1); }

// The fast kernel: only against the names of the piece's first byte and length.
static NameRule name_rule_fast(Str piece) {
    if (piece.len == 0 || piece.len > LONGEST_NAME) return NOT_A_NAME;
    return rule_among(piece, name_candidates.by_first_byte[str_at(piece, 0)] & name_candidates.by_length[piece.len]);
}

static i32 is_gcc_suffix(Str piece) {
    return piece.len == 0 || str_is_version(piece) || str_equals(piece, "win32"_s) || str_equals(piece, "posix"_s);
}

// Examines the name piece by piece, the pieces being cut at each "-".
static CompilerKind classify_pieces(Str rest) {
    while (rest.len > 0) {
        if (str_equals(rest, "clang-cl"_s)) return COMPILER_MSVC;
        Cut cut = str_cut(rest, '-');
        rest = cut.tail;
        NameRule rule = fast_or_general(name_rule_fast, name_rule_general)(cut.head);
        if (rule == NAMES_GCC) return COMPILER_GCC;
        if (rule == NAMES_MSVC) return COMPILER_MSVC;
        if (rule == NOT_A_NAME) continue;
        Cut next = str_cut(rest, '-');
        rest = next.tail;
        Str suffix = next.head;
        if (rule == NAMES_GCC_IF_GCC_SUFFIX ? is_gcc_suffix(suffix) : suffix.len == 0 || str_is_version(suffix))
            return COMPILER_GCC;
    }
    return COMPILER_UNKNOWN;
}

CompilerName classify_compiler_name(Str word) {
    // The scanner's words are trimmed already; a word from elsewhere may not be.
    i32 untrimmed = word.len > 0 && (byte_is(str_at(word, 0), BYTE_SPACE) || byte_is(str_at(word, word.len - 1), BYTE_SPACE));
    Str name = untrimmed ? str_trim(word) : word;
    name = str_strip_quotes(name, "\""_s);
    name = str_strip_quotes(name, "'"_s);
    name = str_strip_suffix(name, ".exe"_s);
    name = str_strip_suffix(name, ".EXE"_s);
    // The name is what follows the last separator.
    for (i64 i = name.len - 1; i >= 0; i--) {
        if (str_at(name, i) == '/' || str_at(name, i) == '\\') {
            name = str_skip(name, i + 1);
            break;
        }
    }
    return CompilerName{classify_pieces(name), name};
}

// What the search makes of a word that may name the compiler; a name that is none is not used.
// The general rule: every word is taken apart.
static CompilerName searched_name_general(Str word) { return classify_compiler_name(word); }

// The fast kernel: most words before the compiler (the launcher, other commands and their arguments)
// are soon seen to name none. A word without a "-" is one piece, which ends where the word does once
// quotes, white space and ".exe" are taken off, so its last byte must end a name or be one of those.
// And every compiler name holds a "c", a "z" or a "+".
static CompilerName searched_name_fast(Str word) {
    CompilerName none = {COMPILER_UNKNOWN, word};
    if (word.len > 0 && !name_candidates.may_end_name[str_at(word, word.len - 1)] && str_find_any(word, "-"_s) < 0) return none;
    if (str_find_any(word, "cz+"_s) < 0) return none;
    return classify_compiler_name(word);
}

// What a word after the compiler may be, which the walk then tests it for, as flags.
enum { COULD_BE_SUBSTITUTION = BYTE_STARTS_SUBSTITUTION, COULD_BE_OPERATOR = BYTE_STARTS_OPERATOR };

// The general rule: any word could be either.
static i32 possible_kinds_general(Str) { return COULD_BE_SUBSTITUTION | COULD_BE_OPERATOR; }

// The fast kernel: by what the word's first byte allows; most words start with a byte that allows
// neither and are tokens at once.
static i32 possible_kinds_fast(Str word) {
    return word.len > 0 ? byte_flags(str_at(word, 0)) & (COULD_BE_SUBSTITUTION | COULD_BE_OPERATOR) : 0;
}

// The first words that name no compiler are dropped; a `cd` among them that starts a command moves
// the directory. From the compiler word on, the words are walked in place, the substitutions and
// redirections unlinked, and the words up to the ending operator become the tokens with their own
// nodes. The front word starts a command: the line's first, or the one after the operator that
// ended the last invocation. It runs once per invocation and stays out of line, so that the scanner's
// per-word loop is what the link-time optimiser inlines into the line's handling.
[[gnu::noinline]] CompilerInvocation find_compiler_invocation(StrList* words, Str* directory, Arena* arena) {
    CompilerInvocation invocation = {COMPILER_UNKNOWN, Str{}, StrList{}};
    i32 command_start = 1;
    while (words->count > 0) {
        Str word = words->head->value;
        if (is_substitution_word(word)) {
            list_pop_front(words);
            command_start = 0;
            continue;
        }
        CompilerName name = fast_or_general(searched_name_fast, searched_name_general)(word);
        invocation.compiler = name.name;
        invocation.kind = name.kind;
        if (name.kind != COMPILER_UNKNOWN) break;
        invocation.compiler = "unknown or not found"_s;
        Str target;
        if (command_start && cd_target(words->head, &target)) *directory = directory_after_cd(*directory, target, arena);
        i32 could_be = fast_or_general(possible_kinds_fast, possible_kinds_general)(word);
        command_start = (could_be & COULD_BE_OPERATOR) && is_control_operator(word);
        list_pop_front(words);
    }
    if (words->count == 0) return invocation;
    i64 kept = 1;
    for (StrNode* node = words->head->next; node;) {
        Str word = node->value;
        StrNode* next = node->next;
        i32 could_be = fast_or_general(possible_kinds_fast, possible_kinds_general)(word);
        if ((could_be & COULD_BE_SUBSTITUTION) && is_substitution_word(word)) {
            list_unlink(words, node);
        } else if ((could_be & COULD_BE_OPERATOR) && is_control_operator(word)) {
            invocation.tokens = list_cut_before(words, node, kept);
            list_pop_front(words);
            return invocation;
        } else if ((could_be & COULD_BE_OPERATOR) && is_redirection_word(word)) {
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

void trace_compiler_invocation(Output* err, TraceLists* lists, const CompilerInvocation* invocation) {
    write_line(err, "Detected compiler invocation:"_s);
    err->indent++;
    write_str(err, "Compiler: "_s);
    write_line(err, invocation->compiler);
    write_str(err, "Tokens: "_s);
    trace_str_list(err, lists, invocation->tokens);
    err->indent--;
}
