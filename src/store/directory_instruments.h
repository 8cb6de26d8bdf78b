// The instruments of a data directory, from its three index files: master's
// records in master order, leaving out those whose name begins with a zero
// byte (as the instrument list does), each with the long name EMASTER holds
// for its file number when that name begins with master's (an EMASTER older
// than master may hold another instrument's name under the number); then
// XMASTER's instruments in XMASTER order. A directory without EMASTER and
// XMASTER gives master's records alone.
//
// Reading an XMASTER instrument's F<n>.MWD. Its records are laid out as a DAT
// file's, so the DAT readers read them unchanged when given the instrument's
// `layout` (XmasterRecord::Layout) and a handle the caller opened on
// `dataFileName`. GetDATFileType, AssignFieldTypes, ReadField, GetDate,
// GetDateTime, GetRecordNumberFromDate and GetRecordNumberFromDateTime take
// from their MasterRecord only its record length, field count and period.
// The layout's file number is 0, which names no data file: what opens a data
// file by the number (CreateDATFile, CreateDOPFile, the integrity tests)
// must not be given an XMASTER instrument's layout, nor can GetDATStartDate,
// GetDATEndDate, IsIntra or AscertainRecordLength reach an MWD file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/dat_file.h"
#include "store/index_files.h"
#include "store/master_file.h"

enum class InstrumentSource { Master, Xmaster };

struct DirectoryInstrument {
  InstrumentSource source = InstrumentSource::Master;
  int fileNumber = 0;  // 0 ... 255 from master, 256 and up from XMASTER
  std::string symbol;
  // master's 16 characters, or the EMASTER long name that begins with them;
  // XMASTER's own.
  std::string name;
  char period = 0;
  uint16_t timeBase = 0;
  int fieldCount = 0;
  // The columns in file order, None past the field count: for master's
  // records the layout AssignFieldTypes gives (all None without one), for
  // XMASTER's the ones the field bits name (FieldTypesOfBits).
  std::array<FieldType, kMaxFields> fieldTypes{};
  // CYYMMDD. master's as MBF_IEEE reads them (kCorruptNumber included);
  // XMASTER's 0 for an instrument without data.
  float firstDate = 0.0f;
  float lastDate = 0.0f;
  std::string dataFileName;  // the directory text and F<n>.DAT or F<n>.MWD
  MasterRecord layout{};     // master's record itself; for XMASTER, see above
  // The DAT readers know the layout (XmasterRecord::LayoutKnown); the data
  // of an instrument without it must not be read through them.
  bool layoutKnown = false;
};

struct DirectoryInstruments {
  std::vector<DirectoryInstrument> instruments;
  // The two index files as read; their findings are the model's.
  EmasterContents emaster;
  XmasterContents xmaster;
};

// Reads master, EMASTER and XMASTER through the file layer; keeps none open.
// Without a readable master the list begins with XMASTER's instruments.
DirectoryInstruments ReadDirectoryInstruments(const char* directory);

// What the windows say when asked to change an XMASTER instrument.
std::string XmasterRefusalText(int fileNumber);

// The instrument numbered fileNumber: master's record for 1 ... 255 (its
// 16-character name, found even when the name is hidden from the list),
// XMASTER's above; none when the index file does not list it.
std::optional<DirectoryInstrument> FindDirectoryInstrument(const char* directory, int fileNumber);

// The directory browser's instrument list box, or whatever stands in for it
// (qvx prints the lines, tests record them). Mirrors the list-box messages the
// listing sends, in the same order.
class InstrumentListBox {
 public:
  virtual ~InstrumentListBox() = default;
  virtual void ResetContent() = 0;
  // The new item's index, or a negative value when the item was not added.
  virtual int AddString(const char* text) = 0;
  virtual void SetItemData(int index, int32_t fileNumber) = 0;
  virtual void SetHorizontalExtent(int pixels) = 0;
  virtual void SelectRange(int first, int last) = 0;
  virtual void SetFocus() = 0;
};

// Fills the list box with one line per instrument of the model, in its
// order: "%s\t%s\tF%d\t%s\t%s" from name, symbol, file number,
// FileTypeText(period) and "File Exists" / "Non-Existant" (whether the data
// file exists), and for XMASTER's instruments a sixth column "XMASTER"; each
// item's data is the file number. Then sets the horizontal extent to 600,
// selects item 0 and sets the focus. A directory without master and without
// instruments is only emptied. Always 1.
int ListInstruementsInDirectory(InstrumentListBox& listBox, const char* directory);
// The same from a model already read.
void ListDirectoryInstruments(InstrumentListBox& listBox, const char* directory,
                              const DirectoryInstruments& model);
