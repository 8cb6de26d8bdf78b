#include "integrity/index_checks.h"

#include <initializer_list>
#include <map>
#include <string_view>

#include "filelayer/file_layer.h"
#include "store/file_names.h"
#include "store/index_files.h"
#include "store/master_file.h"

namespace {

constexpr const char* kFileNames[] = {"EMASTER", "XMASTER"};

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// "F<n>" and the parts, appended one by one: GCC 12 takes "text" +
// std::to_string(...) for an overlapping copy (a false -Wrestrict in the
// optimised i686 build).
std::string About(int fileNumber, std::initializer_list<std::string_view> parts) {
  std::string text = "F";
  text.append(std::to_string(fileNumber));
  for (std::string_view part : parts) text.append(part);
  return text;
}

std::string DateText(float date) {
  return std::to_string(static_cast<long long>(date));
}

void AddDamage(const std::vector<IndexFinding>& found, std::vector<IndexCheckFinding>* findings) {
  for (const IndexFinding& finding : found)
    findings->push_back({kFileNames[static_cast<int>(finding.file)], 0, finding.text});
}

// A period letter as it is, any other byte by its value ("byte 0").
std::string PeriodText(char period) {
  if (period >= ' ' && period <= '~') return std::string(1, period);
  std::string text = "byte ";
  return text.append(std::to_string(static_cast<unsigned char>(period)));
}

// Each way the EMASTER record of an instrument differs from its master record.
void Compare(const MasterRecord& master, const EmasterRecord& emaster,
             std::vector<IndexCheckFinding>* findings) {
  const int n = master.FileNumber();
  const auto differs = [&](const char* what, const std::string& theirs, const std::string& ours) {
    if (theirs != ours)
      findings->push_back(
          {"EMASTER", n,
           About(n, {": EMASTER's ", what, " \"", theirs, "\" is not master's \"", ours, "\""})});
  };
  differs("symbol", Trimmed(emaster.Symbol()), master.Symbol());
  differs("name", Trimmed(emaster.Name()), master.Name());
  differs("first date", DateText(emaster.FirstDate()), DateText(master.FirstDate()));
  differs("last date", DateText(emaster.LastDate()), DateText(master.LastDate()));
  differs("field count", std::to_string(emaster.FieldCount()), std::to_string(master.FieldCount()));
  differs("period", PeriodText(emaster.Period()), PeriodText(master.Period()));
  differs("time base", std::to_string(emaster.TimeBase()), std::to_string(master.TimeBase()));
}

}  // namespace

std::vector<IndexCheckFinding> CheckIndexFiles(const char* directory) {
  return CheckIndexFiles(directory, ReadEmaster(directory), ReadXmaster(directory));
}

std::vector<IndexCheckFinding> CheckIndexFiles(const char* directory, const EmasterContents& emaster,
                                               const XmasterContents& xmaster) {
  std::vector<IndexCheckFinding> findings;
  AddDamage(emaster.findings, &findings);
  if (emaster.Sound() && Exists(MasterFileName(directory).c_str())) {
    std::map<int, const EmasterRecord*> listed;
    for (const EmasterRecord& record : emaster.records) listed.emplace(record.FileNumber(), &record);
    for (const MasterRecord& record : ReadMasterRecords(directory)) {
      const auto found = listed.find(record.FileNumber());
      if (found == listed.end()) {
        findings.push_back({"EMASTER", record.FileNumber(),
                            About(record.FileNumber(), {" is in master but not in EMASTER"})});
        continue;
      }
      Compare(record, *found->second, &findings);
      listed.erase(found);
    }
    for (const auto& [n, record] : listed)
      findings.push_back({"EMASTER", n, About(n, {" is in EMASTER but not in master"})});
  }
  AddDamage(xmaster.findings, &findings);
  return findings;
}
