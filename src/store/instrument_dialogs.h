// What the instrument and directory dialogs decide: Create, Create Directory
// (MakeDir), Change Symbol, Select Path (SelectDrive), Copy, Move and Delete.
// The Windows dialogs move values between their controls and these functions;
// qvx calls the same functions with its arguments. Every message and question
// goes through the UserInteraction, with the dialogs' own texts.
//
// The *Apply functions are what the dialog's OK does. Their result is the
// dialog's fate: kDialogEnds (the dialog ends with result 1) or
// kDialogStaysOpen (a message was shown, or a question answered No, and the
// user may change the entries).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/master_file.h"
#include "store/user_interaction.h"

inline constexpr int kDialogStaysOpen = 0;
inline constexpr int kDialogEnds = 1;

inline constexpr const char* kMakeDirFailedText = "Unable to create Directory";

// Of the 16 characters the Create dialog's name edit takes, the record keeps 15.
inline constexpr size_t kNameKept = 15;

struct PeriodChoice {
  const char* text;
  char period;
};
struct FieldCountChoice {
  const char* text;
  int fieldCount;
};
// The period list: "Daily", "Weekly", "Monthly", "IntraDay" (D, W, M, I);
// "Daily" is selected first.
std::span<const PeriodChoice> CreatePeriodChoices();
// The field-count list for a period, first line selected: "Four", "Seven",
// "Eight" (4, 7, 8) for IntraDay, else "Five", "Six", "Seven" (5, 6, 7).
std::span<const FieldCountChoice> CreateFieldCountChoices(char period);
// The time base edit is enabled for IntraDay only.
bool CreateTimeBaseEnabled(char period);

// The Create dialog's entries as typed and selected.
struct CreateEntries {
  std::string name{};      // the name edit (it accepts 16 characters)
  std::string symbol{};    // the symbol edit (it accepts 14)
  char period = 'D';       // item data of the selected period line
  int fieldCount = 5;      // item data of the selected field-count line
  std::string timeBase{};  // the time base edit, read for IntraDay only
};

// The new instrument's MasterRecord from the entries: name (its first 15
// characters, blank-padded to 16), symbol (14 characters, blank-padded, and
// blanks at offsets 50 and 51), period, field count, record length 4 x field
// count, file type 101, time base (IntraDay: the decimal digits among the
// first 3 characters of the text, 0 without digits; otherwise 0), everything
// else zero. 1 and *record; 0 after one of the dialog's messages (empty name,
// name of blanks only, IntraDay without time base), or after "An unknown
// error occurred!" for a period and field count the dialog does not offer.
int BuildCreateRecord(const CreateEntries& entries, UserInteraction& ui, MasterRecord* record);

// What mends a data file that no master lists (UnlistedDataFiles: a create,
// copy, move, split or delete stopped half-way, or a master that lost the
// record): each is listed under its own number (ListUnderNumber) so that its
// records are seen again, never lost nor taken over by a new instrument. Named
// as a sound EMASTER names the number, else "RECOVERED F<n>", symbol "F<n>";
// the field count its record length gives,
// IntraDay when its records carry times, else Daily (seven fields when its
// contents tell no length); the master test's repairs then set its dates from
// the file. The names of the files listed; one that cannot be (master full or
// not writable) stays as it is.
std::vector<std::string> ListUnlistedDataFiles(const char* directory);

// Create's OK: builds the record and adds the instrument with its empty data
// and column files (CreateInstrument). kDialogEnds once the record was built,
// whether or not the instrument could be created ("Unable to create
// instrument" when not); *fileNumber is the new number or -1.
int CreateApply(const char* directory, const CreateEntries& entries, UserInteraction& ui,
                int16_t* fileNumber);

// MakeDir's OK: creates the directory parent + name and an empty master in
// it. kDialogEnds and *created (the new directory text, ending in a
// backslash); kDialogStaysOpen after "You must provide at least one character
// for a directory name.", "Unable to create Directory", or "An unknown error
// occurred!" (the directory was made but its master was not; it stays,
// without any part of a master).
int MakeDirApply(const char* parent, const char* name, UserInteraction& ui, std::string* created);

// Change Symbol's OK for the instrument's record as read when the dialog
// opened (GetMetaStockMasterRecord): the text (cut to 14 characters, may be
// empty) blank-padded into the symbol field and the record written back.
// kDialogEnds when master took the record; kDialogStaysOpen after message 2
// ("File is read only or has been opened by another process, ...") when it
// could not be written or the instrument is no longer in it.
int ChangeSymbolApply(const char* directory, MasterRecord* record, const char* newSymbol,
                      UserInteraction& ui);

// Select Path's OK: the typed text with a backslash appended when missing.
// kDialogEnds, the path added to the PathList and *path set; kDialogStaysOpen
// after "The path specified was not valid." (empty text, a lone backslash, or
// not a searchable directory).
int SelectDriveApply(const char* text, UserInteraction& ui, std::string* path);

// The instruments a Copy, Move or Delete dialog is opened on, in the order the
// dialog shows and processes them: the reverse of their order in master. 1 and
// *instruments; 0 after "An error occured whilst selecting instruments." when
// some number is not in master (or is there twice).
int SelectInstruments(const char* directory, const int16_t* fileNumbers, int count, UserInteraction& ui,
                      std::vector<MasterRecord>* instruments);

// A line of the dialogs' instrument list: "%s\t%s\tF%d" from the name, the
// symbol and the file number.
std::string InstrumentLine(const MasterRecord& record);

// The destination offered first: the most recent PathList entry that begins
// with the source directory's text (letter case ignored), else "".
std::string InitialDestination(const char* source);

// What became of the instruments of one OK.
struct InstrumentTally {
  int done = 0;    // operations that succeeded
  int failed = 0;  // operations that failed (each reported to the user)
};

enum class TransferKind { Copy, Move };

// The questions of the Copy, Move and Delete dialogs (the create-directory
// question is message 20 of the general table), for callers that answer them
// by their text.
const char* TransferRoomQuestion(TransferKind kind);
const char* TransferFailureQuestion(TransferKind kind);
const char* DeleteFailureQuestion();

// Copy's or Move's OK. Checks the destination ("The path specified was not
// valid." when empty; a backslash is appended when missing; a missing
// directory is created after a Yes to "This directory does not exist, do you
// want to attempt to create it ?", "Unable to create directory, ..." when
// that fails), adds it to the PathList, checks the room in its master
// ("Unable to insert file, the directory is already full!" when none; the
// not-enough-room question when fewer slots than instruments), then copies or
// moves each instrument in the given order. After a failure it stops with
// "Unable to insert file, the directory is already full!" when the
// destination is now full, else asks the failure question and stops on No.
// kDialogEnds once processing began (also when stopped early), else
// kDialogStaysOpen. *destination receives the destination text used.
int TransferApply(TransferKind kind, const char* source, const std::vector<MasterRecord>& instruments,
                  const char* destinationText, UserInteraction& ui, InstrumentTally* tally,
                  std::string* destination);

// Delete's OK: deletes each instrument with its files, in the given order;
// after a failure asks "An error occured whilst deleting, do you wish to
// continue ?" and stops on No. Always kDialogEnds.
int DeleteApply(const char* directory, const std::vector<MasterRecord>& instruments, UserInteraction& ui,
                InstrumentTally* tally);
