// List appending and unlinking, with the consistency checks that catch a corrupt list.
#include "core/list.h"
#include "core/fail.h"

void list_append(StrList* list, Arena* arena, Str value) {
    StrNode* node = (StrNode*)arena_alloc(arena, 1, sizeof(StrNode), 8);
    node->value = value;
    if (!list->head) {
        list->head = list->tail = node;
        list->count = 1;
        return;
    }
    node->prev = list->tail;
    list->tail->next = node;
    list->tail = node;
    list->count++;
}

[[noreturn]] static void list_corrupt() { fail("internal error: corrupt list"_s); }

Str list_unlink(StrList* list, StrNode* node) {
    if (!node || list->count <= 0) list_corrupt();
    if (node->prev) node->prev->next = node->next;
    else if (list->head == node) list->head = node->next;
    else list_corrupt();
    if (node->next) node->next->prev = node->prev;
    else if (list->tail == node) list->tail = node->prev;
    else list_corrupt();
    list->count--;
    if ((list->count == 0) != (list->head == nullptr)) list_corrupt();
    Str value = node->value;
    *node = StrNode{};
    return value;
}

Str list_pop_front(StrList* list) {
    if (!list->head) return Str{};
    return list_unlink(list, list->head);
}
