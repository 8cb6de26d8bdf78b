// POSIX backend. Data directories come from Windows, and the layer above was
// built on Windows' file semantics, so this backend reproduces the parts that
// matter: the names of a directory are matched without regard to case, '\'
// separates components, opens of one file within this process follow
// CreateFileA's sharing rules, whatever name text reached the file, and a
// read-only file is neither written, replaced nor deleted.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "filelayer/platform_backend.h"
#include "filelayer/platform_file.h"
#include "primitives/brief_lock.h"
#include "primitives/text_fields.h"

namespace platform {

namespace {

// Every open reads; none shares writing.
struct PosixFile final : File {
  PosixFile(int descriptor, const struct stat& info, bool writes, bool sharesReading)
      : fd(descriptor),
        device(info.st_dev),
        inode(info.st_ino),
        canWrite(writes),
        shareRead(sharesReading),
        sizeAtOpen(info.st_size) {}
  int fd;
  dev_t device;
  ino_t inode;
  bool canRead = true;
  bool canWrite;
  bool shareRead;
  bool shareWrite = false;
  // The size the open's own fstat saw, for the Size call that follows an
  // open (the open-file table asks at once); -1 once used, or once the file
  // was written or truncated through this handle.
  int64_t sizeAtOpen;
};

PosixFile* Posix(FileRef file) {
  return static_cast<PosixFile*>(file);
}

// Every platform file this process holds open, for the sharing rules.
std::vector<PosixFile*>& OpenFiles() {
  static std::vector<PosixFile*> files;
  return files;
}

// Held while OpenFiles is read or changed, and from the sharing rules' answer
// to the change it allows, so that two threads cannot both be let in.
BriefLock& SharingLock() {
  static BriefLock lock;
  return lock;
}

struct Wanted {
  bool read = false;
  bool write = false;
  bool shareRead = false;
  bool shareWrite = false;
};

bool SameFile(const PosixFile& file, const struct stat& info) {
  return file.device == info.st_dev && file.inode == info.st_ino;
}

// CreateFileA's rule: every existing open must share what the new one wants to
// do, and the new one must share what every existing open does.
bool SharingAllows(const struct stat& target, const Wanted& wanted) {
  for (const PosixFile* held : OpenFiles()) {
    if (!SameFile(*held, target)) continue;
    if ((wanted.read && !held->shareRead) || (wanted.write && !held->shareWrite)) return false;
    if ((held->canRead && !wanted.shareRead) || (held->canWrite && !wanted.shareWrite)) return false;
  }
  return true;
}

bool HeldOpen(const struct stat& target) {
  return std::any_of(OpenFiles().begin(), OpenFiles().end(),
                     [&](const PosixFile* held) { return SameFile(*held, target); });
}

// Windows refuses to write, replace or delete a file whose read-only attribute
// is set; rename(2) and unlink(2) ask only the directory, and root may write
// anything, so the file's own permission is checked here.
bool ReadOnly(const std::string& path, const struct stat& info) {
  return S_ISREG(info.st_mode) &&
         ((info.st_mode & 0222) == 0 || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0);
}

// A directory's entries, read with getdents64 into a buffer each thread
// keeps: opendir allocates 32 KiB for every directory it opens, and a scan
// lists thousands, on several threads at once. One reader at a time a thread.
class DirectoryReader {
 public:
  explicit DirectoryReader(const std::string& path)
      : fd_(open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~DirectoryReader() {
    if (fd_ >= 0) close(fd_);
  }
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  bool Opened() const { return fd_ >= 0; }
  // The next entry ("." and ".." included), or null at the end.
  const dirent64* Next() {
    if (at_ >= filled_) {
      const ssize_t got = getdents64(fd_, Buffer(), kBufferSize);
      if (got <= 0) return nullptr;
      filled_ = static_cast<size_t>(got);
      at_ = 0;
    }
    const auto* entry = reinterpret_cast<const dirent64*>(Buffer() + at_);
    at_ += entry->d_reclen;
    return entry;
  }

 private:
  static constexpr size_t kBufferSize = 32768;
  static char* Buffer() {
    alignas(alignof(dirent64)) static thread_local char buffer[kBufferSize];
    return buffer;
  }
  int fd_;
  size_t filled_ = 0;
  size_t at_ = 0;
};

bool Exists(const std::string& path, struct stat* info = nullptr) {
  struct stat local;
  return lstat(path.c_str(), info ? info : &local) == 0;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
  return upper;
}

// The entry of directory (a native path, "" for the current directory) whose
// name matches name whatever its case; the smallest in byte order when several
// do, so that the choice is stable. Empty when none does.
std::string FindNoCase(const std::string& directory, std::string_view name) {
  // The name in capitals, as Windows programs write them, is the smallest
  // case variant in byte order: when it exists, the search would pick it.
  std::string upper = UpperAscii(name);
  if (Exists(directory + upper)) return upper;
  DirectoryReader dir(directory);
  if (!dir.Opened()) return {};
  std::string best;
  while (const dirent64* entry = dir.Next()) {
    std::string_view candidate(entry->d_name);
    if (EqualNoCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
  }
  return best;
}

struct Resolved {
  std::string path;     // every existing component in its stored case
  std::string literal;  // the same, but the last component as the caller spelt it
};

// A core name taken apart as NativePath reads it; empty components are
// dropped.
struct NameParts {
  std::vector<std::string> parts;
  bool absolute = false;
  bool trailingSeparator = false;

  explicit NameParts(const std::string& name) {
    const std::string text = NativePath(name);
    trailingSeparator = !text.empty() && text.back() == '/';
    absolute = !text.empty() && text.front() == '/';
    std::string_view rest(text);
    while (!rest.empty()) {
      size_t slash = rest.find('/');
      std::string_view part = rest.substr(0, slash);
      if (!part.empty()) parts.emplace_back(part);
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
  }
  // The first count components as spelt, joined; the native path of the name
  // when every component exists as spelt.
  std::string Joined(size_t count) const {
    std::string joined = absolute ? "/" : "";
    for (size_t i = 0; i < count; ++i) {
      joined += parts[i];
      if (i + 1 < parts.size() || trailingSeparator) joined += '/';
    }
    return joined;
  }
};

// The native path of a name whose components all exist as spelt, which is
// then also what Resolve gives; the common case, tried first by the opens.
std::string Spelt(const std::string& name) {
  // Most names need only their separators turned: no kNameBackslash, no
  // empty component.
  if (name.find(kNameBackslash[0]) == std::string::npos) {
    std::string native(name);
    bool emptyComponent = false;
    for (size_t i = 0; i < native.size(); ++i) {
      if (native[i] != '\\' && native[i] != '/') continue;
      native[i] = '/';
      emptyComponent = emptyComponent || (i > 0 && native[i - 1] == '/');
    }
    if (!emptyComponent) return native;
  }
  const NameParts nameParts(name);
  return nameParts.Joined(nameParts.parts.size());
}

// Maps a core name to a native path: '\' becomes '/', and each component is
// the existing entry whatever its case (an exact match first). Components
// below one that does not exist are kept as given.
Resolved Resolve(const std::string& name) {
  const NameParts nameParts(name);
  const std::vector<std::string>& parts = nameParts.parts;
  const bool trailingSeparator = nameParts.trailingSeparator;

  Resolved result;
  std::string prefix = nameParts.absolute ? "/" : "";
  // When the whole name exists as spelt, so does every component on the way,
  // and the search below would keep each as it is; likewise for the
  // components before the last when the directory holding it exists as
  // spelt, and the search of the last one would pick its capitals first
  // (see FindNoCase). A lookup or two then stand in for one per component.
  size_t known = 0;
  if (!parts.empty()) {
    const std::string joined = nameParts.Joined(parts.size());
    if (Exists(joined)) return {joined, joined};
    const std::string parent = nameParts.Joined(parts.size() - 1);
    const std::string& last = parts.back();
    const std::string upper = UpperAscii(last);
    if (!trailingSeparator && upper != last && last != "." && last != ".." && Exists(parent + upper))
      return {parent + upper, joined};
    if (parts.size() > 1 && Exists(parent)) known = parts.size() - 1;
  }
  bool parentExists = true;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    std::string stored(part);
    if (i >= known && parentExists && part != "." && part != ".." && !Exists(prefix + stored)) {
      std::string match = FindNoCase(prefix, part);
      if (match.empty()) {
        parentExists = false;
      } else {
        stored = match;
      }
    }
    bool last = i + 1 == parts.size();
    std::string separator = (!last || trailingSeparator) ? "/" : "";
    if (last) result.literal = prefix + part + separator;
    prefix += stored + separator;
  }
  result.path = prefix;
  if (parts.empty()) result.literal = prefix;
  return result;
}

// Makes attempt on the name as spelt (no lookup: the common case, and what a
// scan or an earlier call hands back) and, when it fails there, on the path
// Resolve finds; whether either succeeded.
template <typename Attempt>
bool OnSpeltOrResolved(const std::string& name, Attempt&& attempt) {
  return attempt(Spelt(name)) || attempt(Resolve(name).path);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// MOVEFILE_WRITE_THROUGH: the new name is on disk when the call returns.
void SyncDirectory(const std::string& directory) {
  int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

void SyncFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Copies every byte of the open descriptor in to the open descriptor out.
bool CopyContents(int in, int out) {
  std::vector<char> buffer(65536);
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

// With SharingLock held.
bool CopyResolved(const std::string& source, const std::string& destination, bool failIfExists) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat sourceInfo;
  // CopyFileA reads the source sharing read and write: a file that another
  // open is writing can be copied, unless that open shares nothing.
  if (fstat(in, &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode) ||
      !SharingAllows(sourceInfo, {.read = true, .write = false, .shareRead = true, .shareWrite = true})) {
    close(in);
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  int out = open(destination.c_str(), flags, sourceInfo.st_mode & 0777);
  if (out < 0) {
    close(in);
    return false;
  }
  bool copied = CopyContents(in, out);
  close(in);
  if (close(out) != 0) copied = false;
  if (!copied) unlink(destination.c_str());
  return copied;
}

}  // namespace

namespace os {

FileRef Open(const std::string& name, const OpenRequest& request) {
  const bool write = request.access == Access::ReadWrite;
  const bool create = request.creation == Creation::CreateAlways;
  // Never O_TRUNC here: a create that the sharing rules refuse must leave the
  // file as it was.
  int flags = (write ? O_RDWR : O_RDONLY) | O_CLOEXEC | (create ? O_CREAT : 0);
  std::string path;
  int fd = -1;
  const auto openAt = [&](const std::string& at) {
    path = at;
    fd = open(path.c_str(), flags, 0666);
    return fd >= 0;
  };
  // An existing file named as spelt is the one Resolve would find; a create
  // must look for another letter case first.
  if (!(create ? openAt(Resolve(name).path) : OnSpeltOrResolved(name, openAt))) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ((write || create) && ReadOnly(path, info))) {
    close(fd);
    return nullptr;
  }
  auto* file = new PosixFile(fd, info, write, request.shareRead);
  if (create) file->sizeAtOpen = 0;
  bool allowed = false;
  {
    // Only the sharing rules' answer and the change it allows (a create
    // empties the file only once they let it in) are made under the lock:
    // other threads' opens and closes go on meanwhile.
    const std::lock_guard sharing(SharingLock());
    allowed =
        SharingAllows(info,
                      {.read = true, .write = write, .shareRead = request.shareRead, .shareWrite = false}) &&
        (!create || ftruncate(fd, 0) == 0);
    if (allowed) OpenFiles().push_back(file);
  }
  if (allowed) return file;
  close(fd);
  delete file;
  return nullptr;
}

void Close(FileRef handle) {
  if (handle == nullptr) return;
  PosixFile* file = Posix(handle);
  {
    const std::lock_guard sharing(SharingLock());
    auto& files = OpenFiles();
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
  }
  close(file->fd);
  delete file;
}

int64_t ReadAt(FileRef handle, void* buffer, uint32_t count, int64_t offset) {
  const PosixFile* file = Posix(handle);
  auto* bytes = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t got = pread(file->fd, bytes + done, static_cast<size_t>(count - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

int64_t WriteAt(FileRef handle, const void* buffer, uint32_t count, int64_t offset) {
  PosixFile* file = Posix(handle);
  if (!file->canWrite) return -1;
  file->sizeAtOpen = -1;
  const auto* bytes = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t put = pwrite(file->fd, bytes + done, static_cast<size_t>(count - done), offset + done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return done > 0 ? done : -1;
    done += put;
  }
  return done;
}

int64_t Size(FileRef handle) {
  PosixFile* file = Posix(handle);
  if (file->sizeAtOpen >= 0) return std::exchange(file->sizeAtOpen, -1);
  struct stat info;
  if (fstat(file->fd, &info) != 0) return -1;
  return info.st_size;
}

bool Truncate(FileRef handle, int64_t length) {
  PosixFile* file = Posix(handle);
  file->sizeAtOpen = -1;
  return file->canWrite && ftruncate(file->fd, length) == 0;
}

bool CanOpenForReading(const std::string& name) {
  int fd = -1;
  if (!OnSpeltOrResolved(name, [&](const std::string& path) {
        return (fd = open(path.c_str(), O_RDONLY | O_CLOEXEC)) >= 0;
      }))
    return false;
  struct stat info;
  const std::lock_guard sharing(SharingLock());
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            SharingAllows(info, {.read = true, .write = false, .shareRead = true, .shareWrite = true});
  close(fd);
  return ok;
}

std::optional<int64_t> ModifiedTime(const std::string& name) {
  struct stat info;
  if (!Exists(Resolve(name).path, &info) || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<int64_t>(info.st_mtime);
}

bool RemoveFile(const std::string& name) {
  std::string path = Resolve(name).path;
  struct stat info;
  const std::lock_guard sharing(SharingLock());
  if (!Exists(path, &info) || S_ISDIR(info.st_mode) || HeldOpen(info) || ReadOnly(path, info)) return false;
  return unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  std::string source = Resolve(from).path;
  Resolved destination = Resolve(to);
  struct stat sourceInfo;
  const std::lock_guard sharing(SharingLock());
  if (!Exists(source, &sourceInfo) || (S_ISREG(sourceInfo.st_mode) && HeldOpen(sourceInfo))) return false;
  struct stat destinationInfo;
  if (Exists(destination.path, &destinationInfo)) {
    bool caseOnly = destinationInfo.st_dev == sourceInfo.st_dev &&
                    destinationInfo.st_ino == sourceInfo.st_ino && destination.literal != source;
    if (!caseOnly) return false;
    return rename(source.c_str(), destination.literal.c_str()) == 0;
  }
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.literal.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // A file system without no-replace renames; the existence test above
    // stands in for it.
    if (rename(source.c_str(), destination.literal.c_str()) == 0) return true;
  }
  // MoveFileA moves a file to another volume by copying it.
  if (errno == EXDEV && S_ISREG(sourceInfo.st_mode)) {
    if (!CopyResolved(source, destination.literal, true)) return false;
    if (unlink(source.c_str()) == 0) return true;
    unlink(destination.literal.c_str());
  }
  return false;
}

bool ReplaceFileWith(const std::string& source, const std::string& destination) {
  std::string from = Resolve(source).path;
  std::string to = Resolve(destination).path;
  struct stat info;
  const std::lock_guard sharing(SharingLock());
  if (!Exists(from, &info) || !S_ISREG(info.st_mode) || HeldOpen(info)) return false;
  if (Exists(to, &info) && (!S_ISREG(info.st_mode) || HeldOpen(info) || ReadOnly(to, info))) return false;
  SyncFile(from);
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  SyncDirectory(DirectoryOf(to));
  return true;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  std::string source = Resolve(from).path;
  Resolved destination = Resolve(to);
  struct stat sourceInfo;
  struct stat destinationInfo;
  const std::lock_guard sharing(SharingLock());
  if (!Exists(source, &sourceInfo)) return false;
  if (Exists(destination.path, &destinationInfo)) {
    if (failIfExists || !S_ISREG(destinationInfo.st_mode) || HeldOpen(destinationInfo) ||
        ReadOnly(destination.path, destinationInfo))
      return false;
    if (destinationInfo.st_dev == sourceInfo.st_dev && destinationInfo.st_ino == sourceInfo.st_ino)
      return false;
    return CopyResolved(source, destination.path, false);
  }
  return CopyResolved(source, destination.literal, failIfExists);
}

bool MakeDirectory(const std::string& path) {
  Resolved resolved = Resolve(path);
  if (Exists(resolved.path)) return false;
  return mkdir(resolved.literal.c_str(), 0777) == 0;
}

bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit) {
  std::string path;
  std::optional<DirectoryReader> dir;
  if (!OnSpeltOrResolved(directory, [&](const std::string& at) {
        path = at.empty() ? "." : at;
        return dir.emplace(path).Opened();
      }))
    return false;
  if (path.back() != '/') path += '/';
  std::vector<DirectoryEntry> entries;
  while (const dirent64* entry = dir->Next()) {
    const std::string_view native(entry->d_name);
    if (native == "." || native == "..") continue;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info;
      isDirectory = stat((path + entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    std::string name(native);
    for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1))
      name.replace(at, 1, kNameBackslash);
    entries.push_back({std::move(name), isDirectory});
  }
  dir.reset();
  // The order of an NTFS directory, so that listings agree across systems:
  // LessNoCase's, by keys that compare in it byte by byte (letters folded,
  // the top bit flipped, as LessNoCase takes bytes as signed chars), their
  // first eight bytes compared as one number first. A directory of
  // thousands of names is listed whole.
  struct Keyed {
    uint64_t prefix;
    uint32_t entry;
  };
  std::vector<std::string> keys(entries.size());
  std::vector<Keyed> order(entries.size());
  for (uint32_t i = 0; i < order.size(); ++i) {
    keys[i] = entries[i].name;
    uint64_t prefix = 0;
    for (size_t at = 0; at < keys[i].size(); ++at) {
      keys[i][at] = static_cast<char>(LowerAscii(keys[i][at]) ^ 0x80);
      if (at < 8) prefix |= uint64_t{static_cast<unsigned char>(keys[i][at])} << (56 - 8 * at);
    }
    order[i] = {prefix, i};
  }
  std::sort(order.begin(), order.end(), [&](const Keyed& a, const Keyed& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : keys[a.entry] < keys[b.entry];
  });
  for (const Keyed& keyed : order) {
    if (!visit(entries[keyed.entry])) break;
  }
  return true;
}

std::optional<DirectoryId> IdentifyDirectory(const std::string& directory) {
  struct stat info;
  const auto look = [&](const std::string& path) {
    return stat(path.empty() ? "." : path.c_str(), &info) == 0;
  };
  if (!OnSpeltOrResolved(directory, look) || !S_ISDIR(info.st_mode)) return std::nullopt;
  return DirectoryId{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

}  // namespace os

std::string NativePath(const std::string& name) {
  std::string native;
  const std::string_view backslash(kNameBackslash);
  for (size_t i = 0; i < name.size(); ++i) {
    if (name.compare(i, backslash.size(), backslash) == 0) {
      native += '\\';
      i += backslash.size() - 1;
    } else {
      native += name[i] == '\\' ? '/' : name[i];
    }
  }
  return native;
}

namespace os {

NewFile CreateNewFile(const std::string& name) {
  const Resolved resolved = Resolve(name);
  // A name that differs from an existing one only in case would be the same
  // file on Windows.
  if (Exists(resolved.path)) return NewFile::Exists;
  int fd = open(resolved.literal.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? NewFile::Exists : NewFile::Failed;
  close(fd);
  return NewFile::Created;
}

}  // namespace os

}  // namespace platform
