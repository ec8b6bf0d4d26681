// Reading a compilation database that any generator wrote, and merging this run's entries into it.
#include "database/merge.h"
#include "core/utf16.h"

// A JSON reader over the whole text: a position, and the first problem met.
struct JsonReader {
    Str text;
    i64 pos;
    Str problem;  // what is wrong at pos; empty while all is well
    Arena* arena;
};

enum { JSON_DEEPEST = 512 };

static i32 json_failed(JsonReader* r, Str what) {
    if (r->problem.len == 0) r->problem = what;
    return 0;
}

static void json_skip_space(JsonReader* r) {
    while (r->pos < r->text.len) {
        u8 b = str_at(r->text, r->pos);
        if (b != ' ' && b != '\t' && b != '\n' && b != '\r') return;
        r->pos++;
    }
}

// The next byte after white space, or 0 at the end of the text.
static u8 json_peek(JsonReader* r) {
    json_skip_space(r);
    return r->pos < r->text.len ? str_at(r->text, r->pos) : 0;
}

static i32 json_expect(JsonReader* r, u8 byte, Str what) {
    if (json_peek(r) != byte) return json_failed(r, r->pos >= r->text.len ? "the text ends too early"_s : what);
    r->pos++;
    return 1;
}

static i32 hex_value(u8 b) {
    if (b >= '0' && b <= '9') return b - '0';
    b |= 0x20;
    return b >= 'a' && b <= 'f' ? b - 'a' + 10 : -1;
}

// Four hex digits at the position, as a unit; -1 when they are not.
static i32 json_unit(JsonReader* r) {
    if (r->text.len - r->pos < 4) return -1;
    i32 unit = 0;
    for (i64 i = 0; i < 4; i++) {
        i32 digit = hex_value(str_at(r->text, r->pos + i));
        if (digit < 0) return -1;
        unit = unit << 4 | digit;
    }
    r->pos += 4;
    return unit;
}

// The escape after a backslash, appended to the decoded bytes at out; the number of bytes, or -1.
static i64 json_escape(JsonReader* r, char* out) {
    if (r->pos >= r->text.len) return -1;
    u8 b = str_at(r->text, r->pos++);
    switch (b) {
    case '"': case '\\': case '/': out[0] = (char)b; return 1;
    case 'b': out[0] = '\b'; return 1;
    case 'f': out[0] = '\f'; return 1;
    case 'n': out[0] = '\n'; return 1;
    case 'r': out[0] = '\r'; return 1;
    case 't': out[0] = '\t'; return 1;
    case 'u': break;
    default: return -1;
    }
    i32 unit = json_unit(r);
    if (unit < 0) return -1;
    u32 c = (u32)unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && r->text.len - r->pos >= 6 && str_at(r->text, r->pos) == '\\' &&
        str_at(r->text, r->pos + 1) == 'u') {
        i64 back = r->pos;
        r->pos += 2;
        i32 low = json_unit(r);
        if (low >= 0xDC00 && low <= 0xDFFF) c = 0x10000 + ((u32)(unit - 0xD800) << 10) + (u32)(low - 0xDC00);
        else r->pos = back;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
    return utf8_encode(c, out);
}

// A string at the position; its decoded bytes in the arena when decoded is given.
static i32 json_string(JsonReader* r, Str* decoded) {
    if (!json_expect(r, '"', "a string was expected"_s)) return 0;
    // Decoding never makes a string longer than it is written: room for the bytes up to the closing
    // quote is enough.
    i64 end = r->pos;
    while (end < r->text.len && str_at(r->text, end) != '"') end += str_at(r->text, end) == '\\' ? 2 : 1;
    char* out = decoded ? arena_take(r->arena, end - r->pos, 1, 1) : nullptr;
    i64 n = 0;
    for (;;) {
        if (r->pos >= r->text.len) return json_failed(r, "the text ends inside a string"_s);
        u8 b = str_at(r->text, r->pos);
        if (b == '"') break;
        if (b < 0x20) return json_failed(r, "a control character stands unescaped in a string"_s);
        r->pos++;
        if (b != '\\') {
            if (out) out[n++] = (char)b;
            continue;
        }
        char bytes[4];
        i64 k = json_escape(r, bytes);
        if (k < 0) return json_failed(r, "a string holds an invalid escape"_s);
        for (i64 i = 0; out && i < k; i++) out[n++] = bytes[i];
    }
    r->pos++;
    if (decoded) {
        arena_rewind(r->arena, out + n);
        *decoded = Str{n, out};
    }
    return 1;
}

static i32 json_literal(JsonReader* r, Str word) {
    if (!str_starts_with(str_skip(r->text, r->pos), word)) return json_failed(r, "a value was expected"_s);
    r->pos += word.len;
    return 1;
}

static i32 json_number(JsonReader* r) {
    i64 start = r->pos;
    if (r->pos < r->text.len && str_at(r->text, r->pos) == '-') r->pos++;
    i64 digits = 0;
    for (; r->pos < r->text.len; r->pos++) {
        u8 b = str_at(r->text, r->pos);
        if ((b >= '0' && b <= '9') || b == '.' || b == 'e' || b == 'E' || b == '+' || b == '-') digits++;
        else break;
    }
    if (digits == 0) {
        r->pos = start;
        return json_failed(r, "a value was expected"_s);
    }
    return 1;
}

static i32 json_value(JsonReader* r, i32 depth);

// The members or items of an object or array, after its opening byte, up to its closer.
static i32 json_container(JsonReader* r, u8 closer, i32 depth) {
    if (depth > JSON_DEEPEST) return json_failed(r, "values are nested too deeply"_s);
    if (json_peek(r) == closer) {
        r->pos++;
        return 1;
    }
    for (;;) {
        if (closer == '}' && (!json_string(r, nullptr) || !json_expect(r, ':', "':' was expected"_s))) return 0;
        if (!json_value(r, depth + 1)) return 0;
        if (json_peek(r) == closer) {
            r->pos++;
            return 1;
        }
        if (!json_expect(r, ',', closer == '}' ? "',' or '}' was expected"_s : "',' or ']' was expected"_s)) return 0;
    }
}

static i32 json_value(JsonReader* r, i32 depth) {
    u8 b = json_peek(r);
    if (b == '"') return json_string(r, nullptr);
    if (b == '{' || b == '[') {
        r->pos++;
        return json_container(r, b == '{' ? '}' : ']', depth);
    }
    if (b == 't') return json_literal(r, "true"_s);
    if (b == 'f') return json_literal(r, "false"_s);
    if (b == 'n') return json_literal(r, "null"_s);
    if (r->pos >= r->text.len) return json_failed(r, "the text ends too early"_s);
    return json_number(r);
}

static i32 is_absolute_path(Str path) {
    if (str_starts_with(path, "/"_s) || str_starts_with(path, "\\\\"_s)) return 1;
    if (path.len < 2 || str_at(path, 1) != ':') return 0;
    u8 letter = str_at(path, 0) | 0x20;
    return letter >= 'a' && letter <= 'z';
}

// The entry's key, in the arena.
static Str entry_key(Str directory, Str file, Arena* arena) {
    return str_with_slashes(arena, is_absolute_path(file) ? file : str_join(arena, directory, "/"_s, file));
}

// One entry: an object whose "directory" and "file" are strings, the last of each name counting.
static i32 json_entry(JsonReader* r, Database* database) {
    if (json_peek(r) != '{') return json_failed(r, "an entry was expected: a JSON object"_s);
    i64 start = r->pos++;
    Str directory = {}, file = {};
    i32 has_directory = 0, has_file = 0;
    if (json_peek(r) == '}') {
        r->pos++;
    } else {
        for (;;) {
            Str name = {};
            if (!json_string(r, &name) || !json_expect(r, ':', "':' was expected"_s)) return 0;
            i32 is_directory = str_equals(name, "directory"_s), is_file = str_equals(name, "file"_s);
            if ((is_directory || is_file) && json_peek(r) == '"') {
                if (!json_string(r, is_directory ? &directory : &file)) return 0;
                has_directory |= is_directory, has_file |= is_file;
            } else {
                if (!json_value(r, 2)) return 0;
                if (is_directory) has_directory = 0;
                if (is_file) has_file = 0;
            }
            if (json_peek(r) == '}') {
                r->pos++;
                break;
            }
            if (!json_expect(r, ',', "',' or '}' was expected"_s)) return 0;
        }
    }
    if (!has_directory || !has_file) {
        r->pos = start;
        return json_failed(r, !has_directory ? "the entry has no string \"directory\""_s : "the entry has no string \"file\""_s);
    }
    DatabaseEntry* entry = (DatabaseEntry*)arena_alloc(r->arena, 1, sizeof(DatabaseEntry), 8);
    entry->object = Str{r->pos - start, r->text.data + start};
    entry->key = entry_key(directory, file, r->arena);
    if (database->last) database->last->next = entry;
    else database->first = entry;
    database->last = entry;
    database->count++;
    return 1;
}

static DatabaseProblem problem_at(Str text, i64 pos, Str what) {
    DatabaseProblem problem = {1, 1, what};
    for (i64 i = 0; i < pos && i < text.len; i++) {
        if (str_at(text, i) == '\n') problem.line++, problem.column = 1;
        else problem.column++;
    }
    return problem;
}

i32 database_read(Str text, Arena* arena, Database* database, DatabaseProblem* problem) {
    JsonReader r = {text, 0, Str{}, arena};
    if (str_starts_with(text, "\xEF\xBB\xBF"_s)) r.pos = 3;
    *database = Database{};
    i32 ok = json_expect(&r, '[', "the database is not a JSON array"_s);
    if (ok && json_peek(&r) == ']') {
        r.pos++;
    } else {
        while (ok) {
            ok = json_entry(&r, database);
            if (!ok) break;
            if (json_peek(&r) == ']') {
                r.pos++;
                break;
            }
            ok = json_expect(&r, ',', "',' or ']' was expected"_s);
        }
    }
    if (ok && json_peek(&r) != 0) ok = json_failed(&r, "text follows the array"_s);
    if (!ok) *problem = problem_at(text, r.pos, r.problem);
    return ok;
}

static u64 key_hash(Str key) {
    u64 h = 14695981039346656037ull;
    for (i64 i = 0; i < key.len; i++) h = (h ^ str_at(key, i)) * 1099511628211ull;
    return h;
}

// The keys of a database as an open-addressed set with at least twice as many slots as keys.
struct KeySet {
    const DatabaseEntry** slots;
    u64 mask;
};

static KeySet key_set_of(const Database* database, Arena* arena) {
    u64 size = 16;
    while (size < 2 * (u64)database->count) size *= 2;
    KeySet set = {(const DatabaseEntry**)arena_alloc(arena, (i64)size, sizeof(DatabaseEntry*), 8), size - 1};
    for (const DatabaseEntry* e = database->first; e; e = e->next) {
        u64 i = key_hash(e->key) & set.mask;
        while (set.slots[i] && !str_equals(set.slots[i]->key, e->key)) i = (i + 1) & set.mask;
        set.slots[i] = e;
    }
    return set;
}

static i32 key_set_has(const KeySet* set, Str key) {
    for (u64 i = key_hash(key) & set->mask; set->slots[i]; i = (i + 1) & set->mask)
        if (str_equals(set->slots[i]->key, key)) return 1;
    return 0;
}

static void write_object(Output* out, Str object, i64 written) {
    if (written > 0) write_str(out, ",\n"_s);
    write_str(out, "    "_s);
    write_str(out, object);
}

i64 database_write_merged(Output* out, const Database* old, const Database* fresh, Arena* arena) {
    KeySet compiled = key_set_of(fresh, arena);
    i64 written = 0;
    out->indent = 0;
    write_str(out, "[\n"_s);
    for (const DatabaseEntry* e = old->first; e; e = e->next)
        if (!key_set_has(&compiled, e->key)) write_object(out, e->object, written++);
    for (const DatabaseEntry* e = fresh->first; e; e = e->next) write_object(out, e->object, written++);
    write_str(out, written > 0 ? "\n]\n"_s : "]\n"_s);
    return written;
}
