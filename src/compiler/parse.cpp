// Option parsing: value-taking options found exactly through a hash index or else by prefix,
// "-x" languages, and source detection by extension.
#include "compiler/parse.h"

const Str value_options[VALUE_OPTION_COUNT] = {
    "-I"_s, "--include-directory"_s, "-o"_s, "--output="_s, "--output"_s, "-x"_s, "--language="_s,
    "--language"_s, "-D"_s, "--define-macro"_s, "-U"_s, "--undefine-macro"_s, "-l"_s, "-e"_s,
    "--entry"_s, "-u"_s, "--undefined"_s, "-T"_s, "--script"_s, "-L"_s, "--library-directory"_s,
    "--library"_s, "-z"_s, "-MF"_s, "-MT"_s, "-MQ"_s, "-A"_s, "-G"_s, "-dumpbase-ext"_s,
    "-dumpbase"_s, "-dumpdir"_s, "-aux-info"_s, "-include"_s, "-imacros"_s, "-iwithprefixbefore"_s,
    "-iwithprefix"_s, "-iprefix"_s, "-iquote"_s, "-isystem"_s, "-idirafter"_s, "-isysroot"_s,
    "-imultilib"_s, "-Xpreprocessor"_s, "-Xassembler"_s, "-Xlinker"_s, "-bundle_loader"_s,
    "--param"_s, "-arch"_s, "-wrapper"_s,
};

const Str source_extensions[SOURCE_EXTENSION_COUNT] = {
    ".c"_s, ".cc"_s, ".cpp"_s, ".cxx"_s, ".c++"_s, ".C"_s, ".cppm"_s, ".s"_s, ".S"_s,
};

// The exact-lookup index over value_options, filled on first use, with the prefix candidates.
static struct {
    Str slots[VALUE_INDEX_SLOTS];
    i64 count;
    uint64_t by_second_byte[256];  // bit i: value_options[i] has this second byte
    i64 longest;                   // length of the longest entry
} value_option_index;

static u32 fnv1a(Str s) {
    u32 h = 2166136261u;
    for (i64 i = 0; i < s.len; i++) h = (h ^ str_at(s, i)) * 16777619u;
    return h;
}

// The slot that holds key, or the empty slot where the probe for it ends.
static Str* index_probe(Str key) {
    u32 h = fnv1a(key);
    u32 step = (h >> 24) | 1;
    u32 i = 0;
    for (;;) {
        i = (i + step) % VALUE_INDEX_SLOTS;
        Str* slot = &value_option_index.slots[i];
        if (!slot->data || str_equals(*slot, key)) return slot;
    }
}

static void index_fill() {
    for (i64 i = 0; i < VALUE_OPTION_COUNT; i++) {
        value_option_index.by_second_byte[str_at(value_options[i], 1)] |= (uint64_t)1 << i;
        if (value_options[i].len > value_option_index.longest) value_option_index.longest = value_options[i].len;
    }
    for (i64 i = 0; i < VALUE_OPTION_COUNT; i++) {
        Str* slot = index_probe(value_options[i]);
        if (slot->data) continue;
        *slot = value_options[i];
        value_option_index.count++;
    }
}

i32 value_option_index_contains(Str token) {
    if (value_option_index.count == 0) index_fill();
    if (token.len > value_option_index.longest) return 0;  // spares hashing options that cannot match
    return index_probe(token)->data != nullptr;
}

static const Str c_values[] = {"c"_s, "cpp-output"_s};
static const Str c_header_values[] = {"c-header"_s};
static const Str cxx_values[] = {"c++"_s, "c++-cpp-output"_s, "c++-system-module"_s};
static const Str cxx_header_values[] = {"c++-header"_s, "c++-system-header"_s, "c++-user-header"_s};
static const Str assembler_values[] = {"assembler"_s, "assembler-with-cpp"_s};
static const Str none_values[] = {"none"_s};

static i32 classify_language(Str value) {
    if (str_equals_any(value, c_values, 2)) return LANG_C;
    if (str_equals_any(value, c_header_values, 1)) return LANG_C_HEADER;
    if (str_equals_any(value, cxx_values, 3)) return LANG_CXX;
    if (str_equals_any(value, cxx_header_values, 3)) return LANG_CXX_HEADER;
    if (str_equals_any(value, assembler_values, 2)) return LANG_ASSEMBLER;
    if (str_equals_any(value, none_values, 1)) return LANG_NONE;
    return LANG_OTHER;
}

static i32 kind_of_exact(Str option) {
    if (str_equals(option, "-o"_s) || str_equals(option, "--output"_s)) return OPTION_OUTPUT;
    if (str_equals(option, "-x"_s) || str_equals(option, "--language"_s)) return OPTION_LANGUAGE;
    return OPTION_OTHER;
}

static i32 kind_of_prefix(Str option) {
    if (str_equals(option, "--output="_s)) return OPTION_OUTPUT;
    if (str_equals(option, "--language="_s)) return OPTION_LANGUAGE;
    return kind_of_exact(option);
}

static i32 is_source(Str token, i32 language) {
    if (language == LANG_C || language == LANG_CXX || language == LANG_ASSEMBLER) return 1;
    if (language != LANG_NONE) return 0;
    Str u = str_strip_suffix(str_strip_suffix(token, "\""_s), "'"_s);
    for (i64 i = 0; i < SOURCE_EXTENSION_COUNT; i++)
        if (str_ends_with(u, source_extensions[i])) return 1;
    return 0;
}

// Per-command parsing state.
struct ParseState {
    ParsedCommand command;
    i32 language;  // the class set by the last "-x", or none
};

static void take_value(ParseState* state, i32 kind, Str value) {
    if (kind == OPTION_OUTPUT) state->command.output = value;
    if (kind == OPTION_LANGUAGE) state->language = classify_language(value);
}

static void parse_option(ParseState* state, Str option, StrList* tokens, Arena* arena) {
    list_append(&state->command.args, arena, option);
    if (value_option_index_contains(option)) {
        Str value = list_pop_front(tokens);
        take_value(state, kind_of_exact(option), value);
        if (value.len > 0) list_append(&state->command.args, arena, value);
        return;
    }
    // Only entries that share the option's second byte can be its prefix; bits go in table order.
    uint64_t candidates = option.len > 1 ? value_option_index.by_second_byte[str_at(option, 1)] : 0;
    for (; candidates; candidates &= candidates - 1) {
        Str entry = value_options[__builtin_ctzll(candidates)];
        if (!str_starts_with(option, entry)) continue;
        take_value(state, kind_of_prefix(entry), str_skip(option, entry.len));
        return;
    }
}

ParsedCommand parse_compiler_command(CompilerInvocation* invocation, Arena* arena) {
    ParseState state = {};
    if (invocation->kind != COMPILER_GCC) return state.command;
    StrList* tokens = &invocation->tokens;
    list_append(&state.command.args, arena, list_pop_front(tokens));
    while (tokens->count > 0) {
        Str token = list_pop_front(tokens);
        if (token.len > 0 && str_at(token, 0) == '-') {
            parse_option(&state, token, tokens, arena);
            continue;
        }
        if (is_source(token, state.language)) list_append(&state.command.sources, arena, token);
        if (token.len > 0) list_append(&state.command.args, arena, token);
    }
    state.command.ok = state.command.sources.count > 0 && state.command.args.count > 0;
    return state.command;
}

void trace_parsed_command(Output* err, const ParsedCommand* command) {
    write_line(err, "Parsed compiler command:"_s);
    err->indent++;
    write_str(err, "ok = "_s);
    write_bool_line(err, command->ok);
    write_str(err, "source = "_s);
    write_str_list(err, command->sources.head, command->sources.count);
    put_byte(err, '\n');
    write_str(err, "output = "_s);
    write_json_line(err, command->output);
    write_str(err, "args = "_s);
    write_str_list(err, command->args.head, command->args.count);
    put_byte(err, '\n');
    err->indent--;
}
