// What lies behind platform_file.h: the operating system's files
// (platform_file_posix.cpp or platform_file_win32.cpp, in namespace os) or a
// MemoryFileSystem in use. platform_file.cpp applies the injected faults once,
// in front of whichever answers; the backends themselves never fail a call on
// purpose.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "filelayer/platform_file.h"

namespace platform {

// An open file of any backend; each backend derives its own and is given back
// only its own.
struct File {
  virtual ~File() = default;
  // Opened sharing no reading (kept by platform_file.cpp, for ListingScope).
  bool sharesNoReading = false;
};

class MemoryFileSystem;

namespace os {

FileRef Open(const std::string& name, const OpenRequest& request);
void Close(FileRef file);
int64_t ReadAt(FileRef file, void* buffer, uint32_t count, int64_t offset);
int64_t WriteAt(FileRef file, const void* buffer, uint32_t count, int64_t offset);
int64_t Size(FileRef file);
bool Truncate(FileRef file, int64_t length);
bool CanOpenForReading(const std::string& name);
std::optional<int64_t> ModifiedTime(const std::string& name);
bool RemoveFile(const std::string& name);
bool RenameFile(const std::string& from, const std::string& to);
bool ReplaceFileWith(const std::string& source, const std::string& destination);
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
bool MakeDirectory(const std::string& path);
bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit);
std::optional<DirectoryId> IdentifyDirectory(const std::string& directory);
NewFile CreateNewFile(const std::string& name);

}  // namespace os

namespace detail {

// The memory file system every call goes to from now on, or null for the
// operating system's files. Changed only while no file is open.
void UseMemoryFileSystem(MemoryFileSystem* memory);

}  // namespace detail

}  // namespace platform
