// A report target for the DAT and master tests: what the test delivered, the
// questions it asked (answered from a script, then No) and its findings.
#pragma once

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "integrity/error_list.h"
#include "integrity/report_target.h"

namespace integrity_testing {

// DAT: {record, code, column}; master: {file number, code, repaired}.
using Findings = std::vector<std::tuple<int, int, int>>;
inline const std::vector<std::string> kNothingFound = {kNoErrorsFoundText, "close"};

struct Report : ReportTarget {
  explicit Report(std::vector<bool> script = {}) : answers(std::move(script)) {}
  void ErrorListReady(List* errorList) override { events.push_back("list"), list.reset(errorList); }
  void Close() override { events.push_back("close"); }
  void ShowNotice(const char* text) override { events.emplace_back(text); }
  bool AskYesNo(const char* text) override {
    questions.emplace_back(text);
    return questions.size() <= answers.size() && answers[questions.size() - 1];
  }
  // In the order found: the list holds the last found first.
  Findings Found(bool master) const {
    Findings found;
    for (const ListNode* node = list ? list->first : nullptr; node; node = node->next) {
      for (const ListNode* d = DATEntryOf(node)->defects->first; d; d = d->next) {
        const int key = master ? MasterEntryOf(node)->fileNumber : DATEntryOf(node)->recordNumber;
        const int code = master ? MasterDefectOf(d)->errorCode : DATDefectOf(d)->errorCode;
        const int third = master ? MasterDefectOf(d)->repaired : DATDefectOf(d)->columnIndex;
        found.emplace_back(key, code, third);
      }
    }
    std::ranges::reverse(found);
    return found;
  }

  std::vector<bool> answers;
  ErrorListPtr list;
  std::vector<std::string> events;  // "list", "close" or a notice's text
  std::vector<std::string> questions;
};

}  // namespace integrity_testing
