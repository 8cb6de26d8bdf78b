// The saved text reports of the DAT and master tests, byte for byte: what the
// report windows' Save Errors writes and what qvx --report writes. Lines end
// in the two bytes LF CR, in that order.
#pragma once

#include <cstdint>
#include <string>

#include "primitives/list.h"

// The DAT report of an ErrorList of instrument fileNumber in directory. The
// instrument's master record gives the name, layout and period; the previous
// record's date (and time) of each entry is read from "%sF%d.dat". 1 and the
// bytes in *text; 0 when the master record or the data file cannot be read,
// with the data file's name in *failedName.
int FormatDATErrorReport(const char* directory, int fileNumber, const List* errorList, std::string* text,
                         std::string* failedName);

// Formats the report and writes it to reportFileName (a native path, replaced
// when it exists). 1 when written. 0 with *failedName naming the file at
// fault — the data file (then no report file is touched) or the report file —
// for the caller's message 2 box, which is captioned with that name.
int WriteDATErrorReport(const char* reportFileName, const char* directory, int fileNumber,
                        const List* errorList, std::string* failedName);

// The master report of an ErrorList; names come from the directory's master
// (an entry whose file number no longer has a record keeps its number and has
// an empty name). Never fails.
std::string FormatMasterErrorReport(const char* directory, const List* errorList);

// Writes the master report to reportFileName. 1 when written; 0 when the file
// cannot be created or written, with its name in *failedName.
int WriteMasterErrorReport(const char* reportFileName, const char* directory, const List* errorList,
                           std::string* failedName);

// The report text with each LF CR line end turned into a plain LF, as qvx
// prints it.
std::string PlainLineEnds(const std::string& reportText);
