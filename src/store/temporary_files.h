// The temporary files the store writes into a data directory (file_names.h:
// msttmp, emsttmp and the record operations' QVX<tag>.TMP) as seen from
// outside the operation that writes each one: listed for the checks, and
// removed once an operation that was stopped (a killed program, a power cut)
// has left them behind.
//
// Which leftovers go. A temporary may belong to an operation still at work:
// one of this process, or one of another Quorvex process in the same
// directory at the same moment. Windows refuses to delete a file that another
// process holds open, POSIX does not, and on either system a writer closes
// its temporary before that takes its place. So a record operation's
// temporary carries in its tag the minute it was created, and it is removed
// only when that minute lies more than kLiveMinutes from now, either way: no
// operation keeps its temporary that long (it copies one data file and ends),
// and the margin covers the clocks of machines that share a directory.
// Nor is one removed that the file layer of this process holds open.
// msttmp and emsttmp keep the fixed names other programs of the format know,
// which can carry no time: one goes when it was last written more than
// kLiveMinutes from now, either way (an operation writes it whole and puts it
// in its file's place at once). Neither can pile up in between: the next
// operation that writes one empties it first.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int64_t kLiveMinutes = 15;

// A record operation's tag for a temporary created at `when`: the minute
// (counted from 1970, modulo 2^20) in the upper 20 bits, the lower 12 bits of
// `serial` below it, to tell apart the names of one minute.
uint32_t NewRecordTempTag(std::chrono::system_clock::time_point when, uint32_t serial);

struct TemporaryFile {
  std::string name;    // as listed: "QVX04591BAE.TMP", "msttmp"
  int64_t bytes = -1;  // -1 when it cannot be opened to tell
};
// The temporary files in the directory (ending in a backslash), by name.
std::vector<TemporaryFile> ListTemporaryFiles(const char* directory);

// Removes the directory's temporaries that no operation can still be writing
// (above). Every operation that changes master, a data file or
// EMASTER there calls it first; a temporary that cannot be removed, or a
// directory that cannot be listed, is left as it is.
void RemoveLeftoverTemporaries(const char* directory);

// Creates a new empty record temporary in the directory (ending in a
// backslash) under a name no file there has yet, the directory's leftover
// temporaries removed first; its name, or "" when none could be created.
std::string CreateRecordTempFile(const char* directory);

// Writes the bytes whole as temp, then lets temp take the file's place in one
// step; the temporary is removed when that fails. A stop half-way leaves the
// file as it was.
bool ReplaceWholeFile(const std::string& temp, const std::string& file, const std::vector<uint8_t>& bytes);

// The data files (F1.DAT ... F255.DAT, by name whatever its case) of the
// directory that its master does not list, by name: what an operation
// stopped between placing an instrument's files and listing them (create,
// copy, move, split) or between unlisting and removing them (delete) leaves.
std::vector<std::string> UnlistedDataFiles(const char* directory);
