// The real quorvex.exe, driven from outside as the controlling program would:
// start-up in each mode, the menus it shows, keys, Exit and its exit code, and
// the registered inter-program messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "harness/dialog_responder.h"
#include "harness/program.h"
#include "harness/screenshot.h"
#include "harness/wait.h"
#include "resource.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

#ifndef QUORVEX_PROGRAM
#error "QUORVEX_PROGRAM names the program under test"
#endif

namespace {

using namespace std::chrono_literals;
using gui_harness::MessageBoxText;
using gui_harness::Program;
using gui_harness::RemoteRequest;
using gui_harness::WaitUntil;
using gui_harness::WindowText;
using Clock = std::chrono::steady_clock;

constexpr auto kStartLimit = 30s;
constexpr auto kStepLimit = 15s;
constexpr char kInteractive[] = "";
constexpr char kBadCommandLine[] = "A bad command line was specified!";
constexpr char kFileAccess[] =
    "File is read only or has been opened by another process, check permissions for this file and/or close "
    "the "
    "file in any applications that are using it.";

bool IsBanner(HWND window) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof(className));
  RECT client{};
  GetClientRect(window, &client);
  return std::string(className) == "#32770" && WindowText(window).empty() && client.right == 539 &&
         client.bottom == 272;
}

HWND FindBanner(const Program& program) {
  for (HWND window : program.Windows()) {
    if (IsBanner(window)) return window;
  }
  return nullptr;
}

// The colour of bitmap 700 (the About and banner picture) at a point, read
// from the program file's own resources.
COLORREF PicturePixel(int x, int y) {
  const HMODULE module =
      LoadLibraryExA(gui_harness::WindowsPath(QUORVEX_PROGRAM).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  const HBITMAP picture = static_cast<HBITMAP>(
      LoadImageA(module, MAKEINTRESOURCEA(IDB_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = SelectObject(dc, picture);
  const COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(picture);
  FreeLibrary(module);
  return colour;
}

// Waits until a person would see the box's picture (its top left corner), so
// that a screenshot shows the box painted.
void WaitUntilPictureShown(HWND box, const std::string& what) {
  const COLORREF expected = PicturePixel(4, 4);
  ASSERT_NE(expected, CLR_INVALID);
  EXPECT_TRUE(WaitUntil(
      what + " to show its picture", [&] { return gui_harness::ClientPixel(box, 4, 4) == expected; },
      kStepLimit));
}

HWND WaitForFrame(const Program& program) {
  HWND frame = nullptr;
  EXPECT_TRUE(WaitUntil(
      "the frame window \"Quorvex\" (class QuorvexMDIFrame) to be shown",
      [&] { return (frame = program.Frame()) != nullptr; }, kStartLimit));
  return frame;
}

HWND WaitForDialog(const Program& program, const std::string& caption, const std::string& what) {
  HWND dialog = nullptr;
  EXPECT_TRUE(WaitUntil(
      what, [&] { return (dialog = gui_harness::FindProgramDialog(program, caption)) != nullptr; },
      kStepLimit));
  return dialog;
}

void ExpectExitCode(Program& program, DWORD expected) {
  DWORD code = 12345;
  ASSERT_TRUE(program.WaitForExit(code, kStepLimit));
  EXPECT_EQ(code, expected);
}

// Waits until the frame's empty workspace (the MDI client) is painted.
void WaitUntilWorkspaceShown(HWND frame) {
  const HWND client = FindWindowExA(frame, nullptr, "MDIClient", nullptr);
  ASSERT_NE(client, nullptr);
  RECT area{};
  GetClientRect(client, &area);
  const COLORREF workspace = GetSysColor(COLOR_APPWORKSPACE);
  EXPECT_TRUE(WaitUntil(
      "the frame's workspace to be painted",
      [&] { return gui_harness::ClientPixel(client, area.right / 2, area.bottom / 2) == workspace; },
      kStepLimit));
}

// Proves that the program is still running its loop and has not been asked
// to close: a command posted now is handled (the About box opens) only if no
// WM_CLOSE was posted before it.
void ExpectStillOpenThenExit(Program& program, HWND frame) {
  ASSERT_TRUE(program.Running()) << "the program ended";
  PostMessageA(frame, WM_COMMAND, IDM_ABOUT, 0);
  const HWND about = WaitForDialog(program, "About Quorvex", "the About box, opened after the request");
  ASSERT_NE(about, nullptr);
  gui_harness::PressButton(about, IDOK);
  ASSERT_TRUE(WaitUntil(
      "the About box to close", [&] { return !IsWindow(about); }, kStepLimit));
  PostMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
  ExpectExitCode(program, 0);
}

// Sends a request and answers the message boxes it opens, in order, with OK.
// A box that was not expected fails the step, naming its text.
void SendRequest(Program& program, HWND frame, const char* name, const std::vector<std::string>& boxes,
                 LRESULT expectedResult) {
  RemoteRequest request(frame, name);
  size_t next = 0;
  while (!request.Done()) {
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        std::string("the answer to ") + name +
            (next < boxes.size() ? " or the box \"" + boxes[next] + "\"" : std::string()),
        [&] {
          box = gui_harness::FindProgramDialog(program, "Quorvex");
          return request.Done() || box != nullptr;
        },
        kStepLimit));
    if (box == nullptr) break;
    const std::string text = MessageBoxText(box);
    if (next < boxes.size()) {
      EXPECT_EQ(text, boxes[next]) << "box " << next + 1 << " of " << name;
    } else {
      ADD_FAILURE() << "unexpected box after " << name << ": \"" << text << "\"";
    }
    ++next;
    gui_harness::PressButton(box, IDOK);
    ASSERT_TRUE(WaitUntil(
        "the box \"" + text + "\" to close", [&] { return !IsWindow(box); }, kStepLimit));
  }
  EXPECT_EQ(next, boxes.size()) << name << " showed fewer boxes than expected";
  EXPECT_TRUE(request.Answered()) << name << " got no answer";
  EXPECT_EQ(request.Result(), expectedResult) << name;
}

TEST(ProgramStart, InteractiveStartShowsTheBannerForThreeSecondsThenTheMaximisedFrame) {
  Program program(QUORVEX_PROGRAM, kInteractive);
  HWND banner = nullptr;
  ASSERT_TRUE(WaitUntil(
      "the banner (a caption-less 539 x 272 dialog)",
      [&] { return (banner = FindBanner(program)) != nullptr; }, kStartLimit));
  const auto bannerSeen = Clock::now();
  EXPECT_EQ(program.Frame(), nullptr) << "the frame must wait for the banner";
  WaitUntilPictureShown(banner, "the banner");
  EXPECT_FALSE(gui_harness::SaveScreenshot("shell-banner").empty());

  const HWND frame = WaitForFrame(program);
  ASSERT_NE(frame, nullptr);
  EXPECT_GE(Clock::now() - bannerSeen, 2500ms) << "the banner closed early";
  EXPECT_FALSE(IsWindow(banner)) << "the banner is still there beside the frame";
  EXPECT_TRUE(IsZoomed(frame));
  EXPECT_EQ(WindowText(frame), "Quorvex");

  // Wine keeps menus inside their process: their items are checked by the
  // in-process tests (RunProgramInProcess), which build the frame the same way.
  EXPECT_NE(GetMenu(frame), nullptr);
  WaitUntilWorkspaceShown(frame);
  EXPECT_FALSE(gui_harness::SaveScreenshot("shell-frame").empty());

  PostMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
  ExpectExitCode(program, 0);
}

TEST(ProgramStart, UtilityStartShowsNoBannerOnlyTheMaximisedFrame) {
  Program program(QUORVEX_PROGRAM, "AUTOTEST TESTDAT");
  bool sawDialog = false;
  HWND frame = nullptr;
  ASSERT_TRUE(WaitUntil(
      "the frame window of the utility-mode start",
      [&] {
        sawDialog = sawDialog || program.Window("#32770") != nullptr;
        return (frame = program.Frame()) != nullptr;
      },
      kStartLimit));
  EXPECT_FALSE(sawDialog) << "a banner or box was shown in utility mode";
  EXPECT_TRUE(IsZoomed(frame));
  EXPECT_NE(GetMenu(frame), nullptr);
  WaitUntilWorkspaceShown(frame);
  EXPECT_FALSE(gui_harness::SaveScreenshot("shell-frame-utility").empty());

  PostMessageA(frame, WM_CLOSE, 0, 0);
  ExpectExitCode(program, 0);
}

// Typed keys go to the foreground window: wait until that is the frame.
void BringToFront(HWND frame) {
  ASSERT_TRUE(WaitUntil(
      "the frame to become the foreground window",
      [&] {
        if (GetForegroundWindow() == frame) return true;
        SetForegroundWindow(frame);
        return false;
      },
      kStepLimit));
}

// F1 opens About and Alt+X ends the program, in both modes. The keys are
// typed through the system's input queue, so they pass through the program's
// own message loop and accelerator table.
TEST(ProgramKeys, F1OpensAboutAndAltXExitsInEitherMode) {
  for (const char* arguments : {kInteractive, "AUTOTEST TESTMASTER"}) {
    SCOPED_TRACE(std::string("command line \"") + arguments + "\"");
    Program program(QUORVEX_PROGRAM, arguments);
    const HWND frame = WaitForFrame(program);
    ASSERT_NE(frame, nullptr);
    BringToFront(frame);
    gui_harness::PressChord({VK_F1});
    const HWND about = WaitForDialog(program, "About Quorvex", "the About box after F1");
    ASSERT_NE(about, nullptr);
    RECT client{};
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, 539);
    EXPECT_EQ(client.bottom, 400);
    WaitUntilPictureShown(about, "the About box");
    if (std::string(arguments).empty()) {
      EXPECT_FALSE(gui_harness::SaveScreenshot("shell-about").empty());
    }
    gui_harness::PressButton(about, IDOK);
    ASSERT_TRUE(WaitUntil(
        "the About box to close after OK", [&] { return !IsWindow(about); }, kStepLimit));

    BringToFront(frame);
    gui_harness::PressChord({VK_MENU, 'X'});
    ExpectExitCode(program, 0);
  }
}

class ProgramRequests : public ::testing::Test {
 protected:
  // A data directory whose master lists instrument 5 only.
  void SetUp() override {
    MasterHeader header{};
    header.SetInstrumentCount(1);
    header.SetLastFileNumber(5);
    MasterRecord record{};
    record.SetFileNumber(5);
    record.SetFileType(kMasterFileType);
    record.SetRecordLength(28);
    record.SetFieldCount(7);
    record.SetPeriod('D');
    for (size_t i = 0; i < master_offset::kNameWidth; ++i) record.raw[master_offset::kName + i] = ' ';
    testing_support::Bytes bytes(header.raw, header.raw + kMasterRecordSize);
    bytes.insert(bytes.end(), record.raw, record.raw + kMasterRecordSize);
    testing_support::WriteBytes(data_.Path("master"), bytes);
  }

  // The directory as a command line names it (no trailing backslash).
  std::string QuotedDirectory() const {
    const std::string dir = data_.Dir();
    return "PATH:\"" + dir.substr(0, dir.size() - 1) + "\"";
  }

  testing_support::TempDir data_;
};

struct RequestCase {
  const char* name;
  std::string arguments;
  const char* message;
  std::vector<std::string> boxes;
  LRESULT result;
  bool closes;
};

TEST_F(ProgramRequests, EachRequestAnswersWithItsResultMessagesAndClosingRule) {
  const std::string dat = "AUTOTEST TESTDAT ";
  const std::string master = "AUTOTEST TESTMASTER ";
  const std::string path = QuotedDirectory();
  const RequestCase cases[] = {
      {"DAT request without a path part", dat + "FILE:5", "KXUTILTESTDAT", {kBadCommandLine}, -1, false},
      {"DAT request with an unclosed path",
       dat + "FILE:5 PATH:\"C:\\x",
       "KXUTILTESTDAT",
       {kBadCommandLine},
       -1,
       false},
      {"DAT request without FILE:", dat + path, "KXUTILTESTDAT", {kBadCommandLine}, -1, true},
      {"DAT request for an unknown instrument",
       dat + path + " FILE:6",
       "KXUTILTESTDAT",
       {"The instrument specified was invalid."},
       -1,
       true},
      {"DAT request for instrument 5, which has no data file",
       dat + path + " FILE:5",
       "KXUTILTESTDAT",
       {kFileAccess},
       -1,
       true},
      {"master request without a path part", master, "KXUTILTESTMASTER", {kBadCommandLine}, -1, false},
      {"KXUTILINIT", dat + path + " FILE:5", "KXUTILINIT", {}, 0, false},
      {"KXUTILLOAD", dat + path + " FILE:5", "KXUTILLOAD", {}, 0, false},
      {"KXUTILCLOSE", dat + path + " FILE:5", "KXUTILCLOSE", {}, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Program program(QUORVEX_PROGRAM, c.arguments);
    const HWND frame = WaitForFrame(program);
    ASSERT_NE(frame, nullptr);
    SendRequest(program, frame, c.message, c.boxes, c.result);
    if (c.closes) {
      ExpectExitCode(program, 0);
    } else {
      ExpectStillOpenThenExit(program, frame);
    }
  }
}

TEST(ProgramRequestsInteractive, AnInteractiveInstanceClosesOnDATAndRefusesMaster) {
  {
    Program program(QUORVEX_PROGRAM, kInteractive);
    const HWND frame = WaitForFrame(program);
    ASSERT_NE(frame, nullptr);
    SendRequest(program, frame, "KXUTILTESTDAT", {}, -1);
    ExpectExitCode(program, 0);
  }
  {
    Program program(QUORVEX_PROGRAM, kInteractive);
    const HWND frame = WaitForFrame(program);
    ASSERT_NE(frame, nullptr);
    SendRequest(program, frame, "KXUTILTESTMASTER", {kBadCommandLine}, -1);
    ExpectStillOpenThenExit(program, frame);
  }
}

}  // namespace
