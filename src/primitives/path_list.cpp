#include "primitives/path_list.h"

#include <cstring>

#include "primitives/memory.h"

PathNode* PathList = nullptr;

void AddPath(const char* path) {
  if (path == nullptr) return;
  for (const PathNode* node = PathList; node != nullptr; node = node->next) {
    if (std::strcmp(node->path, path) == 0) return;
  }
  auto* node = static_cast<PathNode*>(MemAllocate(sizeof(PathNode)));
  if (node == nullptr) return;
  const size_t length = std::strlen(path);
  node->path = static_cast<char*>(MemAllocate(length + 1));
  if (node->path == nullptr) {
    MemDeAllocate(node);
    return;
  }
  std::memcpy(node->path, path, length);
  node->next = PathList;
  PathList = node;
}

void KillPathList() {
  while (PathList != nullptr) {
    PathNode* next = PathList->next;
    MemDeAllocate(PathList->path);
    MemDeAllocate(PathList);
    PathList = next;
  }
}
