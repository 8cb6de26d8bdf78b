// Export and Import of the browser's Instrument menu: records to and from
// text files chosen in the common Save and Open dialogs.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browser/browser_dialogs.h"
#include "primitives/text_fields.h"
#include "store/directory_instruments.h"
#include "store/record_export.h"
#include "store/record_import.h"
#include "winui/app_globals.h"
#include "winui/message_boxes.h"

namespace {

// The Save dialog's file types, in the order of its filter: each a layout and format of export.
constexpr char kExportFilter[] =
    "Table, for spreadsheets and databases (*.csv)\0*.csv\0"
    "MetaStock ASCII, for charting programs (*.csv)\0*.csv\0"
    "JSON Lines (*.jsonl)\0*.jsonl\0";
constexpr ExportOptions kExportTypes[] = {
    {.layout = TextLayout::Table},
    {.layout = TextLayout::MetaStock},
    {.format = ExportFormat::JsonLines},
};
constexpr char kImportFilter[] = "Text files (*.csv;*.txt)\0*.csv;*.txt\0All files (*.*)\0*.*\0";

void ShowResult(HWND parent, const std::string& text) {
  MessageBoxA(parent, text.c_str(), AppName, MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}

std::string Plural(int64_t count, const char* one, const char* many) {
  std::string text = std::to_string(count);
  text += ' ';
  text += count == 1 ? one : many;
  return text;
}

std::string NotAsStored(size_t warnings) {
  if (warnings == 0) return "";
  std::string text = "\n\n";
  text += Plural(static_cast<int64_t>(warnings), "value was", "values were");
  text += " not as a data file can hold them (written empty, or stored as the corrupt-number marker).";
  return text;
}

// A file name from the common dialog: false when cancelled.
bool ChooseFile(HWND parent, bool save, const char* title, const char* filter, char (&file)[MAX_PATH],
                DWORD* filterIndex) {
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = parent;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = *filterIndex;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title;
  dialog.lpstrDefExt = save ? "csv" : nullptr;
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog))) return false;
  *filterIndex = dialog.nFilterIndex;
  return true;
}

}  // namespace

int ExportInstruments(HWND parent, const char* directory, const int16_t* fileNumbers, int count) {
  char file[MAX_PATH] = "quotes.csv";
  DWORD type = 1;
  if (!ChooseFile(parent, true, "Export", kExportFilter, file, &type)) return 0;
  WaitCursor wait;
  const ExportOptions& options = kExportTypes[std::clamp<DWORD>(type, 1, std::size(kExportTypes)) - 1];
  ReplacingFileSink sink;
  if (!sink.Open(file)) {
    ShowStopMessage(parent, JoinParts({file, " cannot be written."}).c_str());
    return 0;
  }
  std::vector<std::string> warnings;
  TextOutput out(sink);
  RecordExporter exporter(out, options, [&](const std::string& text) { warnings.push_back(text); });
  exporter.WriteHeader();
  int64_t records = 0;
  const DirectoryInstruments model = ReadDirectoryInstruments(directory);
  for (int i = 0; i < count; ++i) {
    for (const DirectoryInstrument& instrument : model.instruments) {
      if (instrument.fileNumber == fileNumbers[i])
        records += exporter.ExportInstrument(directory, instrument);
    }
  }
  if (!out.Flush() || !sink.Commit()) {
    ShowStopMessage(
        parent,
        JoinParts({"The records could not all be written to ", file, ": nothing was exported."}).c_str());
    return 0;
  }
  ShowResult(parent, JoinParts({"Exported ", Plural(records, "record", "records"), " of ",
                                Plural(count, "instrument", "instruments"), " to ", file, ".",
                                NotAsStored(warnings.size())}));
  return 1;
}

int ImportInstrument(HWND parent, const char* directory, int16_t fileNumber) {
  char file[MAX_PATH] = "";
  DWORD type = 1;
  if (!ChooseFile(parent, false, "Import", kImportFilter, file, &type)) return 0;
  const std::string instrument = JoinParts({"F", std::to_string(fileNumber)});
  ImportResult checked;
  std::string fault;
  {
    WaitCursor wait;
    if (!ImportRecords(directory, fileNumber, file, ImportMode::Check, CodePage::Windows1252, &checked,
                       &fault)) {
      ShowStopMessage(parent, fault.c_str());
      return 0;
    }
  }
  ImportMode mode = ImportMode::IntoEmpty;
  if (checked.held > 0) {
    const std::string question = JoinParts(
        {instrument, " holds ", Plural(checked.held, "record", "records"), ". Replace them with the ",
         Plural(checked.imported, "record", "records"), " of ", file, " ?"});
    if (!MessageBoxInteraction(parent).AskYesNo(question.c_str())) return 0;
    mode = ImportMode::Replace;
  }
  ImportResult result;
  {
    WaitCursor wait;
    if (!ImportRecords(directory, fileNumber, file, mode, CodePage::Windows1252, &result, &fault)) {
      ShowStopMessage(parent, fault.c_str());
      return 1;  // the dates alone may have failed: the list shows what is there
    }
  }
  ShowResult(parent, JoinParts({"Imported ", Plural(result.imported, "record", "records"), " into ",
                                instrument, ".", NotAsStored(result.warnings.size())}));
  return 1;
}
