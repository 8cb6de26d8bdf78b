#include "editor_fixture.h"

#include <windowsx.h>

#include "editor/editor_window.h"
#include "harness/wait.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/frame_window.h"
#include "shell/remote_requests.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "shell/window_thunk.h"
#include "store/master_file.h"

namespace editor_gui {

namespace {

int beeps = 0;
void CountBeep() {
  ++beeps;
}

}  // namespace

int Beeps() {
  return beeps;
}

void EditorWindowTest::SetUp() {
  std::string error;
  ASSERT_TRUE(sample::WriteSampleData(scratch_.Path("data"), &error)) << error;
  root_ = scratch_.Dir() + "data\\";

  hInst = GetModuleHandleA(nullptr);
  DecideMode("");
  WNDCLASSA existing{};
  if (!GetClassInfoA(hInst, szFrameClass, &existing)) {
    ASSERT_TRUE(RegisterWindowClasses(hInst));
  }
  LoadFolderImages(hInst);
  ASSERT_EQ(RegisterRemoteMessages(), 1);
  accelerators_ = LoadModeMenus(hInst);
  ASSERT_NE(CreateFrameWindow(hInst), nullptr);
  ShowWindow(MDIFrame, SW_SHOWMAXIMIZED);
  UpdateWindow(MDIFrame);
  beeps = 0;
  SetEditorBeep(CountBeep);
}

void EditorWindowTest::TearDown() {
  if (MDIFrame != nullptr && IsWindow(MDIFrame)) DestroyWindow(MDIFrame);
  gui_harness::DrainMessages();
  CleanUpAfterLoop(hInst);
  MDIFrame = MDIhwnd = nullptr;
  SetEditorBeep(nullptr);
}

std::string EditorWindowTest::Directory(const std::string& name) const {
  return root_ + name + "\\";
}

std::string EditorWindowTest::NativePath(const std::string& relative) const {
  return scratch_.Path("data/" + relative);
}

HWND EditorWindowTest::Open(const std::string& directory, int fileNumber) {
  hwndEdit = nullptr;
  EXPECT_EQ(CreateEditWindow(MDIFrame, MDIhwnd, hInst, directory.c_str(), static_cast<int16_t>(fileNumber)),
            1);
  const HWND editor = hwndEdit;
  if (editor == nullptr) {
    ADD_FAILURE() << "no editor on " << directory << "F" << fileNumber;
    return nullptr;
  }
  SendMessageA(MDIhwnd, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(editor), 0);
  UpdateWindow(editor);
  gui_harness::DrainMessages();
  EXPECT_TRUE(IsMeasured(State(editor))) << "the first paint measures the fonts";
  return editor;
}

EditorState& State(HWND editor) {
  EditorState* state = AttachedState<EditorState>(editor);
  if (state == nullptr) throw std::runtime_error("the window has no editor state");
  return *state;
}

void EditorWindowTest::Close(HWND editor) {
  SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(editor), 0);
  EXPECT_FALSE(IsWindow(editor));
}

void Type(HWND editor, const std::string& text) {
  for (char ch : text) SendMessageA(editor, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

void Backspace(HWND editor, int times) {
  SendMessageA(editor, WM_CHAR, 8, times);  // the repeat count is the low word
}

void Key(HWND editor, WPARAM virtualKey) {
  SendMessageA(editor, WM_KEYDOWN, virtualKey, 1);
}

LRESULT EditorWindowTest::Command(HWND editor, int id, LPARAM lParam, int highWord) {
  return SendMessageA(editor, WM_COMMAND, MAKEWPARAM(id, highWord), lParam);
}

void EditorWindowTest::GoTo(HWND editor, int32_t record, int column) {
  Command(editor, IDM_GOTO_RECORD_COLUMN, record, column);
  ASSERT_EQ(State(editor).currentRecord, record);
  ASSERT_EQ(State(editor).currentColumn, column);
}

void EditorWindowTest::ClickGutter(HWND editor, int row) {
  const EditorState& state = State(editor);
  const int y = state.titleHeight + row * state.rowHeight + state.rowHeight / 2;
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(GutterWidth / 2, y));
}

void ClickCell(HWND editor, int row, int visibleColumn, int xInColumn) {
  const EditorState& state = State(editor);
  const int y = state.titleHeight + row * state.rowHeight + state.rowHeight / 2;
  const int x = GutterWidth + visibleColumn * ColumnWidth + xInColumn;
  SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

Bytes EditorWindowTest::FileBytes(const std::string& relative) const {
  return testing_support::ReadBytes(NativePath(relative));
}

uint32_t Word(const Bytes& file, int recordLength, int32_t record, int column) {
  const size_t offset = static_cast<size_t>((record + 1) * recordLength + 4 * column);
  if (offset + 4 > file.size()) {
    ADD_FAILURE() << "record " << record << " lies beyond the file";
    return 0;
  }
  return static_cast<uint32_t>(file[offset]) | static_cast<uint32_t>(file[offset + 1]) << 8 |
         static_cast<uint32_t>(file[offset + 2]) << 16 | static_cast<uint32_t>(file[offset + 3]) << 24;
}

uint16_t HeaderCount(const Bytes& file) {
  return file.size() < 4 ? 0 : static_cast<uint16_t>(file[2] | file[3] << 8);
}

uint32_t EditorWindowTest::MasterFirstDateWord(const std::string& directory, int fileNumber) const {
  MasterRecord record{};
  EXPECT_EQ(GetMetaStockMasterRecord(directory.c_str(), fileNumber, &record), 1);
  return record.FirstDateWord();
}

uint32_t EditorWindowTest::MasterLastDateWord(const std::string& directory, int fileNumber) const {
  MasterRecord record{};
  EXPECT_EQ(GetMetaStockMasterRecord(directory.c_str(), fileNumber, &record), 1);
  return record.LastDateWord();
}

}  // namespace editor_gui
