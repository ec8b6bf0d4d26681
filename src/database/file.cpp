// Replacing the database's file whole, or not at all.
#include "database/file.h"

DatabaseFile database_file_at(Str path, Arena* arena) {
    DatabaseFile file = {};
    file.path = path;
    file.existed = platform_file_exists(path);
    file.target = file.existed ? platform_link_target(path, arena) : path;
    return file;
}

// The new file's name: the target's with ".ferrule-N" after it, N the first number free. A file of
// that name is left only by a run killed outright, and is never written over.
static Str temp_name(Str target, i64 n, Arena* arena) {
    char digits[20];
    i64 count = 0;
    for (i64 v = n; v > 0 || count == 0; v /= 10) digits[count++] = (char)('0' + v % 10);
    Str middle = ".ferrule-"_s;
    char* bytes = arena_take(arena, target.len + middle.len + count, 1, 1);
    __builtin_memcpy(bytes, target.data, (size_t)target.len);
    __builtin_memcpy(bytes + target.len, middle.data, (size_t)middle.len);
    for (i64 i = 0; i < count; i++) bytes[target.len + middle.len + i] = digits[count - 1 - i];
    return Str{target.len + middle.len + count, bytes};
}

i32 database_file_begin(DatabaseFile* file, i32 stop_slot, Arena* arena) {
    for (i64 n = 1; n <= 1000; n++) {
        Str temp = temp_name(file->target, n, arena);
        if (platform_file_exists(temp)) continue;
        file->handle = platform_create_file(temp, file->existed ? file->target : Str{});
        if (!file->handle) {
            file->error = platform_last_error();
            return 0;
        }
        file->temp = temp;
        platform_remove_when_stopped(stop_slot, temp);
        return 1;
    }
    return 0;
}

i32 database_file_commit(DatabaseFile* file, i32 stop_slot) {
    OsHandle handle = file->handle;
    file->handle = nullptr;
    if (!platform_close_file(handle, 1) || !platform_replace_file(file->temp, file->target)) {
        file->error = platform_last_error();
        database_file_abandon(file, stop_slot);
        return 0;
    }
    platform_remove_when_stopped(stop_slot, Str{});
    file->temp = Str{};
    return 1;
}

void database_file_abandon(DatabaseFile* file, i32 stop_slot) {
    if (file->handle) platform_close_file(file->handle, 0);
    file->handle = nullptr;
    if (file->temp.len > 0) platform_remove_file(file->temp);
    platform_remove_when_stopped(stop_slot, Str{});
    file->temp = Str{};
}
