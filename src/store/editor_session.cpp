#include "store/editor_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "filelayer/platform_file.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "primitives/path_list.h"
#include "store/directory_instruments.h"
#include "store/messages.h"
#include "store/temporary_files.h"

namespace {

constexpr const char* kInsertFailed = "Unable to insert record";
constexpr const char* kDeleteQuestion = "Are you sure you want to delete the selection ?";
constexpr const char* kDeleteFailed = "Errors occured during deletion!";
constexpr const char* kTruncateFailed =
    "Errors occured during truncation, file may be left in an inconsistent state!";
constexpr const char* kSplitFailed =
    "Errors occured during split, Files may be left in an inconsistent state!";

}  // namespace

int LocateEditorInstrument(EditorSession* session, const char* directory, int fileNumber) {
  session->directory = directory != nullptr ? directory : "";
  session->fileNumber = fileNumber;
  const std::optional<DirectoryInstrument> listed =
      FindDirectoryInstrument(session->directory.c_str(), fileNumber);
  if (!listed || Exists(listed->dataFileName.c_str()) == 0) return 0;
  session->fileName = listed->dataFileName;
  session->masterRecord = listed->layout;
  session->readOnly = listed->source == InstrumentSource::Xmaster;
  return session->readOnly && !listed->layoutKnown ? -1 : 1;
}

int OpenEditorSession(EditorSession* session, const char* directory, int fileNumber, UserInteraction& ui) {
  session->layout = DATLayout{};
  std::fill(std::begin(session->pending), std::end(session->pending), PendingValue{0.0f, 0});
  const int located = LocateEditorInstrument(session, directory, fileNumber);
  if (located <= 0) {
    ui.ShowNotice(GetError(located == 0 ? kFileAccessMessage : kUnknownFormatMessage));
    return 0;
  }
  // The session writes the data file in place from now on.
  if (!session->readOnly) RemoveLeftoverTemporaries(session->directory.c_str());
  FileGuard file(SOpenFile(session->fileName.c_str(), session->readOnly ? kOpenReadOnly : kOpenReadWrite,
                           kOpenShared, session->masterRecord.RecordLength(), kOpenNotTemporary));
  if (!file.Valid()) {
    ui.ShowNotice(GetError(kFileAccessMessage));
    return 0;
  }
  if (GetDATFileType(file.Get(), session->fileName.c_str(), session->masterRecord, &session->layout,
                     &session->headerStart, ui) == 0) {
    ui.ShowNotice(GetError(kUnknownFormatMessage));
    return 0;
  }
  session->selection.reset(CreateList());
  if (!session->selection) {
    ui.ShowNotice(GetError(kOutOfMemoryMessage));
    return 0;
  }
  session->file = std::move(file);
  return 1;
}

int CloseEditorSession(EditorSession* session) {
  if (!session->file.Valid()) return 0;
  if (session->readOnly) {
    session->file.Close();
    session->selection.reset();
    return 1;
  }
  const int master = UpdateMaster(session->file.Get(), session->directory.c_str(), session->masterRecord);
  const int header = UpdateDATHeader(session->file.Get(), session->layout.recordCount);
  session->file.Close();
  session->selection.reset();
  return master != 0 && header != 0 ? 1 : 0;
}

int ColumnCount(const EditorSession& session) {
  return std::min<int>(session.masterRecord.FieldCount(), kMaxFields);
}

void RereadRecordCount(EditorSession* session) {
  const int32_t length = session->masterRecord.RecordLength();
  if (length > 0 && session->file.Valid())
    session->layout.recordCount = FileLength(session->file.Get()) / length;
}

static_assert(kCellTextRoom >= kDateTextRoom);

char* WriteCellText(char* out, FieldType type, float value) {
  switch (type) {
    case FieldType::Date:
      return WriteDateText(out, value);
    case FieldType::Time:
      return WriteTimeText(out, value);
    default:
      return WriteFixed2(out, value);
  }
}

std::string FormatCellText(FieldType type, float value) {
  char text[kCellTextRoom];
  return std::string(text, WriteCellText(text, type, value));
}

TypedChar ClassifyTypedChar(FieldType type, std::string_view text, char ch) {
  if (ch < '.' || ch > ':') return TypedChar::Refused;
  if (text.size() >= kMaxTypedChars) return TypedChar::Ignored;
  const auto count = [&](char c) { return std::count(text.begin(), text.end(), c); };
  switch (type) {
    case FieldType::Date:
      if (ch == ':' || ch == '.' || (ch == '/' && count('/') > 2)) return TypedChar::Refused;
      break;
    case FieldType::Time:
      if (ch == '/' || ch == '.' || (ch == ':' && count(':') > 2)) return TypedChar::Refused;
      break;
    default:
      if (ch == '.' && count('.') > 1) return TypedChar::Refused;
      break;
  }
  return TypedChar::Accepted;
}

namespace {

// Whether the text could have been typed into the cell character by character.
bool Typable(FieldType type, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (ClassifyTypedChar(type, text.substr(0, i), text[i]) != TypedChar::Accepted) return false;
  }
  return true;
}

}  // namespace

CellCommit CommitCellText(EditorSession* session, int32_t record, int column, const char* text) {
  if (column < 0 || column >= ColumnCount(*session) || record < 0 || record > DataRecordCount(*session)) {
    return CellCommit::NoSuchCell;
  }
  const FieldType type = session->layout.fieldTypes[column];
  const std::string_view typed = text != nullptr ? text : "";
  if (!Typable(type, typed)) return CellCommit::NotTypable;
  const std::string terminated(typed);
  float value = 0.0f;
  switch (type) {
    case FieldType::Date:
      value = MakeDateFromString(terminated.c_str());
      if (value == -1.0f) return CellCommit::InvalidDate;
      break;
    case FieldType::Time:
      value = MakeTimeFromString(terminated.c_str());
      if (value == -1.0f) return CellCommit::InvalidTime;
      break;
    default:
      value = static_cast<float>(std::strtod(terminated.c_str(), nullptr));
      break;
  }
  return CommitCellValue(session, record, column, value);
}

CellCommit CommitCellValue(EditorSession* session, int32_t record, int column, float value) {
  if (column < 0 || column >= ColumnCount(*session) || record < 0 || record > DataRecordCount(*session)) {
    return CellCommit::NoSuchCell;
  }
  if (record < DataRecordCount(*session)) {
    const int written =
        WriteField(session->file.Get(), value, record + 1, column, session->masterRecord.RecordLength());
    return written != 0 ? CellCommit::Stored : CellCommit::WriteFailed;
  }
  session->pending[column] = PendingValue{value, 1};
  return CellCommit::Pending;
}

int AppendPendingRecord(EditorSession* session) {
  const int columns = ColumnCount(*session);
  for (int c = 0; c < columns; ++c) {
    if (session->pending[c].set == 0) return 0;
  }
  const int32_t length = session->masterRecord.RecordLength();
  std::vector<unsigned char> bytes(static_cast<size_t>(length), 0);
  for (int c = 0; c < columns && 4 * c + 4 <= length; ++c) {
    StoreMbfWord(&bytes[static_cast<size_t>(4 * c)], IEEE_MBF(session->pending[c].value));
  }
  // One write, so that a failure cannot leave part of a record behind; and a
  // write cut short (a full disk) is cut away again.
  const int32_t before = FileLength(session->file.Get());
  if (WriteBlock(session->file.Get(), bytes.data(), static_cast<uint32_t>(length),
                 session->layout.recordCount * length, 0) == 0) {
    if (FileLength(session->file.Get()) > before) STruncateFile(session->file.Get(), before);
    return 0;
  }
  std::fill(std::begin(session->pending), std::end(session->pending), PendingValue{0.0f, 0});
  ++session->layout.recordCount;
  return 1;
}

int EditorInsertRecord(EditorSession* session, int32_t currentRecord, UserInteraction& ui) {
  if (InsertRecord(session->file.Get(), session->fileName.c_str(), currentRecord, session->masterRecord) ==
      0) {
    ui.ShowNotice(kInsertFailed);
    return 0;
  }
  FlushList(session->selection.get());
  ++session->layout.recordCount;
  return 1;
}

int EditorDeleteSelection(EditorSession* session, UserInteraction& ui) {
  if (ListEmpty(session->selection.get())) {
    ui.ShowNotice(GetError(kSelectAtLeastOneRecordMessage));
    return 0;
  }
  if (!ui.AskYesNo(kDeleteQuestion)) return 0;
  const int deleted = DeleteSelectedDATRecords(session->file.Get(), session->fileName.c_str(),
                                               session->selection.get(), session->masterRecord);
  if (deleted == 0) ui.ShowNotice(kDeleteFailed);
  RereadRecordCount(session);
  return deleted;
}

int32_t SingleSelectedRecord(const EditorSession& session, UserInteraction& ui) {
  const int32_t selected = CountListItems(session.selection.get());
  if (selected < 1) {
    ui.ShowNotice(GetError(kSelectAtLeastOneRecordMessage));
    return -1;
  }
  if (selected > 1) {
    ui.ShowNotice(GetError(kSelectOnlyOneRecordMessage));
    return -1;
  }
  int32_t record = -1;
  GetFirstItem(session.selection.get(), &record, sizeof record);
  return record;
}

int TruncateDialogOk(FileHandle file, const char* fileName, int32_t record, int fromCurrent,
                     int includeCurrent, RecordSelection* selection, const MasterRecord& masterRecord,
                     UserInteraction& ui) {
  const int result =
      TruncateFile(file, fileName, record, fromCurrent, includeCurrent, selection, masterRecord);
  if (result == 0) ui.ShowNotice(kTruncateFailed);
  return result;
}

SplitDialogResult SplitDialogOk(FileHandle file, const char* sourceDirectory, int fileNumber,
                                MasterRecord* masterRecord, int32_t record, const char* destinationText,
                                int firstIncludeCurrent, int lastIncludeCurrent, int leaveIntact,
                                UserInteraction& ui) {
  std::string destination = destinationText != nullptr ? destinationText : "";
  if (destination.empty()) {
    ui.ShowNotice(GetError(kInvalidPathMessage));
    return SplitDialogResult::StayOpen;
  }
  if (destination.back() != '\\') destination += '\\';
  if (IsValidPath(destination.c_str()) == 0) {
    if (!ui.AskYesNo(GetError(kCreateDirectoryQuestion))) return SplitDialogResult::StayOpen;
    if (!platform::MakeDirectory(destination)) {
      ui.ShowNotice(GetError(kCannotCreateDirectoryMessage));
      return SplitDialogResult::StayOpen;
    }
  }
  AddPath(destination.c_str());
  if (static_cast<int16_t>(GetFreeInstrumentCount(destination.c_str())) < 1) {
    ui.ShowNotice(GetError(kDirectoryFullMessage));
    return SplitDialogResult::StayOpen;
  }
  if (SplitFile(file, sourceDirectory, fileNumber, masterRecord, destination.c_str(), record,
                firstIncludeCurrent, lastIncludeCurrent, leaveIntact) == 0) {
    ui.ShowNotice(kSplitFailed);
    return SplitDialogResult::Failed;
  }
  return SplitDialogResult::Split;
}

int EditorTruncate(EditorSession* session, int fromCurrent, int includeCurrent, UserInteraction& ui) {
  const int32_t record = SingleSelectedRecord(*session, ui);
  if (record < 0) return 0;
  const int result = TruncateDialogOk(session->file.Get(), session->fileName.c_str(), record, fromCurrent,
                                      includeCurrent, session->selection.get(), session->masterRecord, ui);
  RereadRecordCount(session);
  return result;
}

SplitDialogResult EditorSplit(EditorSession* session, const char* destinationText, int firstIncludeCurrent,
                              int lastIncludeCurrent, int leaveIntact, UserInteraction& ui) {
  const int32_t record = SingleSelectedRecord(*session, ui);
  if (record < 0) return SplitDialogResult::StayOpen;
  const uint8_t ownNumber = session->masterRecord.FileNumber();
  const SplitDialogResult result = SplitDialogOk(
      session->file.Get(), session->directory.c_str(), session->fileNumber, &session->masterRecord, record,
      destinationText, firstIncludeCurrent, lastIncludeCurrent, leaveIntact, ui);
  session->masterRecord.SetFileNumber(ownNumber);
  if (result == SplitDialogResult::StayOpen) return result;
  FlushList(session->selection.get());
  RereadRecordCount(session);
  return result;
}
