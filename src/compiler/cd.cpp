// The `cd` commands of a shell line and the directories they lead to.
#include "compiler/cd.h"
#include "shell/syntax.h"

// The operators after which a `cd` has moved the shell that runs the rest of the line: "|" and "&"
// would run it in a shell of its own.
static i32 ends_cd_command(const StrNode* word) {
    if (!word) return 1;
    return str_equals(word->value, "&&"_s) || str_equals(word->value, ";"_s) || str_equals(word->value, "||"_s);
}

static i32 is_written_out(Str dir) {
    if (dir.len == 0 || str_find_any(dir, "$`"_s) >= 0) return 0;
    if (str_at(dir, 0) == '-' || str_at(dir, 0) == '~') return 0;
    return !is_control_operator(dir) && !is_redirection_word(dir);
}

i32 cd_target(const StrNode* word, Str* target) {
    if (!str_equals(word->value, "cd"_s)) return 0;
    const StrNode* dir = word->next;
    if (!dir) return 0;
    // cmd's "/d" also changes the drive; alone before the end of the command it is the directory.
    if ((str_equals(dir->value, "/d"_s) || str_equals(dir->value, "/D"_s)) && !ends_cd_command(dir->next)) dir = dir->next;
    if (!is_written_out(dir->value) || !ends_cd_command(dir->next)) return 0;
    *target = dir->value;
    return 1;
}

static i32 is_absolute(Str dir) {
    if (dir.len > 0 && str_at(dir, 0) == '/') return 1;
    if (dir.len < 3 || str_at(dir, 1) != ':' || str_at(dir, 2) != '/') return 0;
    u8 letter = str_at(dir, 0) & ~0x20;
    return letter >= 'A' && letter <= 'Z';
}

// The length of dir without its trailing slashes, keeping the slash of "/" and of "C:/".
static i64 without_trailing_slashes(Str dir) {
    i64 len = dir.len;
    while (len > 1 && str_at(dir, len - 1) == '/' && !(len == 3 && str_at(dir, 1) == ':')) len--;
    return len;
}

Str directory_after_cd(Str current, Str target, Arena* arena) {
    if (str_equals(target, "."_s)) return current;
    Str dir = str_with_slashes(arena, target);
    if (!is_absolute(dir)) {
        i32 slash = current.len == 0 || str_at(current, current.len - 1) != '/';
        dir = str_join(arena, current, slash ? "/"_s : Str{}, dir);
    }
    return Str{without_trailing_slashes(dir), dir.data};
}
