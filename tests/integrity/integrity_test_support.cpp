#include "integrity_test_support.h"

#include <algorithm>
#include <filesystem>

#include "support/temp_dir.h"

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

std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& nativeDirectory) {
  namespace fs = std::filesystem;
  std::map<std::string, std::vector<uint8_t>> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(nativeDirectory)) {
    if (!entry.is_regular_file()) continue;
    files[fs::relative(entry.path(), nativeDirectory).generic_string()] =
        testing_support::ReadBytes(entry.path().string());
  }
  return files;
}

}  // namespace integrity_testing
