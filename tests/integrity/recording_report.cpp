#include "recording_report.h"

#include <algorithm>

namespace integrity_testing {

std::vector<DATFinding> DATListOrder(const List* errorList) {
  std::vector<DATFinding> findings;
  for (const ListNode* node = errorList ? errorList->first : nullptr; node; node = node->next) {
    for (const ListNode* d = DATEntryOf(node)->defects->first; d; d = d->next) {
      findings.push_back(
          {DATEntryOf(node)->recordNumber, DATDefectOf(d)->columnIndex, DATDefectOf(d)->errorCode});
    }
  }
  return findings;
}

std::vector<MasterFinding> MasterListOrder(const List* errorList) {
  std::vector<MasterFinding> findings;
  for (const ListNode* node = errorList ? errorList->first : nullptr; node; node = node->next) {
    for (const ListNode* d = MasterEntryOf(node)->defects->first; d; d = d->next) {
      findings.push_back(
          {MasterEntryOf(node)->fileNumber, MasterDefectOf(d)->errorCode, MasterDefectOf(d)->repaired});
    }
  }
  return findings;
}

std::vector<DATFinding> DATFoundOrder(const List* errorList) {
  std::vector<DATFinding> findings = DATListOrder(errorList);
  std::reverse(findings.begin(), findings.end());
  return findings;
}

std::vector<MasterFinding> MasterFoundOrder(const List* errorList) {
  std::vector<MasterFinding> findings = MasterListOrder(errorList);
  std::reverse(findings.begin(), findings.end());
  return findings;
}

}  // namespace integrity_testing
