// The directory tree of a browser: the directories below a root path that hold
// a master file, or lead to one that does. This is the portable half: the disk
// scan into a node List, the pruning, and the order and labels the tree view
// shows. The tree view itself is filled by the Windows browser from these nodes.
//
// Nodes live in a List (primitives/list.h) as fixed-size DirNode records. The
// tree items and the children's parent fields refer to a node by the address of
// its copy inside the List, so a node stays where it is for as long as the List
// holds it. The List is owned by the caller (the browser): it creates it empty,
// these functions fill it, and the caller frees it with KillTreeData followed
// by KillList (NodeListPtr does both).
//
// Directory texts end in a backslash; directories are read only through
// platform::ListDirectory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "primitives/list.h"

inline constexpr int kDirLabelLength = 29;

struct DirNode {
  char* path;  // owned (MemAllocate); the full path, ending in a backslash
  char name[kDirLabelLength +
            1];        // the label: the directory's own name (the root path for the root), cut to 29
  DirNode* parent;     // the parent's copy inside the List; null for the root
  int32_t childCount;  // subdirectories the scan found directly inside; pruning does not lower it
  int32_t hasMaster;   // 1 when the directory holds a file named master (any letter case)
};

// Adds the root node (path = rootPath, label = rootPath cut to 29 characters)
// and everything below it; a directory reached again, through a link, is left
// out (not followed, not counted). nodes must be empty. Returns 1, or 0 when
// memory ran out (the nodes added so far stay in the List for KillTreeData).
// `helpers` threads list directories ahead of the scan (qvx check -j); the
// nodes are the same with any number.
int ScanRootDirectory(List* nodes, const char* rootPath, int helpers = 0);
// Removes, until nothing more goes, every node other than the root that holds
// no master and has no child node left, freeing its path. Afterwards the List
// holds exactly the root, the directories with a master and the directories on
// the way to them. Returns 1.
int PruneDirTree(List* nodes);
// 1 when some node in the List has node as its parent.
int HasChildNode(const List* nodes, const DirNode* node);
// Frees every node's path; the List and its items remain for KillList.
// Returns 1.
int KillTreeData(List* nodes);

// A node List owned by one scope; freed with KillTreeData and KillList.
struct NodeListDeleter {
  void operator()(List* nodes) const {
    KillTreeData(nodes);
    KillList(nodes);
  }
};
using NodeListPtr = std::unique_ptr<List, NodeListDeleter>;
// The node's path; it stays owned by the node.
const char* GetPathFromTree(const DirNode* node);

// The root node (the List's last item), or null for an empty List.
DirNode* RootDirNode(const List* nodes);
// The children of node in the order the tree shows them, which is the order
// the directory search returned them.
std::vector<DirNode*> ChildDirNodes(const List* nodes, const DirNode* node);
// Visits the tree in the order its items appear, the root first with depth 0,
// each node followed by its subtree.
void WalkDirTree(const List* nodes, const std::function<void(const DirNode& node, int depth)>& visit);
