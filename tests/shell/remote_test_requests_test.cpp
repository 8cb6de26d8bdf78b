#include "shell/remote_test_requests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::string Codes(std::span<const int32_t> tests) {
  std::string text;
  for (int32_t code : tests) text += (text.empty() ? "" : ",") + std::to_string(code);
  return text;
}

// Records what a request does, in order, as short lines.
class RecordingHost : public RemoteTestHost {
 public:
  void ShowError(int messageNumber) override { events.push_back("error " + std::to_string(messageNumber)); }
  void ShowPath(const std::string& directory) override { events.push_back("path " + directory); }
  void PostClose() override { events.push_back("close"); }
  bool ReadMasterRecord(const std::string& directory, int fileNumber, MasterRecord& record) override {
    events.push_back("read " + directory + " " + std::to_string(fileNumber));
    const auto found = instruments.find(fileNumber);
    if (found == instruments.end()) return false;
    std::memset(record.raw, 0, sizeof(record.raw));
    record.SetFileNumber(static_cast<uint8_t>(fileNumber));
    record.raw[master_offset::kName] = static_cast<uint8_t>(found->second);
    return true;
  }
  void RunDATTest(const std::string& directory, int fileNumber, std::span<const int32_t> tests,
                  const MasterRecord& record) override {
    events.push_back("dat " + directory + " " + std::to_string(fileNumber) + " [" + Codes(tests) +
                     "] record of F" + std::to_string(record.FileNumber()) + " named " +
                     std::string(1, static_cast<char>(record.raw[master_offset::kName])));
  }
  void RunMasterTest(const std::string& directory, std::span<const int32_t> tests) override {
    events.push_back("master " + directory + " [" + Codes(tests) + "]");
  }
  void* Allocate(size_t bytes) override {
    ++allocations;
    if (allocations == failAllocation) return nullptr;
    ++live;
    return RemoteTestHost::Allocate(bytes);
  }
  void Free(void* block) override {
    --live;
    RemoteTestHost::Free(block);
  }

  std::map<int, char> instruments = {{5, 'X'}, {12, 'Y'}};
  int failAllocation = 0;  // the n-th allocation fails (1-based); 0: none
  int allocations = 0;
  int live = 0;
  std::vector<std::string> events;
};

struct RequestCase {
  const char* name;
  const char* commandLine;  // null: an interactive instance
  int failAllocation;
  std::vector<std::string> events;
};

const std::string kAllDATTests = "[0,1,2,3,6,7,8,9]";
const std::string kAllMasterTests = "[0,1,2,3,4,5,6,7,8,9,10,11,12]";

TEST(RemoteDATTestRequest, EveryOutcomeShowsItsMessageAndClosesOrStays) {
  const RequestCase cases[] = {
      {"interactive instance closes silently", nullptr, 0, {"close"}},
      {"no path part stays open", "AUTOTEST TESTDAT FILE:5", 0, {"error 13"}},
      {"unclosed path stays open", "AUTOTEST TESTDAT FILE:5 PATH:\"C:\\D", 0, {"error 13"}},
      {"no FILE token closes", "AUTOTEST TESTDAT PATH:\"C:\\D\"", 0, {"error 13", "close"}},
      {"unknown instrument closes",
       "AUTOTEST TESTDAT PATH:\"C:\\D\" FILE:6",
       0,
       {"read C:\\D\\ 6", "error 12", "close"}},
      {"FILE without digits names no instrument",
       "AUTOTEST TESTDAT PATH:\"C:\\D\" FILE:",
       0,
       {"error 12", "close"}},
      {"wrapping number names no instrument",
       "AUTOTEST TESTDAT PATH:\"C:\\D\" FILE:65541",
       0,
       {"error 12", "close"}},
      {"record buffer not allocated", "AUTOTEST TESTDAT PATH:\"C:\\D\" FILE:5", 1, {"error 1", "close"}},
      {"test list not allocated",
       "AUTOTEST TESTDAT PATH:\"C:\\D\" FILE:5",
       2,
       {"read C:\\D\\ 5", "error 1", "close"}},
      {"known instrument is tested, then the program closes",
       "AUTOTEST TESTDAT PATH:\"C:\\D\" FILE:5",
       0,
       {"read C:\\D\\ 5", "dat C:\\D\\ 5 " + kAllDATTests + " record of F5 named X", "close"}},
      {"FILE is read before the path is cut",
       "FILE:12 AUTOTEST TESTDAT PATH:\"C:\\D\\\"",
       0,
       {"read C:\\D\\\\ 12", "dat C:\\D\\\\ 12 " + kAllDATTests + " record of F12 named Y", "close"}},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.failAllocation = c.failAllocation;
    EXPECT_EQ(AnswerRemoteDATTest(c.commandLine, host), -1) << c.name;
    EXPECT_EQ(host.events, c.events) << c.name;
    EXPECT_EQ(host.live, 0) << c.name << ": a block was not given back";
  }
}

TEST(RemoteMasterTestRequest, EveryOutcomeKeepsTheProgramOpen) {
  const RequestCase cases[] = {
      {"interactive instance: bad command line", nullptr, 0, {"error 13"}},
      {"no path part", "AUTOTEST TESTMASTER", 0, {"error 13"}},
      {"unclosed path", "AUTOTEST TESTMASTER PATH:\"C:\\D", 0, {"error 13"}},
      {"test list not allocated", "AUTOTEST TESTMASTER PATH:\"C:\\D\"", 1, {"path C:\\D\\", "error 1"}},
      {"path shown, then every master test runs",
       "AUTOTEST TESTMASTER PATH:\"C:\\D\"",
       0,
       {"path C:\\D\\", "master C:\\D\\ " + kAllMasterTests}},
      {"no FILE needed",
       "PATH:\"E:\\x y\\\" AUTOTEST TESTMASTER",
       0,
       {"path E:\\x y\\\\", "master E:\\x y\\\\ " + kAllMasterTests}},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.failAllocation = c.failAllocation;
    EXPECT_EQ(AnswerRemoteMasterTest(c.commandLine, host), -1) << c.name;
    EXPECT_EQ(host.events, c.events) << c.name;
    EXPECT_EQ(host.live, 0) << c.name << ": a block was not given back";
  }
}

}  // namespace
