// Option parsing: value-taking options found exactly through a hash index or else by prefix,
// "-x" languages, and source detection by extension.
#include "compiler/parse.h"
#include "core/fast_paths.h"

// The exact-lookup index over value_options, filled on first use, with the prefix candidates and
// what each entry does with its value.
static struct {
    Str slots[VALUE_INDEX_SLOTS];
    i64 count;
    int8_t entry_of_slot[VALUE_INDEX_SLOTS];     // the table position of the entry a slot holds
    u64 by_second_byte[256];                     // bit i: value_options[i] has this second byte
    u64 by_third_byte[256];                      // bit i: value_options[i] has this third byte, or
                                                 // has two bytes and starts every option it can
    u64 by_length[64];                           // bit i: value_options[i] has this length
    OptionKind exact_kind[VALUE_OPTION_COUNT];   // what an entry matched exactly does with its value
    OptionKind prefix_kind[VALUE_OPTION_COUNT];  // what an entry matched as a prefix does with its value
} value_option_index;

static u32 fnv1a(Str s) {
    u32 h = 2166136261u;
    for (i64 i = 0; i < s.len; i++) h = (h ^ str_at(s, i)) * 16777619u;
    return h;
}

// The slot that holds key, or the empty slot where the probe for it ends.
static i64 index_probe(Str key) {
    u32 h = fnv1a(key);
    u32 step = (h >> 24) | 1;
    u32 i = 0;
    for (;;) {
        i = (i + step) % VALUE_INDEX_SLOTS;
        Str slot = value_option_index.slots[i];
        if (!slot.data || str_equals(slot, key)) return i;
    }
}

static OptionKind kind_of_exact(Str option) {
    if (str_equals(option, "-o"_s) || str_equals(option, "--output"_s)) return OPTION_OUTPUT;
    if (str_equals(option, "-x"_s) || str_equals(option, "--language"_s)) return OPTION_LANGUAGE;
    return OPTION_OTHER;
}

static OptionKind kind_of_prefix(Str option) {
    if (str_equals(option, "--output="_s)) return OPTION_OUTPUT;
    if (str_equals(option, "--language="_s)) return OPTION_LANGUAGE;
    return kind_of_exact(option);
}

static void index_fill() {
    for (i64 i = 0; i < VALUE_OPTION_COUNT; i++) {
        value_option_index.by_second_byte[str_at(value_options[i], 1)] |= (u64)1 << i;
        for (i64 b = 0; b < 256; b++)
            if (value_options[i].len == 2 || str_at(value_options[i], 2) == b) value_option_index.by_third_byte[b] |= (u64)1 << i;
        value_option_index.by_length[value_options[i].len] |= (u64)1 << i;
        value_option_index.exact_kind[i] = kind_of_exact(value_options[i]);
        value_option_index.prefix_kind[i] = kind_of_prefix(value_options[i]);
    }
    for (i64 i = 0; i < VALUE_OPTION_COUNT; i++) {
        i64 slot = index_probe(value_options[i]);
        if (value_option_index.slots[slot].data) continue;
        value_option_index.slots[slot] = value_options[i];
        value_option_index.entry_of_slot[slot] = (int8_t)i;
        value_option_index.count++;
    }
}

// The general rule: the token is looked up in the index.
static i64 exact_entry_general(Str token) {
    i64 slot = index_probe(token);
    return value_option_index.slots[slot].data ? value_option_index.entry_of_slot[slot] : -1;
}

// The fast kernel: an entry equal to the token has its length and its second byte, so a token for
// which no entry has both is not hashed at all.
static i64 exact_entry_fast(Str token) {
    if (token.len < 2 || token.len >= 64) return -1;
    if (!(value_option_index.by_length[token.len] & value_option_index.by_second_byte[str_at(token, 1)])) return -1;
    return exact_entry_general(token);
}

// The position in value_options of the entry equal to token, or -1, once the index is filled: a
// command's parsing fills it before its first option.
static i64 value_option_find(Str token) { return fast_or_general(exact_entry_fast, exact_entry_general)(token); }

// The general rule: the first entry, in table order, that the option starts with, or -1.
static i64 prefix_entry_general(Str option) {
    for (i64 i = 0; i < VALUE_OPTION_COUNT; i++)
        if (str_starts_with(option, value_options[i])) return i;
    return -1;
}

// The fast kernel: only entries that share the option's second byte, and its third unless they have
// two bytes, can be its prefix, and an entry of two bytes ("-" and that byte) is one, as every option
// starts with "-"; bits go in table order.
static i64 prefix_entry_fast(Str option) {
    u64 candidates = option.len > 1 ? value_option_index.by_second_byte[str_at(option, 1)] : 0;
    if (option.len > 2) candidates &= value_option_index.by_third_byte[str_at(option, 2)];
    for (; candidates; candidates &= candidates - 1) {
        i64 entry = __builtin_ctzll(candidates);
        if (value_options[entry].len == 2 || str_starts_with(option, value_options[entry])) return entry;
    }
    return -1;
}

static const Str c_values[] = {"c"_s, "cpp-output"_s};
static const Str c_header_values[] = {"c-header"_s};
static const Str cxx_values[] = {"c++"_s, "c++-cpp-output"_s, "c++-system-module"_s};
static const Str cxx_header_values[] = {"c++-header"_s, "c++-system-header"_s, "c++-user-header"_s};
static const Str assembler_values[] = {"assembler"_s, "assembler-with-cpp"_s};
static const Str none_values[] = {"none"_s};

// Whether value is one of the table's entries.
template <i64 N>
static i32 is_one_of(Str value, const Str (&table)[N]) { return str_equals_any(value, table, N); }

static Language classify_language(Str value) {
    if (is_one_of(value, c_values)) return LANG_C;
    if (is_one_of(value, c_header_values)) return LANG_C_HEADER;
    if (is_one_of(value, cxx_values)) return LANG_CXX;
    if (is_one_of(value, cxx_header_values)) return LANG_CXX_HEADER;
    if (is_one_of(value, assembler_values)) return LANG_ASSEMBLER;
    if (is_one_of(value, none_values)) return LANG_NONE;
    return LANG_OTHER;
}

// The general rule: the name against every extension.
static i32 has_source_extension_general(Str name) {
    for (i64 i = 0; i < SOURCE_EXTENSION_COUNT; i++)
        if (str_ends_with(name, source_extensions[i])) return 1;
    return 0;
}

// The last bytes of the extensions, as a set of bytes.
struct ExtensionEnds {
    u64 bits[4];
    constexpr ExtensionEnds() : bits() {
        for (const Str& extension : source_extensions) {
            u8 last = (u8)extension.data[extension.len - 1];
            bits[last >> 6] |= (u64)1 << (last & 63);
        }
    }
};
static constexpr ExtensionEnds extension_ends;

// The fast kernel: a name whose last byte ends no extension (an object file's "o", a library's "a")
// has none, without comparing.
static i32 has_source_extension_fast(Str name) {
    if (name.len == 0) return 0;
    u8 last = str_at(name, name.len - 1);
    if (!(extension_ends.bits[last >> 6] >> (last & 63) & 1)) return 0;
    return has_source_extension_general(name);
}

static i32 is_source(Str token, Language language) {
    if (language == LANG_C || language == LANG_CXX || language == LANG_ASSEMBLER) return 1;
    if (language != LANG_NONE) return 0;
    Str unquoted = str_strip_suffix(str_strip_suffix(token, "\""_s), "'"_s);
    return fast_or_general(has_source_extension_fast, has_source_extension_general)(unquoted);
}

// Per-command parsing state.
struct ParseState {
    ParsedCommand command;
    Language language;  // the class set by the last "-x", or none
};

static void take_value(ParseState* state, OptionKind kind, Str value) {
    if (kind == OPTION_OUTPUT) state->command.output = value;
    if (kind == OPTION_LANGUAGE) state->language = classify_language(value);
}

// Handles the option token at node, taking its value when it has one, and returns the node to go on
// from: the one after the value, or after the option when its value is joined to it or it has none.
static StrNode* parse_option(ParseState* state, StrList* tokens, StrNode* node) {
    Str option = node->value;
    i64 entry = value_option_find(option);
    if (entry >= 0) {
        StrNode* value = node->next;
        take_value(state, value_option_index.exact_kind[entry], value ? value->value : Str{});
        if (!value) return nullptr;
        StrNode* after = value->next;
        if (value->value.len == 0) list_unlink(tokens, value);
        return after;
    }
    i64 prefix = fast_or_general(prefix_entry_fast, prefix_entry_general)(option);
    if (prefix >= 0) take_value(state, value_option_index.prefix_kind[prefix], str_skip(option, value_options[prefix].len));
    return node->next;
}

// The arguments are the tokens less the empty ones, in order: the tokens are walked in place, the
// empty ones unlinked, and the list becomes the arguments with its nodes. Only sources take new nodes.
ParsedCommand parse_compiler_command(CompilerInvocation* invocation, Arena* arena) {
    ParseState state = {};
    if (invocation->kind != COMPILER_GCC) return state.command;
    if (value_option_index.count == 0) index_fill();
    StrList* tokens = &invocation->tokens;
    for (StrNode* node = tokens->head->next; node;) {
        Str token = node->value;
        if (token.len > 0 && str_at(token, 0) == '-') {
            node = parse_option(&state, tokens, node);
            continue;
        }
        if (is_source(token, state.language)) list_append(&state.command.sources, arena, token);
        StrNode* next = node->next;
        if (token.len == 0) list_unlink(tokens, node);
        node = next;
    }
    state.command.args = *tokens;
    *tokens = StrList{};
    state.command.ok = state.command.sources.count > 0 && state.command.args.count > 0;
    return state.command;
}

void trace_parsed_command(Output* err, TraceLists* lists, const ParsedCommand* command) {
    write_line(err, "Parsed compiler command:"_s);
    err->indent++;
    write_line(err, command->ok ? "ok = true"_s : "ok = false"_s);
    write_str(err, "source = "_s);
    trace_str_list(err, lists, command->sources);
    write_json_item(err, "output = "_s, command->output, 0);
    write_str(err, "args = "_s);
    trace_str_list(err, lists, command->args);
    err->indent--;
}
