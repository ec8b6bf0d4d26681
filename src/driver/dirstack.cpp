// The directory stack: it pushes on entering and pops on a leave that names the top exactly. The
// input itself is never rewritten: paths are normalised in copies in the line's scratch memory, since
// a path without its closing quote can reach into lines still to be read; the stack stores the
// normalised form, and its room is judged by that length.
#include "driver/dirstack.h"

// Copies a normalised path into the stack's arena, with its maker, when it and both nodes fit there.
static i32 push_entry(DirStack* stack, Str path, Str maker) {
    Arena trial = stack->arena;
    if (!arena_fits(&trial, path.len, 1, 1)) return 0;
    Str copy = str_clone(&trial, path);
    if (!arena_fits(&trial, 2, sizeof(StrNode), 8)) return 0;
    list_append(&stack->entries, &trial, copy);
    list_append(&stack->makers, &trial, maker);
    stack->arena = trial;
    return 1;
}

DirStack create_dir_stack(Arena* main_arena, Str start) {
    DirStack stack = {};
    char* block = (char*)arena_alloc(main_arena, DIR_STACK_BYTES, 1, 1);
    stack.arena = arena_over(block, DIR_STACK_BYTES);
    push_entry(&stack, start, Str{});
    return stack;
}

i32 enter_directory(DirStack* stack, Str path, Str maker, Arena* scratch) {
    i32 result = stack->makers.tail && str_equals(maker, stack->makers.tail->value) && maker.len > 0 ? ENTER_INTERLEAVED : 0;
    if (path.len == 0) return result;
    // Normalising at most halves a path: one too long for the stack even then is not copied at all.
    if ((path.len + 1) / 2 >= DIR_STACK_BYTES) return result | ENTER_FULL;
    if (!push_entry(stack, str_normalize_slashes(str_clone(scratch, path)), maker)) result |= ENTER_FULL;
    return result;
}

void leave_directory(DirStack* stack, Str path, Arena* scratch) {
    if (path.len == 0 || stack->entries.count <= 1) return;
    Str top = stack->entries.tail->value;
    // Normalising at most halves a path: one too long for the top is not copied at all, however
    // far a missing quote made it reach.
    if ((path.len + 1) / 2 > top.len) return;
    Str normalized = str_normalize_slashes(str_clone(scratch, path));
    if (!str_equals(normalized, top)) return;
    list_unlink(&stack->entries, stack->entries.tail);
    list_unlink(&stack->makers, stack->makers.tail);
    arena_rewind(&stack->arena, top.data);
}

Str current_directory(const DirStack* stack) {
    return stack->entries.tail ? stack->entries.tail->value : Str{};
}
