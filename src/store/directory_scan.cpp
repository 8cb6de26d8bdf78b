#include "store/directory_scan.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
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

// What the scan asks of the system about one directory.
struct Looked {
  std::optional<platform::DirectoryId> id;
  Listing listing;
};

Looked Look(const std::string& path) {
  return {platform::IdentifyDirectory(path), ListOnce(path)};
}

// The root's subtrees looked at ahead of the scan, each whole by one thread.
// The scan still takes every directory in its own order and decides alone
// what to follow, so its result does not depend on the helpers: they only
// take system calls off its path. A directory no helper looked at the scan
// looks at itself; while it waits for a subtree a helper is busy with, it
// looks at the next subtree not yet begun.
class LookAhead {
 public:
  explicit LookAhead(int helpers) {
    for (int i = 0; i < helpers; ++i) threads_.emplace_back([this] { Help(); });
  }
  ~LookAhead() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // The root (with its identity, when known) and its subdirectories, in the
  // order the scan takes them.
  void Expect(const std::string& root, std::optional<platform::DirectoryId> rootId,
              const std::vector<std::string>& subdirectories) {
    if (threads_.empty()) return;
    {
      const std::lock_guard lock(mutex_);
      root_ = root;
      rootId_ = rootId;
      for (const std::string& name : subdirectories) queue_.push_back(root + name + "\\");
    }
    changed_.notify_all();
  }

  Looked Take(const std::string& path) {
    if (threads_.empty()) return Look(path);
    std::unique_lock lock(mutex_);
    if (current_.empty() || !path.starts_with(current_)) {
      // The scan has left the subtree it was taking: what is left of it will not be asked for.
      done_.erase(current_);
      current_ = SubtreeOf(path);
    }
    const std::string& subtree = current_;
    for (;;) {
      if (const auto found = done_.find(subtree); found != done_.end()) {
        if (std::optional<Looked> looked = found->second.Take(path)) return std::move(*looked);
        break;
      }
      if (!busy_.contains(subtree)) break;
      if (!LookAtNextSubtree(lock)) changed_.wait(lock);
    }
    if (path == subtree) std::erase(queue_, path);  // begun by the scan itself
    lock.unlock();
    return Look(path);
  }

 private:
  // A subtree's directories as a helper looked at them, in the order the
  // scan takes them; the scan asks for them in that order, passing over
  // those below a directory it does not enter.
  struct Collected {
    std::vector<std::pair<std::string, Looked>> looked;
    size_t next = 0;  // the first not yet asked for

    std::optional<Looked> Take(const std::string& path) {
      for (size_t at = next; at < looked.size(); ++at) {
        if (looked[at].first != path) continue;
        next = at + 1;
        return std::move(looked[at].second);
      }
      return std::nullopt;
    }
  };

  // The root's subdirectory that path lies in (or is).
  std::string SubtreeOf(const std::string& path) const {
    const size_t end = path.find('\\', root_.size());
    return path.substr(0, end == std::string::npos ? path.size() : end + 1);
  }

  // Every directory of the subtree the scan would reach, looked at in the
  // order the scan takes them; a directory met again through a link is
  // looked at but not entered.
  static void Collect(const std::string& path, int depth, Visited& seen, Collected& collected) {
    const size_t at = collected.looked.size();
    collected.looked.emplace_back(path, Look(path));
    const std::optional<platform::DirectoryId> id = collected.looked[at].second.id;
    if (id && !seen.insert(*id).second) return;
    if (depth + 1 >= kMaxScanDepth) return;
    // By index: the recursion adds to collected.looked, moving its elements.
    for (size_t i = 0; i < collected.looked[at].second.listing.subdirectories.size(); ++i)
      Collect(path + collected.looked[at].second.listing.subdirectories[i] + "\\", depth + 1, seen,
              collected);
  }

  // Looks at the next subtree no thread has begun; false when there is none.
  bool LookAtNextSubtree(std::unique_lock<std::mutex>& lock) {
    if (queue_.empty()) return false;
    const std::string subtree = std::move(queue_.front());
    queue_.pop_front();
    busy_.insert(subtree);
    const std::optional<platform::DirectoryId> rootId = rootId_;
    lock.unlock();
    Collected collected;
    try {
      Visited seen;
      if (rootId) seen.insert(*rootId);
      Collect(subtree, 0, seen, collected);
    } catch (const std::bad_alloc&) {
      // What was not looked at the scan looks at itself, and meets the shortage there.
    }
    lock.lock();
    done_.emplace(subtree, std::move(collected));
    busy_.erase(subtree);
    changed_.notify_all();
    return true;
  }

  void Help() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (!LookAtNextSubtree(lock)) changed_.wait(lock);
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string root_;
  std::optional<platform::DirectoryId> rootId_;
  std::deque<std::string> queue_;                    // subtrees not begun, in the scan's order
  std::set<std::string> busy_;                       // subtrees a thread is looking at
  std::unordered_map<std::string, Collected> done_;  // subtrees looked at ahead, not yet left by the scan
  std::string current_;                              // the subtree the scan is taking
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Adds the subdirectories (of path) below parent. Returns 1 when a
// subdirectory was added; sets outOfMemory when a node could not be stored
// (the scan then stops).
int ScanBelow(List* nodes, const std::string& path, const std::vector<std::string>& subdirectories,
              DirNode* parent, int depth, Visited& visited, LookAhead& ahead, bool& outOfMemory) {
  if (depth >= kMaxScanDepth) return 0;
  int added = 0;
  for (const std::string& name : subdirectories) {
    DirNode node{};
    std::string childPath = path + name + "\\";
    Looked child = ahead.Take(childPath);
    if (child.id && !visited.insert(*child.id).second) continue;
    node.path = CopyText(childPath);
    if (node.path == nullptr) {
      outOfMemory = true;
      return added;
    }
    SetLabel(node, name);
    node.parent = parent;
    node.childCount = 0;
    node.hasMaster = child.listing.hasMaster ? 1 : 0;
    ++parent->childCount;
    DirNode* stored = AddNode(nodes, node);
    if (stored == nullptr) {
      --parent->childCount;
      outOfMemory = true;
      return added;
    }
    added = 1;
    ScanBelow(nodes, childPath, child.listing.subdirectories, stored, depth + 1, visited, ahead, outOfMemory);
    if (outOfMemory) return added;
  }
  return added;
}

}  // namespace

int ScanRootDirectory(List* nodes, const char* rootPath, int helpers) {
  DirNode root{};
  root.path = CopyText(rootPath);
  if (root.path == nullptr) return 0;
  const Looked looked = Look(rootPath);
  SetLabel(root, rootPath);
  root.parent = nullptr;
  root.childCount = 0;
  root.hasMaster = looked.listing.hasMaster ? 1 : 0;
  DirNode* stored = AddNode(nodes, root);
  if (stored == nullptr) return 0;
  bool outOfMemory = false;
  Visited visited;
  if (looked.id) visited.insert(*looked.id);
  LookAhead ahead(helpers);
  ahead.Expect(rootPath, looked.id, looked.listing.subdirectories);
  ScanBelow(nodes, rootPath, looked.listing.subdirectories, stored, 0, visited, ahead, outOfMemory);
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
