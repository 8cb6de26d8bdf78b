#include "store/directory_instruments.h"

#include <algorithm>

#include "store/file_names.h"

namespace {

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
