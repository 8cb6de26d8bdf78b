// The browser's left pane: a tree view filled from the directory scan
// (directory_scan.h). Each item's parameter is its DirNode, so a selected item
// turns back into a directory path with GetPathFromTree.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "primitives/list.h"
#include "store/directory_scan.h"

// The tree pane's window style.
inline constexpr DWORD kDirTreeStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                       WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                       TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS;

// A tree pane (control 102) inside parent at the given place; null on failure.
HWND CreateDirTreeView(HWND parent, int x, int y, int width, int height);

// Scans the directories below rootPath into the empty node list, prunes it,
// inserts the tree (the root item, then each node's children in the order the
// directory search returned them; labels from the nodes; image 0; an expand
// button where the scan found subdirectories), selects the root item, which
// the tree reports to its parent with TVN_SELCHANGED, and gives the tree the
// folder images. The items refer to the nodes, so the list must outlive the
// tree's items. Returns 0.
int CreateDirTree(HWND tree, const char* rootPath, List* nodes);
