#include "browser/directory_tree_view.h"

#include <commctrl.h>

#include "resource.h"
#include "winui/app_globals.h"

namespace {

constexpr int kItemTextCapacity = 256;
constexpr int kFolderImage = 0;

HTREEITEM InsertNodeItem(HWND tree, HTREEITEM parentItem, DirNode* node) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parentItem;
  insert.hInsertAfter = TVI_LAST;
  TVITEMA& item = insert.item;
  item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
  item.pszText = node->name;
  item.cchTextMax = kItemTextCapacity;
  item.iImage = kFolderImage;
  item.iSelectedImage = kFolderImage;
  item.lParam = reinterpret_cast<LPARAM>(node);
  // The scan's count, not what pruning left: a directory whose
  // subdirectories hold no data still shows that it has some.
  item.cChildren = node->childCount >= 1 ? 1 : 0;
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

int InsertChildItems(HWND tree, const List* nodes, HTREEITEM item, const DirNode* node) {
  for (DirNode* child : ChildDirNodes(nodes, node)) {
    if (const HTREEITEM childItem = InsertNodeItem(tree, item, child)) {
      InsertChildItems(tree, nodes, childItem, child);
    }
  }
  return 1;
}

int InsertRootItem(HWND tree, const List* nodes) {
  DirNode* root = RootDirNode(nodes);
  if (root == nullptr) return 1;
  if (const HTREEITEM rootItem = InsertNodeItem(tree, TVI_ROOT, root)) {
    InsertChildItems(tree, nodes, rootItem, root);
  }
  return 1;
}

}  // namespace

HWND CreateDirTreeView(HWND parent, int x, int y, int width, int height) {
  return CreateWindowExA(0, WC_TREEVIEWA, "", kDirTreeStyle, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FILER_TREE)), hInst, nullptr);
}

int CreateDirTree(HWND tree, const char* rootPath, List* nodes) {
  ScanRootDirectory(nodes, rootPath);
  PruneDirTree(nodes);
  InsertRootItem(tree, nodes);
  auto first = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
  if (first == nullptr)
    first = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
  SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(hImageList));
  return 0;
}
