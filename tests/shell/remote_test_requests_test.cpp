// What the program does when another program asks it to test the data its
// command line names: every outcome, with its messages, its closing rule and
// the blocks it gives back.
#include "shell/remote_test_requests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/messages.h"

namespace {

std::string Codes(std::span<const int32_t> tests) {
  std::string text;
  for (int32_t code : tests) text += (text.empty() ? "" : ",") + std::to_string(code);
  return "[" + text + "]";
}

// Records what a request does, in order, as short lines.
class RecordingHost : public RemoteTestHost {
 public:
  void ShowError(int messageNumber) override { events.push_back("error " + std::to_string(messageNumber)); }
  void ShowPath(const std::string& directory) override { events.push_back("path " + directory); }
  void PostClose() override { events.push_back("close"); }
  bool ReadMasterRecord(const std::string& directory, int fileNumber, MasterRecord& record) override {
    events.push_back("read " + directory + " " + std::to_string(fileNumber));
    if (fileNumber != 5) return false;
    record.SetFileNumber(static_cast<uint8_t>(fileNumber));
    return true;
  }
  void RunDATTest(const std::string& directory, int fileNumber, std::span<const int32_t> tests,
                  const MasterRecord& record) override {
    events.push_back("dat " + directory + " " + std::to_string(fileNumber) + " " + Codes(tests) + " F" +
                     std::to_string(record.FileNumber()));
  }
  void RunMasterTest(const std::string& directory, std::span<const int32_t> tests) override {
    events.push_back("master " + directory + " " + Codes(tests));
  }
  void* Allocate(size_t bytes) override {
    if (++allocations == failAllocation) return nullptr;
    ++live;
    return RemoteTestHost::Allocate(bytes);
  }
  void Free(void* block) override {
    --live;
    RemoteTestHost::Free(block);
  }

  int failAllocation = 0, allocations = 0, live = 0;  // failAllocation: the n-th fails (1-based); 0: none
  std::vector<std::string> events;
};

TEST(RemoteTestRequests, EveryOutcomeShowsItsMessageAndClosesOrStays) {
  const std::string dat = "AUTOTEST TESTDAT PATH:\"C:\\D\" ", master = "AUTOTEST TESTMASTER ";
  const std::string badLine = "error " + std::to_string(kBadCommandLineMessage),
                    noInstrument = "error " + std::to_string(kInvalidInstrumentMessage),
                    noMemory = "error " + std::to_string(kOutOfMemoryMessage);
  // Every test a remote request asks for, in order.
  const std::string datRun = "dat C:\\D\\ 5 [0,1,2,3,6,7,8,9] F5",
                    masterRun = "master E:\\x y\\\\ [0,1,2,3,4,5,6,7,8,9,10,11,12]";
  const struct {
    bool masterRequest;
    const char* why;
    std::string line;  // "": an interactive instance, which has none
    int failAllocation;
    std::vector<std::string> events;
  } cases[] = {
      {false, "interactive instance closes silently", "", 0, {"close"}},
      {false, "no path part stays open", "AUTOTEST TESTDAT FILE:5", 0, {badLine}},
      {false, "no FILE token closes", "AUTOTEST TESTDAT PATH:\"C:\\D\"", 0, {badLine, "close"}},
      {false, "unknown instrument", dat + "FILE:6", 0, {"read C:\\D\\ 6", noInstrument, "close"}},
      {false, "a number that would wrap", dat + "FILE:65541", 0, {noInstrument, "close"}},
      {false, "no record buffer", dat + "FILE:5", 1, {noMemory, "close"}},
      {false, "no test list", dat + "FILE:5", 2, {"read C:\\D\\ 5", noMemory, "close"}},
      {false, "tested, then closed", dat + "FILE:5", 0, {"read C:\\D\\ 5", datRun, "close"}},
      {true, "interactive instance", "", 0, {badLine}},
      {true, "no test list", master + "PATH:\"C:\\D\"", 1, {"path C:\\D\\", noMemory}},
      {true, "tested", master + "PATH:\"E:\\x y\\\"", 0, {"path E:\\x y\\\\", masterRun}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    RecordingHost host;
    host.failAllocation = c.failAllocation;
    const char* line = c.line.empty() ? nullptr : c.line.c_str();
    EXPECT_EQ(c.masterRequest ? AnswerRemoteMasterTest(line, host) : AnswerRemoteDATTest(line, host), -1);
    EXPECT_EQ(host.events, c.events);
    EXPECT_EQ(host.live, 0) << "a block was not given back";
  }
}

}  // namespace
