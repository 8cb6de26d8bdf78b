// Files held in memory, behind the same platform calls as the system's: the
// sharing rules between opens, names matched without regard to case, '\' and
// '/' both separating components, read-only files left alone, and the same
// injected faults (applied in front of every backend). Tests and fuzzing run
// the program on it without touching a disk.
//
// It can also stop the program: after the nth call that changes a file or a
// directory, the files are as a kill at that moment leaves them (a process
// stop: every change made so far is in the files, none after), and every later
// call fails, as nothing more reaches the files. Restart then lets a next run
// see what the stop left.
//
// Changing calls: an open that creates or empties a file, a write, a
// truncation, a removal, a rename, a replacement, a copy (two changes: the
// destination made holding the first half of the bytes, then the rest), a new
// directory and a new file; counted when they change something.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filelayer/platform_backend.h"

namespace platform {

class MemoryFileSystem {
 public:
  using Bytes = std::vector<uint8_t>;

  MemoryFileSystem();
  ~MemoryFileSystem();
  MemoryFileSystem(const MemoryFileSystem&) = delete;
  MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

  // The contents, set and read directly (no fault, no stop, no change
  // counted). Names are core names; a directory text may end in a separator.
  // Directories on the way are made as needed.
  void MakeDirectories(const std::string& directory);
  void WriteFile(const std::string& name, Bytes bytes);
  std::optional<Bytes> ReadFile(const std::string& name) const;
  // The file's bytes as held, without a copy: valid until the next call; null
  // when there is no such file.
  const Bytes* FileBytes(const std::string& name) const;
  void SetReadOnly(const std::string& name, bool readOnly);
  // When a file was last written (set by every change, the clock's seconds).
  void SetModifiedTime(const std::string& name, int64_t seconds);
  bool IsReadOnly(const std::string& name) const;
  // Every file and directory below the directory, by its path relative to it
  // ('/' between components, names as stored, a directory's ending in '/'
  // with no bytes).
  std::map<std::string, Bytes> Below(const std::string& directory) const;

  // Stops after the nth changing call from now (0: never).
  void StopAfterChanges(int nth);
  // Changing calls made since this file system was made.
  int Changes() const {
    const std::lock_guard lock(lock_);
    return changes_;
  }
  bool Stopped() const {
    const std::lock_guard lock(lock_);
    return stopped_;
  }
  // After a stop: the next run. Handles of the stopped run may still be
  // closed.
  void Restart() {
    const std::lock_guard lock(lock_);
    stopped_ = false;
  }

  // The platform calls (platform_file.h), with no fault injected.
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

 private:
  struct Entry {
    std::string path;  // as stored: each component in the case it was made with
    bool directory = false;
    bool readOnly = false;
    uint64_t id = 0;
    int64_t modified = 0;  // seconds since 1970
    Bytes bytes;

    void Touch();
  };
  // Orders names as their lower-case forms: a name finds its entry in any
  // case, without a lower-case copy being made.
  struct KeyLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  struct OpenFile;
  struct Name;

  // Takes the name apart into scratch, which the result refers to.
  Name Parse(std::string_view text, std::string& scratch) const;
  Entry* Find(const Name& name);
  const Entry* Find(const Name& name) const;
  Entry* FindFile(const std::string& name);
  bool ParentExists(const Name& name) const;
  // The path a new entry of the name takes: its parent's as stored, its own as given.
  std::string StoredPath(const Name& name) const;
  // The name must be free.
  Entry& Add(const Name& name, bool directory);
  // Makes those of the name's first count components' directories that are missing.
  void AddDirectories(const Name& name, size_t count);
  bool SharingAllows(uint64_t id, bool read, bool write, bool shareRead, bool shareWrite) const;
  bool HeldOpen(uint64_t id) const;
  // Counts a change that was made; the run stops with the nth.
  void Changed();

  // By the name each was made with, matched without regard to case; a map
  // node keeps its entry in place while the entry is open or renamed.
  std::map<std::string, Entry, KeyLess> entries_;
  std::vector<OpenFile*> open_;
  // Every call holds it (a listing's visits aside): threads may share the
  // file system.
  mutable std::mutex lock_;
  // Where the names of a call are taken apart, and the listing ListDirectory lends.
  mutable std::string scratch_[2];
  std::vector<DirectoryEntry> listing_;
  uint64_t nextId_ = 1;
  int changes_ = 0;
  int stopAt_ = 0;
  bool stopped_ = false;
};

// While it lives, every platform call of this process goes to the memory file
// system. Made and ended while no file is open.
class MemoryFileSystemInUse {
 public:
  explicit MemoryFileSystemInUse(MemoryFileSystem& memory) { detail::UseMemoryFileSystem(&memory); }
  ~MemoryFileSystemInUse() { detail::UseMemoryFileSystem(nullptr); }
  MemoryFileSystemInUse(const MemoryFileSystemInUse&) = delete;
  MemoryFileSystemInUse& operator=(const MemoryFileSystemInUse&) = delete;
};

}  // namespace platform
