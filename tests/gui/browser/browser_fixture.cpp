#include "browser/browser_fixture.h"

#include <commctrl.h>

#include <filesystem>

#include "harness/wait.h"
#include "sample_data.h"
#include "shell/shell_globals.h"

namespace {

constexpr int kSelectPathCommand = 517;
constexpr int kSelectPathCombo = 101;

void AppendTreeLines(HWND tree, HTREEITEM item, int depth, std::vector<std::string>* lines) {
  for (; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    lines->push_back(std::string(2 * depth, ' ') + TreeItemText(tree, item));
    AppendTreeLines(tree, TreeView_GetChild(tree, item), depth + 1, lines);
  }
}

}  // namespace

void BrowserTest::SetUp() {
  BuildFrame("");
  const std::string native = temp_.Path("sample");
  std::string error;
  ASSERT_TRUE(sample::WriteSampleData(native, &error)) << error;
  root_ = native + "\\";
}

std::string BrowserTest::Dir(const std::string& relative) const {
  return root_ + relative + "\\";
}

std::string BrowserTest::NativePath(const std::string& relative) const {
  return (std::filesystem::path(root_) / relative).make_preferred().string();
}

HWND BrowserTest::OpenBrowser(const std::string& path) {
  responder_.ExpectDialog("Select Path", [path](HWND dialog) {
    SetDlgItemTextA(dialog, kSelectPathCombo, path.c_str());
    gui_harness::PressButton(dialog, IDOK);
  });
  SendMessageA(MDIFrame, WM_COMMAND, kSelectPathCommand, 0);
  const auto browser = reinterpret_cast<HWND>(SendMessageA(MDIhwnd, WM_MDIGETACTIVE, 0, 0));
  char className[32] = {};
  GetClassNameA(browser, className, sizeof className);
  EXPECT_STREQ(className, "MdiFilerChild") << "no browser opened on " << path;
  return browser;
}

HWND BrowserTest::OpenBrowserOn(const std::string& relative) {
  const HWND browser = OpenBrowser(root_);
  std::vector<std::string> labels;
  for (const auto& part : std::filesystem::path(relative)) labels.push_back(part.string());
  SelectTreeItem(Tree(browser), labels);
  return browser;
}

std::vector<std::string> TreeLines(HWND tree) {
  std::vector<std::string> lines;
  AppendTreeLines(tree, TreeView_GetRoot(tree), 0, &lines);
  return lines;
}

std::string TreeItemText(HWND tree, HTREEITEM item) {
  char text[260] = {};
  TVITEMA query{};
  query.mask = TVIF_TEXT | TVIF_HANDLE;
  query.hItem = item;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
  return text;
}

HTREEITEM FindTreeItem(HWND tree, const std::vector<std::string>& labels) {
  HTREEITEM item = TreeView_GetRoot(tree);
  for (const std::string& label : labels) {
    HTREEITEM child = item != nullptr ? TreeView_GetChild(tree, item) : nullptr;
    while (child != nullptr && TreeItemText(tree, child) != label)
      child = TreeView_GetNextSibling(tree, child);
    item = child;
  }
  return item;
}

void SelectTreeItem(HWND tree, const std::vector<std::string>& labels) {
  const HTREEITEM item = FindTreeItem(tree, labels);
  ASSERT_NE(item, nullptr) << "no tree item " << (labels.empty() ? std::string("(root)") : labels.back());
  TreeView_SelectItem(tree, item);
}

bool TreeItemHasButton(HWND tree, HTREEITEM item) {
  TVITEMA query{};
  query.mask = TVIF_CHILDREN | TVIF_HANDLE;
  query.hItem = item;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
  return query.cChildren != 0;
}

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
    const auto length = SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    lines.push_back(text);
  }
  return lines;
}

std::vector<LPARAM> ListItemData(HWND list) {
  std::vector<LPARAM> data;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) data.push_back(SendMessageA(list, LB_GETITEMDATA, i, 0));
  return data;
}

std::vector<int> SelectedLines(HWND list) {
  std::vector<int> lines;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) lines.push_back(i);
  }
  return lines;
}

void SelectLines(HWND list, const std::vector<int>& lines) {
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  for (int line : lines) SendMessageA(list, LB_SETSEL, TRUE, line);
}

int LineStartingWith(HWND list, const std::string& text) {
  const std::vector<std::string> lines = ListLines(list);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(text, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

std::string ControlTextOf(HWND dialog, int control) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, control, text, sizeof text);
  return text;
}

void PickListLine(HWND dialog, int control, int line) {
  SendDlgItemMessageA(dialog, control, LB_SETCURSEL, line, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}

HICON MessageBoxIcon(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
      return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
  }
  return nullptr;
}

std::vector<MasterRecord> ReadMasterRecords(const std::string& nativePath) {
  const testing_support::Bytes bytes = testing_support::ReadBytes(nativePath);
  std::vector<MasterRecord> records(bytes.size() / kMasterRecordSize);
  for (size_t i = 0; i < records.size(); ++i) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i * kMasterRecordSize), kMasterRecordSize,
                records[i].raw);
  }
  return records;
}

HeldFile::HeldFile(const std::string& nativePath)
    : handle_(CreateFileA(nativePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {}

HeldFile::~HeldFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}
