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

// Links a node whose next and prev are null after the list's last node.
inline void list_link_last(StrList* list, StrNode* node) {
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

// Inlined where lists are built: the allocation is a bump, and the node is linked last.
inline void list_append(StrList* list, Arena* arena, Str value) {
    StrNode* node = (StrNode*)arena_alloc(arena, 1, sizeof(StrNode), 8);
    node->value = value;
    list_link_last(list, node);
}

Str list_unlink(StrList* list, StrNode* node);
Str list_pop_front(StrList* list);
// Cuts the list before node: its first count nodes, which end right before node, become the list
// returned, and the list keeps node and what follows. The nodes stay the same.
StrList list_cut_before(StrList* list, StrNode* node, i64 count);
