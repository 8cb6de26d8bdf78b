// The resources as the program loads them: the six menu bars, both
// accelerator tables and what they do with keys, icons, bitmaps, dialogs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"
#include "shell/frame_fixture.h"
#include "shell/shell_globals.h"

namespace {

struct Item {
  std::string text;  // "" for a separator
  UINT id;
  bool grayed;
};
struct Popup {
  std::string title;
  std::vector<Item> items;
};
using MenuBar = std::vector<Popup>;

const Item kSeparator{"", 0, false};

std::vector<Popup> ReadMenu(HMENU menu) {
  std::vector<Popup> bar;
  for (int p = 0; p < GetMenuItemCount(menu); ++p) {
    char title[128] = {};
    GetMenuStringA(menu, p, title, sizeof(title), MF_BYPOSITION);
    Popup popup{title, {}};
    const HMENU sub = GetSubMenu(menu, p);
    for (int i = 0; i < GetMenuItemCount(sub); ++i) {
      char text[128] = {};
      GetMenuStringA(sub, i, text, sizeof(text), MF_BYPOSITION);
      const UINT state = GetMenuState(sub, i, MF_BYPOSITION);
      const bool separator = (state & MF_SEPARATOR) != 0;
      popup.items.push_back({separator ? "" : text, separator ? 0 : GetMenuItemID(sub, i),
                             !separator && (state & MF_GRAYED) != 0});
    }
    bar.push_back(popup);
  }
  return bar;
}

std::string Describe(const MenuBar& bar) {
  std::string text;
  for (const auto& popup : bar) {
    text += "[" + popup.title + "]";
    for (const auto& item : popup.items) {
      text += " {" + item.text + "|" + std::to_string(item.id) + (item.grayed ? "|grey" : "") + "}";
    }
    text += "\n";
  }
  return text;
}

MenuBar Bar(std::vector<Popup> popups) {
  return popups;
}

const Popup kHelp{"&Help", {{"&About\tF1", IDM_ABOUT, false}}};

Popup WindowPopup(const char* minimizeText) {
  return {"&Window",
          {{"&Tile Vertically", IDM_TILE_VERTICALLY, false},
           {"Tile &Horizontally\tShift-F4", IDM_TILE_HORIZONTALLY, false},
           {"&Cascade\tShift-F5", IDM_CASCADE, false},
           {"&Arrange\tAlt-A", IDM_ARRANGE, false},
           {"C&lose All\tCtrl-Shift-F4", IDM_CLOSE_ALL, false},
           {minimizeText, IDM_MINIMIZE_ALL, false}}};
}

MenuBar InitMenu(bool utility) {
  return Bar(
      {{"&File",
        {{"Select &Path\tCtrl-O", IDM_SELECT_PATH, utility}, kSeparator, {"E&xit\tAlt-X", IDM_EXIT, false}}},
       kHelp});
}

MenuBar FilerMenu(bool u) {
  return Bar({{"&File",
               {{"Select &Path\tCtrl-O", IDM_SELECT_PATH, u},
                {"Edit Instrument\tENTER", IDM_EDIT, u},
                kSeparator,
                {"Close\tCtrl-F4", IDM_CLOSE, false},
                kSeparator,
                {"E&xit\tAlt-X", IDM_EXIT, false}}},
              {"&Instrument",
               {{"Edit\tENTER", IDM_EDIT, u},
                {"&Copy\tF8", IDM_COPY, u},
                {"&Move\tF7", IDM_MOVE, u},
                {"&Delete\tDEL", IDM_DELETE, u},
                {"C&reate\tINSERT", IDM_CREATE, u},
                {"C&hange Symbol Name", IDM_CHANGE_SYMBOL, false},
                kSeparator,
                {"&Test\tShift-ENTER", IDM_TEST, u}}},
              {"&Directory",
               {{"&Create...", IDM_CREATE_DIRECTORY, u},
                kSeparator,
                {"R&efresh Contents\tF5", IDM_REFRESH_CONTENTS, u},
                {"Re&fresh Tree", IDM_REFRESH_TREE, u},
                kSeparator,
                {"&Test Master File", IDM_TEST_MASTER, u}}},
              WindowPopup("Mi&nimize All\tShift-F2"),
              kHelp});
}

MenuBar EditMenu(bool u) {
  return Bar({{"&File",
               {{"Select &Path\tCtrl-O", IDM_SELECT_PATH, u},
                kSeparator,
                {"&Split\tAlt-S", IDM_SPLIT, u},
                {"&Truncate\tAlt-T", IDM_TRUNCATE, u},
                kSeparator,
                {"Close\tCtrl-F4", IDM_CLOSE, false},
                kSeparator,
                {"E&xit\tAlt-X", IDM_EXIT, false}}},
              {"&Edit",
               {{"Insert Record\tInsert", IDM_INSERT_RECORD, u},
                {"Delete Record\tDEL", IDM_DELETE_RECORD, u},
                kSeparator,
                {"&Goto...\tCtrl-G", IDM_GOTO, false}}},
              WindowPopup("&Minimize All\tShift-F2"),
              kHelp});
}

TEST(Resources, EveryMenuBarHoldsItsItemsWithTheUtilityVariantsGreyed) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  const struct {
    int id;
    MenuBar expected;
  } cases[] = {
      {IDR_MENU_INIT, InitMenu(false)},   {IDR_MENU_INIT_UTILITY, InitMenu(true)},
      {IDR_MENU_FILER, FilerMenu(false)}, {IDR_MENU_FILER_UTILITY, FilerMenu(true)},
      {IDR_MENU_EDIT, EditMenu(false)},   {IDR_MENU_EDIT_UTILITY, EditMenu(true)},
  };
  for (const auto& c : cases) {
    const HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(c.id));
    ASSERT_NE(menu, nullptr) << "menu " << c.id;
    EXPECT_EQ(Describe(ReadMenu(menu)), Describe(c.expected)) << "menu " << c.id;
    DestroyMenu(menu);
  }
}

struct Accel {
  BYTE flags;
  WORD key;
  WORD command;
};

std::vector<Accel> ReadAccelerators(int id) {
  const HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
  std::vector<ACCEL> raw(static_cast<size_t>(CopyAcceleratorTableA(table, nullptr, 0)));
  CopyAcceleratorTableA(table, raw.data(), static_cast<int>(raw.size()));
  std::vector<Accel> entries;
  for (const auto& a : raw) entries.push_back({static_cast<BYTE>(a.fVirt & ~FNOINVERT), a.key, a.cmd});
  return entries;
}

std::string Describe(const std::vector<Accel>& entries) {
  std::string text;
  for (const auto& e : entries) {
    text += std::to_string(e.flags) + "/" + std::to_string(e.key) + "->" + std::to_string(e.command) + " ";
  }
  return text;
}

TEST(Resources, AcceleratorTablesHoldTheirKeysInOrder) {
  constexpr BYTE V = FVIRTKEY;
  const std::vector<Accel> interactive = {
      {0, 15, IDM_SELECT_PATH},
      {FALT, 'x', IDM_EXIT},
      {V, VK_F1, IDM_ABOUT},
      {V, VK_RETURN, IDM_EDIT},
      {V, VK_F8, IDM_COPY},
      {V, VK_F7, IDM_MOVE},
      {V, VK_DELETE, IDM_DELETE},
      {V, VK_INSERT, IDM_CREATE},
      {V | FSHIFT, VK_RETURN, IDM_TEST},
      {V, VK_F5, IDM_REFRESH_CONTENTS},
      {0, 7, IDM_GOTO},
      {FALT, 's', IDM_SPLIT},
      {FALT, 't', IDM_TRUNCATE},
      {V | FSHIFT, VK_F2, IDM_MINIMIZE_ALL},
      {V | FSHIFT, VK_F4, IDM_TILE_HORIZONTALLY},
      {V | FCONTROL | FSHIFT, VK_F4, IDM_CLOSE_ALL},
      {V | FSHIFT, VK_F5, IDM_CASCADE},
      {FALT, 'a', IDM_ARRANGE},
  };
  const std::vector<Accel> utility = {
      {FALT, 'x', IDM_EXIT},
      {V, VK_F1, IDM_ABOUT},
      {V, VK_DELETE, IDM_DELETE},
      {V, VK_INSERT, IDM_CREATE},
      {V | FSHIFT, VK_F2, IDM_MINIMIZE_ALL},
      {V | FSHIFT, VK_F4, IDM_TILE_HORIZONTALLY},
      {V | FCONTROL | FSHIFT, VK_F4, IDM_CLOSE_ALL},
      {V | FSHIFT, VK_F5, IDM_CASCADE},
      {FALT, 'a', IDM_ARRANGE},
  };
  EXPECT_EQ(Describe(ReadAccelerators(IDR_ACCEL)), Describe(interactive));
  EXPECT_EQ(Describe(ReadAccelerators(IDR_ACCEL_UTILITY)), Describe(utility));
}

// A window that records the commands an accelerator table sends it.
std::vector<WORD> recorded;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) recorded.push_back(LOWORD(wParam));
  return DefWindowProcA(window, message, wParam, lParam);
}

void SetModifiers(bool shift, bool control, bool alt) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = control ? 0x80 : 0;
  keys[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(keys);
}

struct KeyCase {
  const char* name;
  UINT message;
  WPARAM key;
  bool shift, control, alt;
  int interactive;  // the command, or 0 for none
  int utility;
};

TEST(Resources, AcceleratorsTurnKeysIntoTheModesCommands) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RecorderProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "QuorvexKeyRecorder";
  RegisterClassA(&windowClass);
  const HWND recorder = CreateWindowExA(0, "QuorvexKeyRecorder", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                        nullptr, windowClass.hInstance, nullptr);
  const HACCEL interactive = LoadAcceleratorsA(windowClass.hInstance, MAKEINTRESOURCEA(IDR_ACCEL));
  const HACCEL utility = LoadAcceleratorsA(windowClass.hInstance, MAKEINTRESOURCEA(IDR_ACCEL_UTILITY));
  const KeyCase cases[] = {
      {"Ctrl+O", WM_CHAR, 15, false, true, false, IDM_SELECT_PATH, 0},
      {"Alt+X", WM_SYSCHAR, 'x', false, false, true, IDM_EXIT, IDM_EXIT},
      {"x without Alt", WM_CHAR, 'x', false, false, false, 0, 0},
      {"F1", WM_KEYDOWN, VK_F1, false, false, false, IDM_ABOUT, IDM_ABOUT},
      {"Enter", WM_KEYDOWN, VK_RETURN, false, false, false, IDM_EDIT, 0},
      {"Shift+Enter", WM_KEYDOWN, VK_RETURN, true, false, false, IDM_TEST, 0},
      {"F8", WM_KEYDOWN, VK_F8, false, false, false, IDM_COPY, 0},
      {"F7", WM_KEYDOWN, VK_F7, false, false, false, IDM_MOVE, 0},
      {"Delete", WM_KEYDOWN, VK_DELETE, false, false, false, IDM_DELETE, IDM_DELETE},
      {"Insert", WM_KEYDOWN, VK_INSERT, false, false, false, IDM_CREATE, IDM_CREATE},
      {"F5", WM_KEYDOWN, VK_F5, false, false, false, IDM_REFRESH_CONTENTS, 0},
      {"Shift+F5", WM_KEYDOWN, VK_F5, true, false, false, IDM_CASCADE, IDM_CASCADE},
      {"Ctrl+G", WM_CHAR, 7, false, true, false, IDM_GOTO, 0},
      {"Alt+S", WM_SYSCHAR, 's', false, false, true, IDM_SPLIT, 0},
      {"Alt+T", WM_SYSCHAR, 't', false, false, true, IDM_TRUNCATE, 0},
      {"Alt+A", WM_SYSCHAR, 'a', false, false, true, IDM_ARRANGE, IDM_ARRANGE},
      {"Shift+F2", WM_KEYDOWN, VK_F2, true, false, false, IDM_MINIMIZE_ALL, IDM_MINIMIZE_ALL},
      {"Shift+F4", WM_KEYDOWN, VK_F4, true, false, false, IDM_TILE_HORIZONTALLY, IDM_TILE_HORIZONTALLY},
      {"Ctrl+Shift+F4", WM_KEYDOWN, VK_F4, true, true, false, IDM_CLOSE_ALL, IDM_CLOSE_ALL},
      {"F4", WM_KEYDOWN, VK_F4, false, false, false, 0, 0},
      {"Ctrl+F4 (the MDI key, not ours)", WM_KEYDOWN, VK_F4, false, true, false, 0, 0},
  };
  for (const auto& c : cases) {
    for (const bool utilityMode : {false, true}) {
      SetModifiers(c.shift, c.control, c.alt);
      MSG message{recorder, c.message, c.key, c.alt ? 0x20000001 : 1, 0, {0, 0}};
      recorded.clear();
      TranslateAcceleratorA(recorder, utilityMode ? utility : interactive, &message);
      const int expected = utilityMode ? c.utility : c.interactive;
      const std::vector<WORD> want =
          expected != 0 ? std::vector<WORD>{static_cast<WORD>(expected)} : std::vector<WORD>{};
      EXPECT_EQ(recorded, want) << c.name << (utilityMode ? " in utility mode" : " in interactive mode");
    }
  }
  SetModifiers(false, false, false);
  DestroyWindow(recorder);
}

TEST(Resources, IconsBitmapsAndDialogsAreThere) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  for (int icon : {IDI_FRAME, IDI_EDITOR, IDI_BROWSER}) {
    EXPECT_NE(LoadImageA(instance, MAKEINTRESOURCEA(icon), IMAGE_ICON, 32, 32, 0), nullptr)
        << "icon " << icon;
    EXPECT_NE(LoadImageA(instance, MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, 0), nullptr)
        << "icon " << icon;
  }
  for (int dialog : {IDD_ABOUT, IDD_BANNER}) {
    EXPECT_NE(FindResourceA(instance, MAKEINTRESOURCEA(dialog), MAKEINTRESOURCEA(5)), nullptr)
        << "dialog " << dialog;
  }

  const auto picture = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info{};
  ASSERT_NE(GetObjectA(picture, sizeof(info), &info), 0);
  EXPECT_EQ(info.bmWidth, 539);
  EXPECT_EQ(info.bmHeight, 272);
  EXPECT_EQ(info.bmBitsPixel, 8) << "256 colours";
  DeleteObject(picture);

  const auto strip = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_FOLDERS), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(GetObjectA(strip, sizeof(info), &info), 0);
  EXPECT_EQ(info.bmHeight, 16);
  EXPECT_EQ(info.bmWidth % 16, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = SelectObject(dc, strip);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255)) << "white is the strip's transparent background";
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(strip);
}

TEST_F(FrameTest, FolderImagesAreSixteenPixelImagesOfTheStrip) {
  BuildFrame("");
  ASSERT_NE(hImageList, nullptr);
  int width = 0, height = 0;
  ImageList_GetIconSize(hImageList, &width, &height);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);
  EXPECT_EQ(ImageList_GetImageCount(hImageList), 2) << "closed and open folder";
}

TEST_F(FrameTest, EachModeLoadsItsThreeMenuBarsWithTheirWindowPopups) {
  for (const bool utility : {false, true}) {
    SCOPED_TRACE(utility ? "utility mode" : "interactive mode");
    BuildFrame(utility ? "AUTOTEST TESTMASTER" : "");
    EXPECT_EQ(Describe(ReadMenu(GetMenu(MDIFrame))), Describe(InitMenu(utility)));
    EXPECT_EQ(Describe(ReadMenu(hMenuFiler)), Describe(FilerMenu(utility)));
    EXPECT_EQ(Describe(ReadMenu(hMenuEdit)), Describe(EditMenu(utility)));
    EXPECT_EQ(hMenuInitWindow, GetSubMenu(hMenuInit, 0));
    EXPECT_EQ(hMenuFilerWindow, GetSubMenu(hMenuFiler, 3));
    EXPECT_EQ(hMenuEditWindow, GetSubMenu(hMenuEdit, 2));
    DestroyFrame();
  }
}

}  // namespace
