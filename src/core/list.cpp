// List unlinking and cutting, with the consistency checks that catch a corrupt list.
#include "core/list.h"
#include "core/fail.h"

void list_corrupt() { fail("internal error: corrupt list"_s); }

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

StrList list_cut_before(StrList* list, StrNode* node, i64 count) {
    if (!node || !node->prev || count <= 0 || count >= list->count) list_corrupt();
    StrList front = {list->head, node->prev, count};
    front.tail->next = nullptr;
    node->prev = nullptr;
    list->head = node;
    list->count -= count;
    return front;
}
