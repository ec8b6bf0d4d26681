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

void list_append(StrList* list, Arena* arena, Str value);
Str list_unlink(StrList* list, StrNode* node);
Str list_pop_front(StrList* list);
// Cuts the list before node: its first count nodes, which end right before node, become the list
// returned, and the list keeps node and what follows. The nodes stay the same.
StrList list_cut_before(StrList* list, StrNode* node, i64 count);
