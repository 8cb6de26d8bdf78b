// Adding, copying, moving and removing whole instruments: one MasterRecord of
// a directory's master together with its files F<n>.DAT, F<n>.DOP and F<n>.CHT
// (the .CHT file is never read or written, only carried along).
//
// Every function takes directory texts ending in a backslash, opens and closes
// master itself, keeps nothing open between calls and shows no message; the
// dialogs' logic (instrument_dialogs.h) tells the user.
//
// Every change of a master (an entry added or removed, in either directory of
// a move) brings an EMASTER that agreed with it in step (emaster_follower.h);
// when EMASTER cannot follow, that master is put back and the step fails as a
// failed write of master would. A copied or moved instrument's new EMASTER
// record keeps the long name the source's EMASTER holds for it, when that
// begins with master's name (else it names another instrument).
#pragma once

#include <cstdint>
#include <string>

#include "store/master_file.h"

// Appends the record (complete but for its file number) to the directory's
// master and returns the file number it was given, 1 ... 255; -1 when the
// directory is full (255 instruments or records, or no unused number 1 ... 255
// left) or master cannot be read or written. Never 0.
//
// A directory without master gets a new one (count 1, that number as the last
// file number) and the record becomes F1, or the lowest number not taken (see
// below). An existing master that cannot be opened for writing is left alone
// (-1). While the header's last file number is below 255 the new number is
// the next one; from 255 on it is the lowest number no record uses. A number
// that XMASTER names or an F<n>.MWD or F<n>.DAT file has (NumbersTakenBeyondMaster) is
// never handed out: counting on passes over it (passing the top sets the last
// file number to 255), and so does the search for the lowest. Copies, moves
// and splits take their numbers here.
// The header is written first, then the record at the end of the file; when
// the record cannot be written the old header is put back and any part of the
// record that reached the file (a full disk) is cut away. A directory's first
// master is written whole as "msttmp" and then renamed.
//
// On success record->raw[0] holds the number; on -1 the record is unchanged.
// With createFiles non-zero, empty F<n>.DAT and F<n>.DOP files of the number
// are made first (CreateDATFile, CreateDOPFile; their results do not change
// the result), and taken away again when the entry cannot be added.
// longName: the EMASTER long name the new record keeps where EMASTER is
// followed (EmasterFollower::CarryLongName); a split passes its source's.
// number: the number the entry must take, its data file being in place under
// it (NextFileNumber); -1 when the entry would take another.
int16_t CreateInstrument(const char* directory, MasterRecord* record, int createFiles,
                         const std::string& longName = {}, int16_t number = -1);

// Lists the record (complete but for its number) under the number its data
// file already has in the directory, whatever number a new instrument would
// take: for a data file no master lists (UnlistedDataFiles). The header's
// count rises by one and its last file number to the number when below it;
// EMASTER follows. 1 when listed (record->raw[0] holds the number); 0 when a
// record already lists the number, master is full, missing, or cannot be read
// or written.
int ListUnderNumber(const char* directory, MasterRecord* record, int fileNumber);

// Whether anything of that name is in its directory, whatever its case and
// whoever holds it open (a file that cannot be opened still counts). When the
// directory cannot be listed the answer is yes, so that callers leave things
// alone rather than act on a guess.
bool FilePresent(const std::string& name);

// The number CreateInstrument would give a new instrument now, without
// changing anything; -1 when it would fail.
int16_t NextFileNumber(const char* directory);

// The long name the directory's EMASTER holds for the number; empty when it
// holds none (or no EMASTER can be read).
std::string EmasterLongName(const char* directory, int fileNumber);

// Copies the source instrument's .DAT, .DOP and .CHT files into the
// destination under the number a new instrument takes there (overwriting files
// of those names), each copied whole under a temporary name that then takes
// its name, so that a stop never leaves part of a file; then adds its record
// under that number. A source file that
// does not exist is passed over. 1 when every existing source file was copied
// and the instrument added; afterwards record->raw[0] holds the destination
// number. 0 when no number was free, a copy failed or the entry could not be
// added: then the copies made are taken away again and the record keeps the
// source number.
int CopyInstrument(const char* destination, const char* source, MasterRecord* record);

// Moves the source instrument (its record) to the destination: copied there
// whole and listed (CopyInstrument), then the source entry removed and its
// files deleted (DeleteInstrument). 1 when done; 0 when the source is as it
// was: the source master cannot be written, a source file is held, the copy
// failed, or the source could not let the instrument go (the copy is then
// taken away again, unless the source lost one of its files on the way: the
// instrument then stays listed in both). Every data file is listed in a
// master at every step, at worst in both. Afterwards record->raw[0] holds the
// source number.
int MoveInstrument(const char* destination, const char* source, MasterRecord* record);

// Rewrites master without any record of the record's file number (all of
// them, lowering the header's count by one for each): the new master is
// written as "msttmp" and then takes the place of master in one step, so the
// directory always has a whole master. 1 when master was replaced; 0 when
// master is unchanged (it or msttmp cannot be opened, read or written whole,
// or the replacement failed).
//
// With deleteFiles non-zero the instrument's .DOP, .CHT and .DAT files are
// deleted after the rewrite, the data file last (missing files are no error),
// so that no data file is left behind unlisted: a file that exists but is held
// open or cannot be written is checked for first (the result is then 0 and
// nothing changed), and should a deletion still fail, the removed records are
// appended to master again and the result is 0 (files deleted before it stay
// deleted; the data file is then still there).
int DeleteInstrument(const char* directory, const MasterRecord& record, int deleteFiles);
