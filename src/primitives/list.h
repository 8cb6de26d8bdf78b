// The doubly linked List of private byte copies, with caller-held cursors
// (node pointers) and caller-supplied comparison.
#pragma once

#include <cstdint>
#include <memory>

struct ListNode {
  void* item;  // the node's own copy of the item's bytes, in the node's block
  int16_t itemSize;
  ListNode* previous;  // null at the front
  ListNode* next;      // null at the back
};

struct List {
  ListNode* first;  // null when empty
  ListNode* last;   // null when empty
};

// 0 means equal; for ordered insertion a result >= 0 means the item sorts at or
// after the key.
using ListCompare = int16_t (*)(const void* item, int16_t itemSize, const void* key, int16_t keySize);

List* CreateList();
int KillList(List* list);   // frees everything including the header; returns 0
int FlushList(List* list);  // frees every node, keeps the header; returns 1

// A List owned by one scope; freed with KillList.
struct ListDeleter {
  void operator()(List* list) const { KillList(list); }
};
using ListPtr = std::unique_ptr<List, ListDeleter>;

int ListEmpty(const List* list);
int32_t CountListItems(const List* list);
// Copies the item into a new node at the front; 1, or 0 when memory ran out.
int AddItem(List* list, const void* item, int16_t size);
// Inserts before the first node for which compare(node, new) >= 0, else at the
// back; 1, or 0 when memory ran out.
int AddNewItem(List* list, const void* item, int16_t size, ListCompare compare);
int IsInList(const List* list, const void* key, int16_t size, ListCompare compare);
// Removes the first node from the front that compares equal; 1 if removed.
int DeleteItem(List* list, const void* key, int16_t size, ListCompare compare);
// Cursor walks: copy size bytes of the node's item into buffer and return the
// node, or return null and leave buffer untouched. Never more bytes than the
// item holds are copied; a null buffer copies nothing.
ListNode* GetFirstItem(const List* list, void* buffer, int16_t size);
ListNode* GetNextItem(const ListNode* node, void* buffer, int16_t size);
ListNode* GetLastItem(const List* list, void* buffer, int16_t size);
ListNode* GetPreviousItem(const ListNode* node, void* buffer, int16_t size);
// Unlinks and frees the node; the pointer is dead afterwards, so a walk takes
// the neighbour first. Returns 1 (0 for a null node).
int DeleteCurrent(List* list, ListNode* node);

// The model comparison for lists of 32-bit signed record numbers: -1 when the
// sizes differ (or are not 4), else 0 / 1 / -1 for equal / item greater / item
// smaller.
int16_t EditRecordNumberCompare(const void* item, int16_t itemSize, const void* key, int16_t keySize);
