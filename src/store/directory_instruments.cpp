#include "store/directory_instruments.h"

#include <algorithm>
#include <cstdio>

#include "store/file_names.h"

namespace {

constexpr int kListBoxExtent = 600;

// master's 16 characters, or the longer name EMASTER holds for the number.
std::string NameOf(const MasterRecord& record, const EmasterContents& emaster) {
  const std::string name = record.Name();
  const auto extended = std::ranges::find_if(
      emaster.records, [&](const EmasterRecord& e) { return e.FileNumber() == record.FileNumber(); });
  if (name.empty() || extended == emaster.records.end()) return name;
  const std::string longName = extended->LongName();
  return longName.starts_with(name) ? longName : name;
}

DirectoryInstrument FromMaster(const char* directory, const MasterRecord& record,
                               const EmasterContents& emaster) {
  DirectoryInstrument entry;
  entry.fileNumber = record.FileNumber();
  entry.symbol = record.Symbol();
  entry.name = NameOf(record, emaster);
  entry.period = record.Period();
  entry.timeBase = record.TimeBase();
  entry.fieldCount = record.FieldCount();
  DATLayout columns = {};
  entry.layoutKnown = AssignFieldTypes(&columns, record) == 1;
  std::ranges::copy(columns.fieldTypes, entry.fieldTypes.begin());
  entry.firstDate = record.FirstDate();
  entry.lastDate = record.LastDate();
  entry.dataFileName = DATFileName(directory, entry.fileNumber);
  entry.layout = record;
  return entry;
}

DirectoryInstrument FromXmaster(const char* directory, const XmasterRecord& record) {
  DirectoryInstrument entry;
  entry.source = InstrumentSource::Xmaster;
  entry.fileNumber = record.FileNumber();
  entry.symbol = record.Symbol();
  entry.name = record.Name();
  entry.period = record.Period();
  entry.timeBase = record.TimeBase();
  entry.fieldCount = FieldTypesOfBits(record.FieldBits(), &entry.fieldTypes);
  entry.firstDate = record.FirstDate();
  entry.lastDate = record.LastDate();
  entry.dataFileName = MWDFileName(directory, entry.fileNumber);
  entry.layout = record.Layout();
  entry.layoutKnown = record.LayoutKnown();
  return entry;
}

}  // namespace

DirectoryInstruments ReadDirectoryInstruments(const char* directory) {
  DirectoryInstruments model;
  model.emaster = ReadEmaster(directory);
  model.xmaster = ReadXmaster(directory);
  for (const MasterRecord& record : ReadMasterRecords(directory)) {
    if (!record.NameIsHidden()) model.instruments.push_back(FromMaster(directory, record, model.emaster));
  }
  for (const XmasterRecord& record : model.xmaster.records)
    model.instruments.push_back(FromXmaster(directory, record));
  return model;
}

std::string XmasterRefusalText(int fileNumber) {
  std::string text = "F";
  text += std::to_string(fileNumber);
  text += " is an XMASTER instrument: Quorvex shows and tests it, but does not change it.";
  return text;
}

std::optional<DirectoryInstrument> FindDirectoryInstrument(const char* directory, int fileNumber) {
  if (fileNumber < kFirstXmasterFileNumber) {
    MasterRecord record;
    if (GetMetaStockMasterRecord(directory, fileNumber, &record) == 0) return std::nullopt;
    return FromMaster(directory, record, EmasterContents{});
  }
  for (const XmasterRecord& record : ReadXmaster(directory).records) {
    if (record.FileNumber() == fileNumber) return FromXmaster(directory, record);
  }
  return std::nullopt;
}

int ListInstruementsInDirectory(InstrumentListBox& listBox, const char* directory) {
  ListDirectoryInstruments(listBox, directory, ReadDirectoryInstruments(directory));
  return 1;
}

void ListDirectoryInstruments(InstrumentListBox& listBox, const char* directory,
                              const DirectoryInstruments& model) {
  listBox.ResetContent();
  // A directory without an index file has nothing to select.
  if (model.instruments.empty() && Exists(MasterFileName(directory).c_str()) == 0) return;
  char line[4096];
  for (const DirectoryInstrument& listed : model.instruments) {
    std::snprintf(line, sizeof line, "%s\t%s\tF%d\t%s\t%s%s", listed.name.c_str(), listed.symbol.c_str(),
                  listed.fileNumber, FileTypeText(listed.period),
                  Exists(listed.dataFileName.c_str()) != 0 ? "File Exists" : "Non-Existant",
                  listed.source == InstrumentSource::Xmaster ? "\tXMASTER" : "");
    const int index = listBox.AddString(line);
    if (index >= 0) listBox.SetItemData(index, listed.fileNumber);
  }
  listBox.SetHorizontalExtent(kListBoxExtent);
  listBox.SelectRange(0, 0);
  listBox.SetFocus();
}
