// Doubly linked lists of Str whose nodes come from an arena.
#pragma once
#include "core/arena.h"

struct StrNode {
    Str value;      // the entry; its bytes are not owned by the node
    StrNode* next;  // following node, or null
    StrNode* prev;  // preceding node, or null
};

// The all-zero record is the empty list.
struct StrList {
    StrNode* head;  // first node, or null
    StrNode* tail;  // last node, or null
    i64 count;      // number of nodes
};

// Inlined where lists are built: the allocation is a bump, and the node is made whole in one store,
// linked after the list's last node, without zero-filling it first.
inline void list_append(StrList* list, Arena* arena, Str value) {
    StrNode* node = (StrNode*)arena_take(arena, 1, sizeof(StrNode), 8);
    *node = StrNode{value, nullptr, list->tail};
    if (list->tail) list->tail->next = node;
    else list->head = node;
    list->tail = node;
    list->count++;
}

Str list_unlink(StrList* list, StrNode* node);
// Stops the program: the list's links or its count contradict each other.
[[noreturn]] void list_corrupt();

// The first value, its node unlinked as list_unlink does; nothing for an empty list. Inlined: the
// search for the compiler drops the words before it one by one.
inline Str list_pop_front(StrList* list) {
    StrNode* node = list->head;
    if (!node) return Str{};
    if (list->count <= 0) list_corrupt();
    list->head = node->next;
    if (node->next) node->next->prev = nullptr;
    else if (list->tail == node) list->tail = nullptr;
    else list_corrupt();
    list->count--;
    if ((list->count == 0) != (list->head == nullptr)) list_corrupt();
    Str value = node->value;
    *node = StrNode{};
    return value;
}
// Cuts the list before node: its first count nodes, which end right before node, become the list
// returned, and the list keeps node and what follows. The nodes stay the same.
StrList list_cut_before(StrList* list, StrNode* node, i64 count);
