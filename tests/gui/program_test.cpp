// The real quorvex.exe driven from outside, as a person and as the program
// that sends it the registered test requests would: the start in each mode,
// a key through its own loop, each request's answer, what it shows, and when
// the program ends.
#include "gui_harness.h"
#include "resource.h"
#include "support/scenes.h"

namespace {

// The directory text without its backslash, as a command line names it.
std::string PathPart(const std::string& directory) {
  return "PATH:\"" + directory.substr(0, directory.size() - 1) + "\"";
}

void ShotOf(HWND window, const std::string& name) {  // painted now, then photographed
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  gui::Shot(name);
}

// The text of the message box the program shows now, which OK closes.
std::string AnswerBox(const gui::Program& program) {
  const HWND box = program.WaitFor("#32770", "Quorvex");
  const std::string text = gui::Item(box, 0xFFFF);
  gui::Click(box, IDOK);
  EXPECT_TRUE(gui::Pump("the box to close", [&] { return !IsWindow(box); }));
  return text;
}

LRESULT Answer(const std::shared_future<LRESULT>& answer) {
  EXPECT_TRUE(gui::Pump("the request's answer", [&] { return gui::Ready(answer); }));
  return answer.get();
}

TEST(Program, AnInteractiveStartShowsTheBannerThenTheFrameWithItsBrowserAndAnswersOnlyTestRequests) {
  gui::Sample sample;
  const auto started = std::chrono::steady_clock::now();
  gui::Program program(PathPart(sample.Dir()));
  const HWND banner = program.WaitFor("#32770");
  RECT area{};
  GetClientRect(banner, &area);
  EXPECT_EQ(std::pair(area.right, area.bottom), std::pair(539L, 272L));
  EXPECT_EQ(program.Find("QuorvexMDIFrame"), nullptr) << "the frame waits for the banner";
  ShotOf(banner, "shell-banner");
  const HWND frame = program.WaitFor("QuorvexMDIFrame", "Quorvex");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << "the banner's time";
  EXPECT_TRUE(IsZoomed(frame) && !IsWindow(banner));
  const HWND client = FindWindowExA(frame, nullptr, "MDIClient", nullptr);
  EXPECT_TRUE(gui::Pump("a browser on the command line's path", [&] {
    return FindWindowExA(client, nullptr, "MdiFilerChild", sample.Dir().c_str()) != nullptr;
  }));
  ShotOf(frame, "shell-frame");
  PostMessageA(frame, WM_KEYDOWN, VK_F1, 1);  // through the program's accelerators
  const HWND about = program.WaitFor("#32770", "About Quorvex");
  GetClientRect(about, &area);
  EXPECT_EQ(std::pair(area.right, area.bottom), std::pair(539L, 400L));
  ShotOf(about, "shell-about");
  gui::Click(about, IDOK);
  EXPECT_TRUE(gui::Pump("About to close", [&] { return !IsWindow(about); }));

  EXPECT_EQ(Answer(gui::Send(frame, "KXUTILINIT")), 0) << "not a test request: default processing";
  const auto master = gui::Send(frame, "KXUTILTESTMASTER");
  EXPECT_EQ(AnswerBox(program), "A bad command line was specified!");
  EXPECT_EQ(Answer(master), -1);
  EXPECT_TRUE(program.Running()) << "a master request leaves the program open";
  EXPECT_EQ(Answer(gui::Send(frame, "KXUTILTESTDAT")), -1);
  EXPECT_EQ(program.ExitCode(), 0u) << "a DAT request to an interactive instance closes it";
}

TEST(Program, AMasterRequestShowsItsReportAndRepairsNothingThenADATRequestEndsTheProgram) {
  gui::Sample sample;
  const std::string directory = sample.Dir("Damaged\\Master");
  const fixtures::Snapshot before = fixtures::TakeSnapshot(sample.Path("Damaged/Master"));
  gui::Program program("AUTOTEST TESTDAT " + PathPart(directory) + " FILE:1");
  HWND frame = nullptr;
  bool dialogSeen = false;  // a banner, say
  EXPECT_TRUE(gui::Pump("the frame", [&] {
    dialogSeen = dialogSeen || program.Find("#32770") != nullptr;
    return (frame = program.Find("QuorvexMDIFrame")) != nullptr;
  }));
  EXPECT_FALSE(dialogSeen);
  EXPECT_TRUE(IsZoomed(frame));

  const auto master = gui::Send(frame, "KXUTILTESTMASTER");
  EXPECT_EQ(AnswerBox(program), directory);
  const HWND report = program.WaitFor("#32770", "Master File Errors");
  const std::vector<std::string> instruments = gui::Lines(GetDlgItem(report, IDC_INSTRUMENT_LIST));
  ASSERT_EQ(instruments.size(), 12u);
  EXPECT_EQ(instruments.front() + ", " + instruments.back(), "F1 : MISSING DATA, File Header");
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_PROBLEM_LIST)),
            std::vector<std::string>{"Not Repaired : Missing DAT File"});
  ShotOf(report, "integrity-master-report");
  EXPECT_FALSE(gui::Ready(master)) << "the sender waits while the report is open";
  // Closed by a message sent from here: the program's wait sees it at once.
  EXPECT_TRUE(SendMessageTimeoutA(report, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, nullptr));
  EXPECT_EQ(Answer(master), -1);
  EXPECT_TRUE(fixtures::TakeSnapshot(sample.Path("Damaged/Master")) == before)
      << "a remote test repairs nothing";
  EXPECT_TRUE(program.Running());

  const auto dat = gui::Send(frame, "KXUTILTESTDAT");  // F1 has no data file
  EXPECT_EQ(
      AnswerBox(program),
      "File is read only or has been opened by another process, check permissions for this file and/or close "
      "the file in any applications that are using it.");
  EXPECT_EQ(Answer(dat), -1);
  EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace
