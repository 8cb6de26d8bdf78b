#include "store/instrument_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "primitives/list.h"
#include "primitives/path_list.h"
#include "primitives/text_fields.h"
#include "store/dat_probe.h"
#include "store/file_names.h"
#include "store/index_files.h"
#include "store/instrument_ops.h"
#include "store/messages.h"
#include "store/temporary_files.h"

namespace {

constexpr size_t kPaddedWidth = 16;  // the symbol is padded over the two bytes after it
constexpr size_t kTimeBaseDigits = 3;
constexpr uint8_t kBlank = ' ';
// The record length a recovered data file is listed with when its contents
// tell none: seven fields, the most common layout.
constexpr uint16_t kUnknownLayoutLength = 28;

constexpr PeriodChoice kPeriods[] = {{"Daily", 'D'}, {"Weekly", 'W'}, {"Monthly", 'M'}, {"IntraDay", 'I'}};
constexpr FieldCountChoice kEndOfDayFieldCounts[] = {{"Five", 5}, {"Six", 6}, {"Seven", 7}};
constexpr FieldCountChoice kIntradayFieldCounts[] = {{"Four", 4}, {"Seven", 7}, {"Eight", 8}};

bool Offered(char period, int fieldCount) {
  auto periods = CreatePeriodChoices();
  if (std::none_of(periods.begin(), periods.end(),
                   [&](const PeriodChoice& c) { return c.period == period; })) {
    return false;
  }
  auto counts = CreateFieldCountChoices(period);
  return std::any_of(counts.begin(), counts.end(),
                     [&](const FieldCountChoice& c) { return c.fieldCount == fieldCount; });
}

// Up to `kept` characters of text, blank-padded to `width`, into the field.
void PutPadded(uint8_t* field, const std::string& text, size_t kept, size_t width) {
  char buffer[kPaddedWidth + 1] = {};
  std::memcpy(buffer, text.data(), std::min({text.size(), kept, width}));
  RPad(buffer, static_cast<int>(width));
  std::memcpy(field, buffer, width);
}

// The decimal digits at the start of the first three characters; 0 without.
uint16_t ReadTimeBase(const std::string& text) {
  uint16_t value = 0;
  for (size_t i = 0; i < std::min(text.size(), kTimeBaseDigits); ++i) {
    if (text[i] < '0' || text[i] > '9') break;
    value = static_cast<uint16_t>(value * 10 + (text[i] - '0'));
  }
  return value;
}

MasterRecord NewInstrumentRecord(const std::string& name, const std::string& symbol, char period, int fieldCount,
                                 uint16_t timeBase) {
  MasterRecord built = {};
  PutPadded(built.raw + master_offset::kName, name, kNameKept, master_offset::kNameWidth);
  PutPadded(built.raw + master_offset::kSymbol, symbol, master_offset::kSymbolWidth, kPaddedWidth);
  built.raw[master_offset::kTrailer] = kBlank;
  built.raw[master_offset::kTrailer + 1] = kBlank;
  built.SetPeriod(period);
  built.SetFieldCount(static_cast<uint8_t>(fieldCount));
  built.SetRecordLength(static_cast<uint8_t>(4 * fieldCount));
  built.SetFileType(kMasterFileType);
  built.SetTimeBase(timeBase);
  return built;
}

std::string WithBackslash(const char* text) {
  std::string path = text;
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// The free slots of a directory's master as the dialogs compare them: signed,
// so that a count above 255 reads as no room at all.
int FreeSlots(const char* directory) {
  return static_cast<int16_t>(GetFreeInstrumentCount(directory));
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (*text == '\0' || LowerAscii(*text) != LowerAscii(*prefix)) return false;
  }
  return true;
}

}  // namespace

const char* TransferRoomQuestion(TransferKind kind) {
  return kind == TransferKind::Copy
             ? "There is not enough room to copy all of the files into the directory, do you "
               "want to copy as many as will fit?"
             : "There is not enough room to move all of the files into the directory, do you "
               "want to move as many as will fit?";
}

const char* TransferFailureQuestion(TransferKind kind) {
  return kind == TransferKind::Copy ? "A problem occured during copying, do you wish to attempt to continue ?"
                                    : "A problem occured during moving, do you wish to attempt to continue ?";
}

const char* DeleteFailureQuestion() {
  return "An error occured whilst deleting, do you wish to continue ?";
}

std::span<const PeriodChoice> CreatePeriodChoices() {
  return kPeriods;
}

std::span<const FieldCountChoice> CreateFieldCountChoices(char period) {
  if (period == 'I') return kIntradayFieldCounts;
  return kEndOfDayFieldCounts;
}

bool CreateTimeBaseEnabled(char period) {
  return period == 'I';
}

int BuildCreateRecord(const CreateEntries& entries, UserInteraction& ui, MasterRecord* record) {
  if (entries.name.empty()) {
    ui.ShowNotice("The Instrument name MUST contain a name so that it can be identified");
    return 0;
  }
  const std::string name = entries.name.substr(0, std::min(entries.name.size(), kNameKept));
  if (IsBlankOnly(name.c_str())) {
    ui.ShowNotice("You MUST supply a name which contains something other than just spaces.");
    return 0;
  }
  if (!Offered(entries.period, entries.fieldCount)) {
    ui.ShowNotice(GetError(kUnknownErrorMessage));
    return 0;
  }
  const bool intraday = entries.period == 'I';
  if (intraday && entries.timeBase.empty()) {
    ui.ShowNotice("You MUST supply a time base for IntraDay files");
    return 0;
  }

  *record = NewInstrumentRecord(name, entries.symbol, entries.period, entries.fieldCount,
                                intraday ? ReadTimeBase(entries.timeBase) : 0);
  return 1;
}

std::vector<std::string> ListUnlistedDataFiles(const char* directory) {
  std::vector<std::string> listed;
  const EmasterContents emaster = ReadEmaster(directory);
  for (const std::string& file : UnlistedDataFiles(directory)) {
    const int number = std::atoi(file.c_str() + 1);
    const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(directory + file);
    if (!bytes) continue;
    uint16_t length = RecordLengthOfContents(*bytes);
    if (length == kUnknownRecordLength) length = kUnknownLayoutLength;
    // Built by appending: GCC 12 warns falsely (-Wrestrict) of "F" + text in the optimised i686 build.
    std::string symbol = "F";
    symbol += std::to_string(number);
    std::string name = std::string("RECOVERED ").append(symbol);
    // A sound EMASTER that still lists the number (a delete stopped between the two) names it.
    const auto named = std::ranges::find(emaster.records, number, &EmasterRecord::FileNumber);
    if (emaster.Sound() && named != emaster.records.end()) symbol = named->Symbol(), name = named->Name();
    MasterRecord record =
        NewInstrumentRecord(name, symbol, IntradayContents(*bytes, length) != 0 ? 'I' : 'D', length / 4, 0);
    if (ListUnderNumber(directory, &record, number)) listed.push_back(file);
  }
  return listed;
}

int CreateApply(const char* directory, const CreateEntries& entries, UserInteraction& ui,
                int16_t* fileNumber) {
  *fileNumber = -1;
  MasterRecord record;
  if (!BuildCreateRecord(entries, ui, &record)) return kDialogStaysOpen;
  *fileNumber = CreateInstrument(directory, &record, 1);
  if (*fileNumber == -1) ui.ShowNotice("Unable to create instrument");
  return kDialogEnds;
}

int MakeDirApply(const char* parent, const char* name, UserInteraction& ui, std::string* created) {
  if (name == nullptr || *name == '\0') {
    ui.ShowNotice("You must provide at least one character for a directory name.");
    return kDialogStaysOpen;
  }
  const std::string path = std::string(parent) + name;
  if (!platform::MakeDirectory(path)) {
    ui.ShowNotice(kMakeDirFailedText);
    return kDialogStaysOpen;
  }
  const std::string directory = path + '\\';
  if (!CreateEmptyMasterFile(directory.c_str())) {
    // A master left shorter than its header would make the new directory
    // unusable: take it away.
    platform::RemoveFile(MasterFileName(directory.c_str()));
    ui.ShowNotice(GetError(kUnknownErrorMessage));
    return kDialogStaysOpen;
  }
  *created = directory;
  return kDialogEnds;
}

int ChangeSymbolApply(const char* directory, MasterRecord* record, const char* newSymbol,
                      UserInteraction& ui) {
  PutPadded(record->raw + master_offset::kSymbol, newSymbol ? newSymbol : "", master_offset::kSymbolWidth,
            master_offset::kSymbolWidth);
  // The update reports only that the record was found: read it back to learn
  // whether master took it.
  MasterRecord written{};
  if (!UpdateMetaStockMasterRecord(directory, record->FileNumber(), *record) ||
      !GetMetaStockMasterRecord(directory, record->FileNumber(), &written) ||
      std::memcmp(written.raw, record->raw, kMasterRecordSize) != 0) {
    ui.ShowNotice(GetError(kFileAccessMessage));
    return kDialogStaysOpen;
  }
  return kDialogEnds;
}

int SelectDriveApply(const char* text, UserInteraction& ui, std::string* path) {
  if (text == nullptr || *text == '\0') {
    ui.ShowNotice(GetError(kInvalidPathMessage));
    return kDialogStaysOpen;
  }
  const std::string candidate = WithBackslash(text);
  if (candidate == "\\" || !IsValidPath(candidate.c_str())) {
    ui.ShowNotice(GetError(kInvalidPathMessage));
    return kDialogStaysOpen;
  }
  AddPath(candidate.c_str());
  *path = candidate;
  return kDialogEnds;
}

int SelectInstruments(const char* directory, const int16_t* fileNumbers, int count, UserInteraction& ui,
                      std::vector<MasterRecord>* instruments) {
  instruments->clear();
  ListPtr list(CreateList());
  if (!list || !MakeInstrumentList(list.get(), directory, fileNumbers, count)) {
    ui.ShowNotice(GetError(kSelectingInstrumentsMessage));
    return 0;
  }
  MasterRecord record;
  for (ListNode* node = GetFirstItem(list.get(), &record, kMasterRecordSize); node != nullptr;
       node = GetNextItem(node, &record, kMasterRecordSize)) {
    instruments->push_back(record);
  }
  return 1;
}

std::string InstrumentLine(const MasterRecord& record) {
  char line[64];
  std::snprintf(line, sizeof line, "%s\t%s\tF%d", record.Name().c_str(), record.Symbol().c_str(),
                record.FileNumber());
  return line;
}

std::string InitialDestination(const char* source) {
  for (const PathNode* node = PathList; node != nullptr; node = node->next) {
    if (StartsWithNoCase(node->path, source)) return node->path;
  }
  return {};
}

int TransferApply(TransferKind kind, const char* source, const std::vector<MasterRecord>& instruments,
                  const char* destinationText, UserInteraction& ui, InstrumentTally* tally,
                  std::string* destination) {
  *tally = {};
  if (destinationText == nullptr || *destinationText == '\0') {
    ui.ShowNotice(GetError(kInvalidPathMessage));
    return kDialogStaysOpen;
  }
  *destination = WithBackslash(destinationText);
  const char* target = destination->c_str();
  if (!IsValidPath(target)) {
    if (!ui.AskYesNo(GetError(kCreateDirectoryQuestion))) return kDialogStaysOpen;
    // The directory gets no master of its own: the first instrument makes it.
    if (!platform::MakeDirectory(destination->substr(0, destination->size() - 1))) {
      ui.ShowNotice(GetError(kCannotCreateDirectoryMessage));
      return kDialogStaysOpen;
    }
  }
  AddPath(target);

  const int free = FreeSlots(target);
  if (free <= 0) {
    ui.ShowNotice(GetError(kDirectoryFullMessage));
    return kDialogStaysOpen;
  }
  if (free < static_cast<int>(instruments.size()) && !ui.AskYesNo(TransferRoomQuestion(kind))) {
    return kDialogStaysOpen;
  }

  for (const MasterRecord& instrument : instruments) {
    MasterRecord record = instrument;
    const int result = kind == TransferKind::Copy ? CopyInstrument(target, source, &record)
                                                  : MoveInstrument(target, source, &record);
    if (result) {
      ++tally->done;
      continue;
    }
    ++tally->failed;
    if (FreeSlots(target) <= 0) {
      ui.ShowNotice(GetError(kDirectoryFullMessage));
      break;
    }
    if (!ui.AskYesNo(TransferFailureQuestion(kind))) break;
  }
  return kDialogEnds;
}

int DeleteApply(const char* directory, const std::vector<MasterRecord>& instruments, UserInteraction& ui,
                InstrumentTally* tally) {
  *tally = {};
  for (const MasterRecord& instrument : instruments) {
    if (DeleteInstrument(directory, instrument, 1)) {
      ++tally->done;
      continue;
    }
    ++tally->failed;
    if (!ui.AskYesNo(DeleteFailureQuestion())) break;
  }
  return kDialogEnds;
}
