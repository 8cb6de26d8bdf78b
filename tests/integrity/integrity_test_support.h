// What the integrity tests share: a report target that keeps what a test
// delivered, flat views of the ErrorLists, and snapshots of whole directories.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "integrity/error_list.h"
#include "integrity/report_target.h"

namespace integrity_testing {

class RecordingReport : public ReportTarget {
 public:
  // Questions are answered from the script in turn; unscripted ones No.
  explicit RecordingReport(std::initializer_list<bool> answers = {}) : answers_(answers) {}
  ~RecordingReport() override { KillErrorList(list); }
  RecordingReport(const RecordingReport&) = delete;
  RecordingReport& operator=(const RecordingReport&) = delete;

  void ErrorListReady(List* errorList) override {
    events.push_back("list");
    list = errorList;
  }
  void Close() override { events.push_back("close"); }
  void ShowNotice(const char* text) override { events.push_back(std::string("notice: ") + text); }
  bool AskYesNo(const char* text) override {
    questions.emplace_back(text);
    return next_ < answers_.size() && answers_[next_++];
  }

  List* list = nullptr;
  std::vector<std::string> events;
  std::vector<std::string> questions;

 private:
  std::vector<bool> answers_;
  size_t next_ = 0;
};

struct DATFinding {
  int32_t record;
  int column;
  int32_t code;
  bool operator==(const DATFinding&) const = default;
};
struct MasterFinding {
  int32_t fileNumber;
  int32_t code;
  int32_t repaired;
  bool operator==(const MasterFinding&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const DATFinding& f) {
  return out << "{record " << f.record << ", column " << f.column << ", code " << f.code << "}";
}
inline std::ostream& operator<<(std::ostream& out, const MasterFinding& f) {
  return out << "{file " << f.fileNumber << ", code " << f.code << ", repaired " << f.repaired << "}";
}

// Entries and defects exactly in list order, front first.
std::vector<DATFinding> DATListOrder(const List* errorList);
std::vector<MasterFinding> MasterListOrder(const List* errorList);
// In the order things were found: entries back to front, defects back to front.
std::vector<DATFinding> DATFoundOrder(const List* errorList);
std::vector<MasterFinding> MasterFoundOrder(const List* errorList);

// Every file below the native directory (paths relative to it, '/'-separated)
// with its bytes.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& nativeDirectory);

}  // namespace integrity_testing
