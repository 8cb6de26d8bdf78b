#include "primitives/list.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "primitives/memory.h"

namespace {

// Where a node's copy of its item begins: right after the node, in the same
// block, aligned for any item.
constexpr size_t kItemOffset =
    (sizeof(ListNode) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);

// A node holding its own copy of the item, in one block with it, not yet
// linked; null when memory ran out or the size is negative.
ListNode* NewNode(const void* item, int16_t size) {
  if (size < 0 || (size > 0 && item == nullptr)) return nullptr;
  auto* block = static_cast<unsigned char*>(MemAllocate(kItemOffset + static_cast<size_t>(size)));
  if (block == nullptr) return nullptr;
  auto* node = reinterpret_cast<ListNode*>(block);
  node->item = block + kItemOffset;
  if (size > 0) std::memcpy(node->item, item, static_cast<size_t>(size));
  node->itemSize = size;
  return node;
}

void FreeNode(ListNode* node) {
  MemDeAllocate(node);
}

void LinkBefore(List* list, ListNode* node, ListNode* before) {
  node->next = before;
  node->previous = before->previous;
  if (before->previous != nullptr) {
    before->previous->next = node;
  } else {
    list->first = node;
  }
  before->previous = node;
}

void LinkAtBack(List* list, ListNode* node) {
  node->next = nullptr;
  node->previous = list->last;
  if (list->last != nullptr) {
    list->last->next = node;
  } else {
    list->first = node;
  }
  list->last = node;
}

// Copies the node's item out; never more than the node holds, whatever size
// the caller asks for.
ListNode* CopyOut(const ListNode* node, void* buffer, int16_t size) {
  if (node == nullptr) return nullptr;
  if (buffer != nullptr && size > 0) {
    std::memcpy(buffer, node->item, static_cast<size_t>(std::min(size, node->itemSize)));
  }
  return const_cast<ListNode*>(node);
}

ListNode* FindEqual(const List* list, const void* key, int16_t size, ListCompare compare) {
  if (list == nullptr || compare == nullptr) return nullptr;
  for (ListNode* node = list->first; node != nullptr; node = node->next) {
    if (compare(node->item, node->itemSize, key, size) == 0) return node;
  }
  return nullptr;
}

}  // namespace

List* CreateList() {
  return static_cast<List*>(MemAllocate(sizeof(List)));
}

int KillList(List* list) {
  if (list == nullptr) return 0;
  FlushList(list);
  MemDeAllocate(list);
  return 0;
}

int FlushList(List* list) {
  if (list == nullptr) return 1;
  ListNode* node = list->first;
  while (node != nullptr) {
    ListNode* next = node->next;
    FreeNode(node);
    node = next;
  }
  list->first = nullptr;
  list->last = nullptr;
  return 1;
}

int ListEmpty(const List* list) {
  return list == nullptr || (list->first == nullptr && list->last == nullptr) ? 1 : 0;
}

int32_t CountListItems(const List* list) {
  if (list == nullptr) return 0;
  int32_t count = 0;
  for (const ListNode* node = list->first; node != nullptr; node = node->next) ++count;
  return count;
}

int AddItem(List* list, const void* item, int16_t size) {
  if (list == nullptr) return 0;
  ListNode* node = NewNode(item, size);
  if (node == nullptr) return 0;
  if (list->first == nullptr) {
    LinkAtBack(list, node);
  } else {
    LinkBefore(list, node, list->first);
  }
  return 1;
}

int AddNewItem(List* list, const void* item, int16_t size, ListCompare compare) {
  if (list == nullptr || compare == nullptr) return 0;
  ListNode* node = NewNode(item, size);
  if (node == nullptr) return 0;
  for (ListNode* at = list->first; at != nullptr; at = at->next) {
    if (compare(at->item, at->itemSize, node->item, node->itemSize) >= 0) {
      LinkBefore(list, node, at);
      return 1;
    }
  }
  LinkAtBack(list, node);
  return 1;
}

int IsInList(const List* list, const void* key, int16_t size, ListCompare compare) {
  return FindEqual(list, key, size, compare) != nullptr ? 1 : 0;
}

int DeleteItem(List* list, const void* key, int16_t size, ListCompare compare) {
  ListNode* node = FindEqual(list, key, size, compare);
  if (node == nullptr) return 0;
  return DeleteCurrent(list, node);
}

ListNode* GetFirstItem(const List* list, void* buffer, int16_t size) {
  return list == nullptr ? nullptr : CopyOut(list->first, buffer, size);
}

ListNode* GetNextItem(const ListNode* node, void* buffer, int16_t size) {
  return node == nullptr ? nullptr : CopyOut(node->next, buffer, size);
}

ListNode* GetLastItem(const List* list, void* buffer, int16_t size) {
  return list == nullptr ? nullptr : CopyOut(list->last, buffer, size);
}

ListNode* GetPreviousItem(const ListNode* node, void* buffer, int16_t size) {
  return node == nullptr ? nullptr : CopyOut(node->previous, buffer, size);
}

int DeleteCurrent(List* list, ListNode* node) {
  if (list == nullptr || node == nullptr) return 0;
  if (node->previous != nullptr) {
    node->previous->next = node->next;
  } else {
    list->first = node->next;
  }
  if (node->next != nullptr) {
    node->next->previous = node->previous;
  } else {
    list->last = node->previous;
  }
  FreeNode(node);
  return 1;
}

int16_t EditRecordNumberCompare(const void* item, int16_t itemSize, const void* key, int16_t keySize) {
  // Anything but two 4-byte record numbers is unequal; reading 4 bytes of a
  // shorter item would overrun it.
  if (itemSize != keySize || itemSize != static_cast<int16_t>(sizeof(int32_t))) return -1;
  int32_t itemNumber = 0;
  int32_t keyNumber = 0;
  std::memcpy(&itemNumber, item, sizeof itemNumber);
  std::memcpy(&keyNumber, key, sizeof keyNumber);
  if (itemNumber == keyNumber) return 0;
  return itemNumber > keyNumber ? 1 : -1;
}
