// The one place the portable core meets the operating system. Two backends
// implement it: platform_file_win32.cpp (CreateFileA & co.) and
// platform_file_posix.cpp, which emulates the Windows behaviour the layer relies
// on: the sharing rules of CreateFileA between opens of this process, names
// matched without regard to case, '\' accepted as a path separator, and files
// that are read-only left alone.
//
// Paths are the core's texts: directory texts end in a backslash and file names
// are formed by appending. The POSIX backend maps '\' to '/' and resolves each
// component of a name to the existing entry whatever its case. A backslash
// inside a POSIX name belongs to that name: the backend lists it as U+F05C
// (kNameBackslash), a character Windows names do not use, and turns that
// character in a component back into '\'.
//
// Read-only: under Windows, the file's read-only attribute. Under POSIX, a
// file with no write permission bit at all, or one that this process may not
// write (access(W_OK)). Both backends check it themselves, so that a process
// which the system would let write anyway (root, or Wine run by root) keeps to
// the rules below all the same.
//
// Every function reports failure by its result only; nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

struct File;  // an open platform file; opaque
using FileRef = File*;

enum class Access { Read, ReadWrite };
enum class Creation { OpenExisting, CreateAlways };

struct OpenRequest {
  Access access = Access::Read;
  Creation creation = Creation::OpenExisting;
  bool shareRead = true;   // FILE_SHARE_READ when set, else no sharing
  bool temporary = false;  // FILE_ATTRIBUTE_TEMPORARY
};

// Null on failure: missing file (OpenExisting), a directory, an open that the
// sharing rules refuse because another open holds the file, or a read-only file
// opened for writing or by CreateAlways. CreateAlways empties an existing file
// (the one whose name matches whatever its case) and leaves it untouched when
// the open is refused. The caller owns the result and gives it back with Close.
FileRef Open(const std::string& name, const OpenRequest& request);
void Close(FileRef file);
// Byte counts actually moved (fewer than count only at the end of the file);
// -1 on failure, including a negative offset. Writing beyond the end extends
// the file, the gap reading as zeros.
int64_t ReadAt(FileRef file, void* buffer, uint32_t count, int64_t offset);
int64_t WriteAt(FileRef file, const void* buffer, uint32_t count, int64_t offset);
// Size in bytes, or -1.
int64_t Size(FileRef file);
// Cuts or extends (with zeros) the file to length; false for a negative length.
bool Truncate(FileRef file, int64_t length);

// Opened for reading with read and write sharing, closed at once. False for a
// directory.
bool CanOpenForReading(const std::string& name);
// When the file was last written, in seconds since 1970 (UTC); nothing for a
// directory or a file that is not there.
std::optional<int64_t> ModifiedTime(const std::string& name);
// Fails for a directory, a file that is open and a read-only file.
bool RemoveFile(const std::string& name);
// Moves a file or directory (as MoveFileA). Fails when the destination exists,
// unless it is the source itself under another letter case (a rename that only
// changes case), and when the source file is open. A read-only file moves, and
// stays read-only.
bool RenameFile(const std::string& from, const std::string& to);
// Replaces destination with source in one step (MoveFileEx with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH / rename(2)); the old
// destination stays whole if it fails. Fails when either file is open, when
// the destination is read-only, and when the two lie on different volumes. A
// read-only source takes the destination's place and stays read-only.
bool ReplaceFileWith(const std::string& source, const std::string& destination);
// Fails when the destination exists if failIfExists, when the destination is
// open, read-only or the source itself, and when the source is open without
// sharing (a source that another open is writing, sharing read, is copied).
// A new copy of a read-only file is read-only; a destination that existed
// keeps its own state.
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
// Fails when anything of that name (whatever its case) exists already.
bool MakeDirectory(const std::string& path);

struct DirectoryEntry {
  std::string name;  // as stored, case kept; "." and ".." are not reported
  bool isDirectory = false;
};
// Calls visit for each entry of the directory text (which ends in a separator;
// "" is the current directory); false when the directory cannot be listed.
// visit returns false to stop.
bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit);

// While one lives, its thread's questions about the names of one directory
// are answered from a single listing of it, made on the first question: a
// name given as the directory text (as given here) followed by a name with no
// separator. ListDirectory of that text visits the listing; a name not listed
// (whatever its case) is missing at once to Open, CanOpenForReading and
// ModifiedTime, and a listed one is opened under its listed spelling.
// CanOpenForReading answers a listed file true without opening it, unless
// this process holds a file open sharing no reading (then the file is asked
// as without a scope). Every call through this layer that makes, removes or
// renames a file or directory, from any thread, has the next question list
// the directory again; what other programs change meanwhile may go unseen, so
// a scope spans one pass over a directory. A directory that cannot be listed
// leaves every question to the system. Injected faults apply as without a
// scope; its own listings are not counted. Scopes nest (one for a directory
// that an outer scope already covers does nothing).
class ListingScope {
 public:
  explicit ListingScope(std::string directory);
  ~ListingScope();
  ListingScope(const ListingScope&) = delete;
  ListingScope& operator=(const ListingScope&) = delete;

  // Has every scope list its directory again before its next answer: for a
  // question that must see the directory as it is at this moment.
  static void Forget();

  struct Listing;  // platform_file.cpp

 private:
  friend struct ScopeAccess;
  std::string directory_;
  bool active_ = false;
  ListingScope* outer_ = nullptr;
  std::shared_ptr<const Listing> listing_;
};

// What makes a directory itself, whichever name or link leads to it: the
// volume and the directory's number on it (st_dev and st_ino; the volume
// serial number and file index).
struct DirectoryId {
  uint64_t volume = 0;
  uint64_t index = 0;
  auto operator<=>(const DirectoryId&) const = default;
};
// The directory that the text (a directory text, links followed) leads to;
// nothing when it is not a directory or cannot be identified.
std::optional<DirectoryId> IdentifyDirectory(const std::string& directory);

// How the POSIX backend lists a backslash inside a name (U+F05C in UTF-8).
inline constexpr char kNameBackslash[] = "\xEF\x81\x9C";
// The text the system itself takes for a core name: under POSIX with '/' for
// each '\' and '\' for each kNameBackslash; under Windows the name unchanged.
std::string NativePath(const std::string& name);

// Creates a new empty file, exclusively: an existing file is never opened or
// emptied. Exists when a file or directory of that name is there already,
// whatever its letter case; Failed for any other failure (a missing directory,
// no rights).
enum class NewFile { Created, Exists, Failed };
NewFile CreateNewFile(const std::string& name);

// Fault injection for tests: the nth call (1-based, counted from this call) of
// the kind fails as the platform would, doing nothing. Several faults may be
// pending at once. ResetFaults clears every pending fault and the counts.
//   Open: Open, CanOpenForReading, CreateNewFile; Read: ReadAt;
//   Write: WriteAt; Truncate: Truncate; Rename: RenameFile, ReplaceFileWith;
//   Delete: RemoveFile; Copy: CopyFileTo; CreateDirectory: MakeDirectory;
//   Size: Size, ModifiedTime; List: ListDirectory, IdentifyDirectory.
enum class Call { Open, Read, Write, Truncate, Rename, Delete, Copy, CreateDirectory, Size, List };
void FailNthCall(Call kind, int nth);
// The nth WriteAt call (counted with the Write calls, from this call) meets a
// full disk with `bytes` bytes free: what lands inside the file as it is
// stored, and at most `bytes` beyond its end; the call returns the count
// stored, as such a write does. ResetFaults clears it too.
void ShortenNthWrite(int nth, uint32_t bytes);
void ResetFaults();
// Calls of the kind made since the last ResetFaults (for sizing fault loops).
// Calls are counted from the first use of any of the four calls above on.
int CallCount(Call kind);

}  // namespace platform
