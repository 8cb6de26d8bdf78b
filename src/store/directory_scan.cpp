#include "store/directory_scan.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "filelayer/platform_file.h"
#include "primitives/memory.h"
#include "store/file_names.h"

namespace {

// A directory linked into its own subtree (a symbolic link or junction) whose
// identity the platform cannot tell would otherwise be scanned until the stack
// runs out. Real data trees are a few levels deep; Windows paths cannot nest
// much deeper than this anyway.
constexpr int kMaxScanDepth = 128;

char* CopyText(const std::string& text) {
  auto* copy = static_cast<char*>(MemAllocate(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.data(), text.size());
  return copy;
}

void SetLabel(DirNode& node, const std::string& text) {
  std::memset(node.name, 0, sizeof node.name);
  std::memcpy(node.name, text.data(), std::min<size_t>(text.size(), kDirLabelLength));
}

DirNode* ItemOf(const ListNode* listNode) {
  return static_cast<DirNode*>(listNode->item);
}

// Adds node to the front of the List and returns the List's own copy, or null
// when memory ran out (the path is then freed here).
DirNode* AddNode(List* nodes, DirNode& node) {
  if (AddItem(nodes, &node, static_cast<int16_t>(sizeof(DirNode))) == 0) {
    MemDeAllocate(node.path);
    return nullptr;
  }
  return ItemOf(nodes->first);
}

// What one listing of a directory tells the scan.
struct Listing {
  std::vector<std::string> subdirectories;  // not beginning with a full stop, in search order
  bool hasMaster = false;
};

// The whole listing is taken at once: the recursion must not run while the
// platform's search of the directory is still open. One listing serves both
// the node's master flag and its children.
Listing ListOnce(const std::string& path) {
  Listing listing;
  platform::ListDirectory(path, [&](const platform::DirectoryEntry& entry) {
    if (!entry.isDirectory && IsMasterFileName(entry.name)) listing.hasMaster = true;
    if (entry.isDirectory && !entry.name.empty() && entry.name[0] != '.')
      listing.subdirectories.push_back(entry.name);
    return true;
  });
  return listing;
}

// The directories scanned so far, by identity. A link to one of them is not
// followed: a link to an ancestor would repeat the tree without end, a link to
// another part of it would show that part twice. A directory whose identity
// cannot be learnt is scanned.
using Visited = std::set<platform::DirectoryId>;

// True when path is a directory not scanned yet (or of unknown identity),
// which is then marked scanned.
bool FirstVisit(Visited& visited, const std::string& path) {
  const auto id = platform::IdentifyDirectory(path);
  return !id || visited.insert(*id).second;
}

// Adds the subdirectories (of path) below parent. Returns 1 when a
// subdirectory was added; sets outOfMemory when a node could not be stored
// (the scan then stops).
int ScanBelow(List* nodes, const std::string& path, const std::vector<std::string>& subdirectories,
              DirNode* parent, int depth, Visited& visited, bool& outOfMemory) {
  if (depth >= kMaxScanDepth) return 0;
  int added = 0;
  for (const std::string& name : subdirectories) {
    DirNode node{};
    std::string childPath = path + name + "\\";
    if (!FirstVisit(visited, childPath)) continue;
    node.path = CopyText(childPath);
    if (node.path == nullptr) {
      outOfMemory = true;
      return added;
    }
    const Listing child = ListOnce(childPath);
    SetLabel(node, name);
    node.parent = parent;
    node.childCount = 0;
    node.hasMaster = child.hasMaster ? 1 : 0;
    ++parent->childCount;
    DirNode* stored = AddNode(nodes, node);
    if (stored == nullptr) {
      --parent->childCount;
      outOfMemory = true;
      return added;
    }
    added = 1;
    ScanBelow(nodes, childPath, child.subdirectories, stored, depth + 1, visited, outOfMemory);
    if (outOfMemory) return added;
  }
  return added;
}

}  // namespace

int ScanRootDirectory(List* nodes, const char* rootPath) {
  DirNode root{};
  root.path = CopyText(rootPath);
  if (root.path == nullptr) return 0;
  const Listing listing = ListOnce(rootPath);
  SetLabel(root, rootPath);
  root.parent = nullptr;
  root.childCount = 0;
  root.hasMaster = listing.hasMaster ? 1 : 0;
  DirNode* stored = AddNode(nodes, root);
  if (stored == nullptr) return 0;
  bool outOfMemory = false;
  Visited visited;
  FirstVisit(visited, rootPath);
  ScanBelow(nodes, rootPath, listing.subdirectories, stored, 0, visited, outOfMemory);
  return outOfMemory ? 0 : 1;
}

int HasChildNode(const List* nodes, const DirNode* node) {
  for (const ListNode* it = nodes->first; it != nullptr; it = it->next) {
    if (ItemOf(it)->parent == node) return 1;
  }
  return 0;
}

int PruneDirTree(List* nodes) {
  // Each node's count of children still in the List; a node goes once it has
  // no master and that count is 0, which may free its parent in turn. This
  // removes the same nodes as walking the List until nothing more goes, in
  // one pass instead of one search of the List per node and walk.
  std::unordered_map<const DirNode*, int32_t> children;
  std::unordered_map<const DirNode*, ListNode*> where;
  for (ListNode* it = nodes->first; it != nullptr; it = it->next) {
    where[ItemOf(it)] = it;
    if (ItemOf(it)->parent != nullptr) ++children[ItemOf(it)->parent];
  }
  auto removable = [&](const DirNode* node) {
    return node->parent != nullptr && node->hasMaster == 0 && children[node] == 0;
  };
  std::vector<ListNode*> doomed;
  for (ListNode* it = nodes->first; it != nullptr; it = it->next) {
    if (removable(ItemOf(it))) doomed.push_back(it);
  }
  while (!doomed.empty()) {
    ListNode* it = doomed.back();
    doomed.pop_back();
    DirNode* node = ItemOf(it);
    const DirNode* parent = node->parent;
    MemDeAllocate(node->path);
    DeleteCurrent(nodes, it);
    const auto parentNode = where.find(parent);
    if (--children[parent] == 0 && parentNode != where.end() && removable(parent))
      doomed.push_back(parentNode->second);
  }
  return 1;
}

int KillTreeData(List* nodes) {
  for (ListNode* it = nodes->first; it != nullptr; it = it->next) {
    DirNode* node = ItemOf(it);
    node->path = static_cast<char*>(MemDeAllocate(node->path));
  }
  return 1;
}

const char* GetPathFromTree(const DirNode* node) {
  return node->path;
}

DirNode* RootDirNode(const List* nodes) {
  return nodes->last != nullptr ? ItemOf(nodes->last) : nullptr;
}

std::vector<DirNode*> ChildDirNodes(const List* nodes, const DirNode* node) {
  // The List runs from the newest node to the oldest, so a directory's
  // children come out in the reverse of the search order.
  std::vector<DirNode*> children;
  for (const ListNode* it = nodes->first; it != nullptr; it = it->next) {
    if (ItemOf(it)->parent == node) children.push_back(ItemOf(it));
  }
  std::reverse(children.begin(), children.end());
  return children;
}

namespace {

void WalkBelow(const List* nodes, const DirNode* node, int depth,
               const std::function<void(const DirNode&, int)>& visit) {
  visit(*node, depth);
  for (const DirNode* child : ChildDirNodes(nodes, node)) WalkBelow(nodes, child, depth + 1, visit);
}

}  // namespace

void WalkDirTree(const List* nodes, const std::function<void(const DirNode& node, int depth)>& visit) {
  const DirNode* root = RootDirNode(nodes);
  if (root != nullptr) WalkBelow(nodes, root, 0, visit);
}
