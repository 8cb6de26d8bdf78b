// The names of the files of a data directory, formed here and nowhere else:
// master and the index files EMASTER and XMASTER beside it, the instrument
// files F<n>.DAT, F<n>.DOP and F<n>.CHT, the data files F<n>.MWD of the
// instruments XMASTER lists, and the temporary files that stand in for master
// and for a data file while they are rewritten. A directory text ends in a
// backslash; each name is the directory text with the file's own name
// appended.
//
// Letter case: on disk, names in a data directory are matched without regard
// to case. Windows does so itself; the POSIX backend resolves every name to
// the entry that exists whatever its case (platform_file.h). The open-file
// table compares name texts byte for byte (file_layer.h), so every part of the
// program spells a file as this module does, and opens of one file share its
// entry. The spellings are the ones the program has always written: "master"
// and "msttmp" in lower case, everything else in capitals. Real data
// directories have MASTER and F1.DAT, which the same names reach.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The files of an instrument: DAT, DOP and CHT for those master lists, MWD
// (records laid out as in a DAT file) for those XMASTER lists.
enum class InstrumentFile { DAT, DOP, CHT, MWD };

// "%smaster".
std::string MasterFileName(const char* directory);
// "%smsttmp": the new master while instruments are removed.
std::string MasterTempFileName(const char* directory);
// "%semsttmp": the new EMASTER while it follows a change of master.
std::string EmasterTempFileName(const char* directory);
// "%sEMASTER" and "%sXMASTER".
std::string EmasterFileName(const char* directory);
std::string XmasterFileName(const char* directory);
// "%sF%d.DAT", "%sF%d.DOP", "%sF%d.CHT" and "%sF%d.MWD" for the file number.
std::string InstrumentFileName(const char* directory, int fileNumber, InstrumentFile file);
inline std::string DATFileName(const char* directory, int fileNumber) {
  return InstrumentFileName(directory, fileNumber, InstrumentFile::DAT);
}
inline std::string DOPFileName(const char* directory, int fileNumber) {
  return InstrumentFileName(directory, fileNumber, InstrumentFile::DOP);
}
inline std::string MWDFileName(const char* directory, int fileNumber) {
  return InstrumentFileName(directory, fileNumber, InstrumentFile::MWD);
}
// "%sQVX%08X.TMP": a data file being rewritten by a record operation, for a
// tag that makes the name unique in its directory (temporary_files.h).
std::string RecordTempFileName(const char* directory, uint32_t tag);
// The tag of a name listed in a directory that has the form of
// RecordTempFileName's, whatever its case ("QVX" and eight hex digits, then
// ".TMP"); nothing for any other name.
std::optional<uint32_t> RecordTempTag(std::string_view name);
// Whether a name listed in a directory is one of the temporary files above
// (msttmp, emsttmp or a record operation's), whatever its case.
bool IsTemporaryFileName(std::string_view name);

// The number n of a name listed in a directory that reads "F<n>" and then the
// extension (".DAT", ".MWD"), whatever its case: n of one to four digits
// without a leading zero; nothing for any other name.
std::optional<int> NumberedFileNumber(std::string_view name, std::string_view extension);

// Whether a name listed in a directory is master's, whatever its case.
bool IsMasterFileName(std::string_view name);
