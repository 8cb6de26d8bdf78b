// The one place the portable core meets the operating system. Two backends
// implement it: platform_file_win32.cpp (CreateFileA & co.) and
// platform_file_posix.cpp, which emulates the Windows behaviour the layer relies
// on: read sharing between entries, names matched without regard to case, and
// '\' accepted as a path separator.
//
// Paths are the core's texts: directory texts end in a backslash and file names
// are formed by appending. The POSIX backend maps '\' to '/'.
#pragma once

#include <cstdint>
#include <functional>
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

// Null on failure.
FileRef Open(const std::string& name, const OpenRequest& request);
void Close(FileRef file);
// Byte counts actually moved; -1 on failure.
int64_t ReadAt(FileRef file, void* buffer, uint32_t count, int64_t offset);
int64_t WriteAt(FileRef file, const void* buffer, uint32_t count, int64_t offset);
// Size in bytes, or -1.
int64_t Size(FileRef file);
bool Truncate(FileRef file, int64_t length);

// Opened for reading with read and write sharing, closed at once.
bool CanOpenForReading(const std::string& name);
bool RemoveFile(const std::string& name);
// Fails when the destination exists.
bool RenameFile(const std::string& from, const std::string& to);
// Replaces destination with source in one step (MoveFileEx with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH / rename(2)); the old
// destination stays whole if it fails.
bool ReplaceFileWith(const std::string& source, const std::string& destination);
// Fails when the destination exists if failIfExists.
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
bool MakeDirectory(const std::string& path);

struct DirectoryEntry {
  std::string name;  // as stored, case kept; "." and ".." are not reported
  bool isDirectory = false;
};
// Calls visit for each entry of the directory text (which ends in a separator);
// false when the directory cannot be listed. visit returns false to stop.
bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit);

// Creates a new empty file with a unique name in the directory text (which
// ends in a separator), exclusively (never an existing file), and returns its
// full name; empty on failure.
std::string CreateUniqueFile(const std::string& directory, const std::string& prefix);

// Fault injection for tests: the nth call (1-based, counted from this call) of
// the kind fails as the platform would. Reset clears every pending fault.
enum class Call { Open, Read, Write, Truncate, Rename, Delete, Copy, CreateDirectory };
void FailNthCall(Call kind, int nth);
void ResetFaults();
// Calls of the kind made since the last ResetFaults (for sizing fault loops).
int CallCount(Call kind);

}  // namespace platform
