#include "filelayer/file_layer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "filelayer/platform_file.h"
#include "primitives/brief_lock.h"

namespace {

constexpr uint32_t kCopyChunk = 32768;
constexpr int64_t kMaxTrackedLength = std::numeric_limits<int32_t>::max();

struct FileEntry {
  bool inUse = false;
  uint32_t referenceCount = 0;
  int32_t length = 0;
  std::string name;
  bool shareable = false;
  platform::FileRef platformHandle = nullptr;
  uint32_t recordSize = 0;
  int32_t mode = 0;
  bool temporary = false;  // the extra attributes
  bool shareMode = false;
  bool platformHandleOpen = false;
  bool accessed = false;
  // The file was replaced but its size could not be learnt yet; the next
  // operation that opens the platform handle learns it.
  bool lengthPending = false;
  // Held for an open that is asking the platform for the file (without
  // gTables held); nothing else uses the entry meanwhile.
  bool opening = false;
};

struct HandleEntry {
  bool inUse = false;
  int32_t position = 0;
  int32_t fileIndex = 0;
};

// Fixed tables, so that opening and closing never allocate (the name copy
// aside, and a block of file entries the first time an open reaches it: a
// process that opens a few files neither makes nor destroys thousands of
// entries).
constexpr int kFileBlock = 256;
std::unique_ptr<FileEntry[]> gFileBlocks[kMaxOpenHandles / kFileBlock];
HandleEntry gHandles[kMaxOpenHandles];

// An entry LowestFreeFile has reached.
FileEntry& FileAt(int index) {
  return gFileBlocks[index / kFileBlock][index % kFileBlock];
}

// Threads share the tables. gTables guards which entries are in use, their
// names, reference counts and the handles' links to them: every open, close
// and look-up. gFileLocks[i] guards what the operations on entry i change (its
// platform handle, length and marks) and the positions of its handles, so
// that two threads read two files at once. A handle is used by one thread at
// a time, and keeps its entry in use while an operation runs: the entry's
// lock is taken after gTables is let go, never both the other way round.
// gTables is held for a few look-ups at a time, by every open, close and
// operation of every thread: a brief lock.
BriefLock gTables;
std::mutex gFileLocks[kMaxOpenHandles];
// Told (under gTables) each time an entry's open has come to an end.
std::condition_variable_any gOpened;
// No free entry lies below these indexes, and no file entry in use at or
// above gFilesEnd: they keep opening a long run of handles from scanning the
// tables quadratically.
int gFirstFreeHandle = 0;
int gFirstFreeFile = 0;
int gFilesEnd = 0;

int LowestFreeHandle() {
  for (int i = gFirstFreeHandle; i < kMaxOpenHandles; ++i) {
    if (!gHandles[i].inUse) return i;
  }
  return -1;
}

int LowestFreeFile() {
  for (int i = gFirstFreeFile; i < kMaxOpenHandles; ++i) {
    std::unique_ptr<FileEntry[]>& block = gFileBlocks[i / kFileBlock];
    if (!block) {
      block.reset(new (std::nothrow) FileEntry[kFileBlock]);
      return block ? i : -1;
    }
    if (!block[i % kFileBlock].inUse) return i;
  }
  return -1;
}

int FindFile(const char* name) {
  for (int i = 0; i < gFilesEnd; ++i) {
    if (FileAt(i).inUse && FileAt(i).name == name) return i;
  }
  return -1;
}

// FindFile, once an open of the name under way on another thread has come to
// an end (it decides whether there is an entry to share).
int FindSettledFile(std::unique_lock<BriefLock>& tables, const char* name) {
  int found;
  while ((found = FindFile(name)) >= 0 && FileAt(found).opening) gOpened.wait(tables);
  return found;
}

// Frees the entry; the platform handle it held open (null when none), for
// the caller to close once gTables is let go.
platform::FileRef FreeFileEntry(int index) {
  FileEntry& entry = FileAt(index);
  const platform::FileRef open = entry.platformHandleOpen ? entry.platformHandle : nullptr;
  std::string().swap(entry.name);
  entry = FileEntry{};
  gFirstFreeFile = std::min(gFirstFreeFile, index);
  while (gFilesEnd > 0 && !FileAt(gFilesEnd - 1).inUse) --gFilesEnd;
  return open;
}

platform::OpenRequest RequestFor(int mode, bool share, bool temporary, platform::Creation creation) {
  platform::OpenRequest request;
  request.access = mode == 0 ? platform::Access::Read : platform::Access::ReadWrite;
  request.creation = creation;
  request.shareRead = share;
  request.temporary = temporary;
  return request;
}

// Opens the file of an entry being opened, with gTables let go meanwhile (the
// platform's open lists a directory or waits on the disk); false when the
// platform refuses. Files whose length does not fit the 32-bit tracked
// length are refused too. gTables is held again on return.
bool OpenNewEntry(std::unique_lock<BriefLock>& tables, int index, const char* name, int mode, int share,
                  uint32_t recordSize, int temporary) {
  tables.unlock();
  auto creation = mode == 2 ? platform::Creation::CreateAlways : platform::Creation::OpenExisting;
  platform::FileRef file = platform::Open(name, RequestFor(mode, share != 0, temporary != 0, creation));
  int64_t length = 0;
  if (file != nullptr && mode != 2) {
    length = platform::Size(file);
    if (length < 0 || length > kMaxTrackedLength) {
      platform::Close(file);
      file = nullptr;
    }
  }
  tables.lock();
  if (file == nullptr) return false;
  FileEntry& entry = FileAt(index);
  entry.opening = false;
  entry.referenceCount = 1;
  entry.length = static_cast<int32_t>(length);
  entry.shareable = share != 0;
  entry.platformHandle = file;
  entry.recordSize = recordSize;
  entry.mode = mode;
  entry.temporary = temporary != 0;
  entry.shareMode = share != 0;
  entry.platformHandleOpen = true;
  entry.accessed = mode == 2;
  entry.lengthPending = false;
  return true;
}

// A free entry and handle held for an open of a name while the platform
// opens the file: given back unless Keep is called, whatever ends the open
// (a refusal, or memory running out in the platform's open). Made and
// ended with gTables held, or the lock is taken again to end it.
class Reservation {
 public:
  Reservation(std::unique_lock<BriefLock>& tables, int index, int handle, const char* name)
      : tables_(tables), index_(index), handle_(handle) {
    FileEntry& entry = FileAt(index);
    entry.name = name;
    entry.inUse = true;
    entry.opening = true;
    gFilesEnd = std::max(gFilesEnd, index + 1);
    if (index == gFirstFreeFile) gFirstFreeFile = index + 1;
    gHandles[handle] = HandleEntry{true, 0, index};
    gFirstFreeHandle = handle + 1;
  }
  ~Reservation() {
    if (!tables_.owns_lock()) tables_.lock();
    if (!kept_) {
      FreeFileEntry(index_);  // an entry being opened holds no platform handle
      gHandles[handle_] = HandleEntry{};
      gFirstFreeHandle = std::min(gFirstFreeHandle, handle_);
    }
    gOpened.notify_all();
  }
  Reservation(const Reservation&) = delete;
  Reservation& operator=(const Reservation&) = delete;

  void Keep() { kept_ = true; }

 private:
  std::unique_lock<BriefLock>& tables_;
  int index_;
  int handle_;
  bool kept_ = false;
};

// Opens the platform handle again after a release; false when the platform
// refuses (the entry stays released, so the next operation tries again).
bool EnsurePlatformHandle(FileEntry& entry) {
  if (!entry.platformHandleOpen) {
    auto request = RequestFor(entry.mode, entry.shareMode, entry.temporary, platform::Creation::OpenExisting);
    platform::FileRef file = platform::Open(entry.name, request);
    if (file == nullptr) return false;
    entry.platformHandle = file;
    entry.platformHandleOpen = true;
  }
  if (entry.lengthPending) {
    int64_t size = platform::Size(entry.platformHandle);
    if (size >= 0 && size <= kMaxTrackedLength) {
      entry.length = static_cast<int32_t>(size);
      entry.lengthPending = false;
    }
  }
  return true;
}

void ReleasePlatformHandle(FileEntry& entry) {
  platform::Close(entry.platformHandle);
  entry.platformHandle = nullptr;
  entry.platformHandleOpen = false;
}

void RaiseLength(FileEntry& entry, int64_t end) {
  if (end > entry.length) entry.length = static_cast<int32_t>(end);
}

// With gTables held.
bool ValidLocked(FileHandle handle) {
  if (handle < 0 || handle >= kMaxOpenHandles || !gHandles[handle].inUse) return false;
  const int32_t fileIndex = gHandles[handle].fileIndex;
  return fileIndex >= 0 && fileIndex < kMaxOpenHandles && FileAt(fileIndex).inUse &&
         !FileAt(fileIndex).opening;
}

// The entry of a handle found valid, locked for one operation.
class Locked {
 public:
  explicit Locked(FileHandle handle) : handle_(handle) {
    {
      std::lock_guard tables(gTables);
      if (ValidLocked(handle)) index_ = gHandles[handle].fileIndex;
    }
    if (index_ >= 0) lock_ = std::unique_lock(gFileLocks[index_]);
  }
  explicit operator bool() const { return index_ >= 0; }
  FileEntry& File() const { return FileAt(index_); }
  HandleEntry& Slot() const { return gHandles[handle_]; }

 private:
  FileHandle handle_;
  int index_ = -1;
  std::unique_lock<std::mutex> lock_;
};

}  // namespace

FileHandle SOpenFile(const char* name, int mode, int share, uint32_t recordSize, int temporary) {
  std::unique_lock tables(gTables);
  if (name == nullptr) name = "";
  const int found = FindSettledFile(tables, name);
  const int handle = LowestFreeHandle();
  if (handle < 0) return kNoFreeHandle;
  if (found >= 0 && !FileAt(found).shareable) return kOpenRefused;
  if (found >= 0) {
    if (mode < 0 || mode > 2) return kNoFreeHandle;
    if (mode != 0) return kOpenRefused;
    ++FileAt(found).referenceCount;
    gHandles[handle] = HandleEntry{true, 0, found};
    gFirstFreeHandle = handle + 1;
    return handle;
  }
  const int fileIndex = LowestFreeFile();
  if (fileIndex < 0) return kNoFreeFileEntry;
  if (mode < 0 || mode > 2) return kNoFreeHandle;
  Reservation reservation(tables, fileIndex, handle, name);
  if (!OpenNewEntry(tables, fileIndex, name, mode, share, recordSize, temporary))
    return mode == 0 ? kOpenRefused : kPlatformOpenFailed;
  reservation.Keep();
  return handle;
}

FileHandle SCloseFile(FileHandle handle) {
  platform::FileRef closing = nullptr;
  {
    std::lock_guard tables(gTables);
    if (!ValidLocked(handle)) return kClosedHandle;
    HandleEntry& entry = gHandles[handle];
    const int fileIndex = entry.fileIndex;
    entry = HandleEntry{};
    gFirstFreeHandle = std::min(gFirstFreeHandle, static_cast<int>(handle));
    // No other handle is left to use the entry: the system closes its file
    // once the tables are let go (before this returns, so that an open begun
    // after it finds the file closed).
    if (--FileAt(fileIndex).referenceCount == 0) closing = FreeFileEntry(fileIndex);
  }
  if (closing != nullptr) platform::Close(closing);
  return kClosedHandle;
}

int ValidFile(FileHandle handle) {
  std::lock_guard tables(gTables);
  return ValidLocked(handle) ? 1 : 0;
}

int ReadRecord(FileHandle handle, void* buffer, int advance) {
  const Locked locked(handle);
  if (!locked) return 0;
  HandleEntry& slot = locked.Slot();
  FileEntry& file = locked.File();
  if (int64_t{slot.position} + file.recordSize > file.length) return 0;
  if (!EnsurePlatformHandle(file)) return 0;
  file.accessed = true;
  if (platform::ReadAt(file.platformHandle, buffer, file.recordSize, slot.position) != file.recordSize)
    return 0;
  if (advance) slot.position += static_cast<int32_t>(file.recordSize);
  return 1;
}

int WriteRecord(FileHandle handle, const void* buffer, int advance) {
  const Locked locked(handle);
  if (!locked) return 0;
  HandleEntry& slot = locked.Slot();
  FileEntry& file = locked.File();
  const int64_t end = int64_t{slot.position} + file.recordSize;
  if (end > kMaxTrackedLength) return 0;
  if (!EnsurePlatformHandle(file)) return 0;
  file.accessed = true;
  const int64_t put = platform::WriteAt(file.platformHandle, buffer, file.recordSize, slot.position);
  if (put > 0) RaiseLength(file, slot.position + put);
  if (put != file.recordSize) return 0;
  if (advance) slot.position = static_cast<int32_t>(end);
  return 1;
}

int ReadBlock(FileHandle handle, void* buffer, uint32_t count, int32_t offset, int advance) {
  const Locked locked(handle);
  if (!locked) return 0;
  FileEntry& file = locked.File();
  if (int64_t{offset} + count > file.length) return 0;
  if (!EnsurePlatformHandle(file)) return 0;
  file.accessed = true;
  if (platform::ReadAt(file.platformHandle, buffer, count, offset) != count) return 0;
  if (advance) locked.Slot().position = static_cast<int32_t>(int64_t{offset} + count);
  return 1;
}

int WriteBlock(FileHandle handle, const void* buffer, uint32_t count, int32_t offset, int advance) {
  const Locked locked(handle);
  if (!locked) return 0;
  FileEntry& file = locked.File();
  const int64_t end = int64_t{offset} + count;
  if (end > kMaxTrackedLength) return 0;
  if (!EnsurePlatformHandle(file)) return 0;
  file.accessed = true;
  const int64_t put = platform::WriteAt(file.platformHandle, buffer, count, offset);
  if (put > 0) RaiseLength(file, offset + put);
  if (put != count) return 0;
  if (advance) locked.Slot().position = static_cast<int32_t>(end);
  return 1;
}

int32_t SSeek(FileHandle handle, int32_t distance, int origin) {
  const Locked locked(handle);
  if (!locked) return -1;
  HandleEntry& slot = locked.Slot();
  FileEntry& file = locked.File();
  if (!EnsurePlatformHandle(file)) return -1;
  file.accessed = true;
  int64_t base = -1;
  switch (origin) {
    case 0:
      base = 0;
      break;
    case 1:
      base = slot.position;
      break;
    case 2:
      base = platform::Size(file.platformHandle);
      break;
    default:
      break;
  }
  const int64_t target = base + distance;
  // Like SetFilePointer, no position before the start; and none that the
  // 32-bit position could not hold.
  if (base < 0 || target < 0 || target > kMaxTrackedLength) {
    slot.position = -1;
    return -1;
  }
  slot.position = static_cast<int32_t>(target);
  return slot.position;
}

int32_t FileLength(FileHandle handle) {
  const Locked locked(handle);
  return locked ? locked.File().length : 0;
}

int STruncateFile(FileHandle handle, int32_t length) {
  const Locked locked(handle);
  if (!locked) return 0;
  FileEntry& file = locked.File();
  if (!EnsurePlatformHandle(file)) return 0;
  file.accessed = true;
  if (!platform::Truncate(file.platformHandle, length)) return 0;
  file.length = length;
  file.lengthPending = false;
  return 1;
}

void CopyFromRecord(FileHandle source, FileHandle destination, int32_t record, int skip, int advance) {
  int fromIndex = -1, toIndex = -1;
  {
    std::lock_guard tables(gTables);
    if (!ValidLocked(source) || !ValidLocked(destination)) return;
    fromIndex = gHandles[source].fileIndex;
    toIndex = gHandles[destination].fileIndex;
  }
  // Both entries' locks at once (one when the handles share an entry), in an
  // order that two copies the other way round cannot deadlock on.
  std::unique_lock<std::mutex> first(gFileLocks[std::min(fromIndex, toIndex)]);
  std::unique_lock<std::mutex> second;
  if (fromIndex != toIndex) second = std::unique_lock(gFileLocks[std::max(fromIndex, toIndex)]);
  FileEntry& from = FileAt(fromIndex);
  FileEntry& to = FileAt(toIndex);
  if (!EnsurePlatformHandle(from) || !EnsurePlatformHandle(to)) return;
  from.accessed = true;
  to.accessed = true;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunk]);
  if (!buffer) return;

  const int64_t start = (int64_t{record} + (skip ? 1 : 0)) * from.recordSize;
  const int64_t at = gHandles[destination].position;
  // Copying a file into itself would read its own output for ever; stop at
  // the end it had when the copy began.
  int64_t limit = -1;
  if (&from == &to) {
    limit = platform::Size(from.platformHandle);
    if (limit < 0) return;
  }
  int64_t copied = 0;
  for (;;) {
    uint32_t want = kCopyChunk;
    if (limit >= 0)
      want = static_cast<uint32_t>(std::clamp<int64_t>(limit - (start + copied), 0, kCopyChunk));
    if (want == 0) break;
    const int64_t got = platform::ReadAt(from.platformHandle, buffer.get(), want, start + copied);
    if (got <= 0 || at + copied + got > kMaxTrackedLength) break;
    const int64_t put =
        platform::WriteAt(to.platformHandle, buffer.get(), static_cast<uint32_t>(got), at + copied);
    if (put > 0) copied += put;
    if (put != got) break;
  }
  if (copied > 0) RaiseLength(to, at + copied);
  if (advance) {
    for (FileHandle handle : {source, destination}) {
      HandleEntry& slot = gHandles[handle];
      slot.position = static_cast<int32_t>(std::min(slot.position + copied, kMaxTrackedLength));
    }
  }
}

int SUpdateFile(FileHandle handle, const char* replacementName) {
  if (replacementName == nullptr) return 0;
  const Locked locked(handle);
  if (!locked) return 0;
  FileEntry& file = locked.File();
  // Windows will not replace a file that is open, not even by this process.
  if (file.platformHandleOpen) ReleasePlatformHandle(file);
  if (!platform::ReplaceFileWith(replacementName, file.name)) {
    EnsurePlatformHandle(file);
    return 0;
  }
  file.lengthPending = true;
  file.accessed = true;
  EnsurePlatformHandle(file);
  return 1;
}

int ReleaseHandle(FileHandle handle) {
  const Locked locked(handle);
  if (!locked) return 0;
  FileEntry& file = locked.File();
  if (!file.platformHandleOpen) return 0;
  ReleasePlatformHandle(file);
  return 1;
}

int FileAccessed(FileHandle handle) {
  const Locked locked(handle);
  return locked && locked.File().accessed ? 1 : 0;
}

void ClearFileAccess(FileHandle handle) {
  const Locked locked(handle);
  if (locked) locked.File().accessed = false;
}

int Exists(const char* fileName) {
  return fileName != nullptr && platform::CanOpenForReading(fileName) ? 1 : 0;
}

int IsValidPath(const char* directory) {
  if (directory == nullptr) return 0;
  // Any listable directory holds at least ".", which the search finds.
  return platform::ListDirectory(directory, [](const platform::DirectoryEntry&) { return false; }) ? 1 : 0;
}

int FileNameToPath(char* out, const char* fileName) {
  if (out == nullptr || fileName == nullptr) return 0;
  const char* last = std::strrchr(fileName, '\\');
  if (last == nullptr) return 0;
  const size_t length = static_cast<size_t>(last - fileName) + 1;
  std::memmove(out, fileName, length);
  out[length] = '\0';
  return 1;
}

int IsFileOpen(const char* name) {
  std::unique_lock tables(gTables);
  return name != nullptr && FindSettledFile(tables, name) >= 0 ? 1 : 0;
}

std::string NativePath(const char* name) {
  return name != nullptr ? platform::NativePath(name) : std::string();
}
