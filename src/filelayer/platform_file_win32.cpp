// Win32 backend: the system's own file calls, which define the behaviour that
// the POSIX backend imitates. The read-only attribute is also checked here
// before the calls that Windows refuses for a read-only file but Wine run by
// root does not: it writes, empties, replaces and copies over such a file.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "filelayer/platform_backend.h"
#include "filelayer/platform_file.h"

namespace platform {

namespace {

struct Win32File final : File {
  explicit Win32File(HANDLE opened) : handle(opened) {}
  HANDLE handle;
};

HANDLE HandleOf(FileRef file) {
  return static_cast<Win32File*>(file)->handle;
}

bool MoveTo(HANDLE handle, int64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(handle, distance, nullptr, FILE_BEGIN) != 0;
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool ReadOnly(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool LessInCapitals(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return UpperAscii(x) < UpperAscii(y); });
}

}  // namespace

namespace os {

FileRef Open(const std::string& name, const OpenRequest& request) {
  DWORD access = GENERIC_READ | (request.access == Access::ReadWrite ? GENERIC_WRITE : 0);
  DWORD share = request.shareRead ? FILE_SHARE_READ : 0;
  DWORD disposition = request.creation == Creation::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS;
  if (request.temporary) attributes |= FILE_ATTRIBUTE_TEMPORARY;
  if (((access & GENERIC_WRITE) != 0 || disposition == CREATE_ALWAYS) && ReadOnly(name)) return nullptr;
  HANDLE handle = CreateFileA(name.c_str(), access, share, nullptr, disposition, attributes, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return new Win32File(handle);
}

void Close(FileRef file) {
  if (file == nullptr) return;
  CloseHandle(HandleOf(file));
  delete file;
}

int64_t ReadAt(FileRef file, void* buffer, uint32_t count, int64_t offset) {
  if (!MoveTo(HandleOf(file), offset)) return -1;
  DWORD got = 0;
  if (!ReadFile(HandleOf(file), buffer, count, &got, nullptr)) return -1;
  return got;
}

int64_t WriteAt(FileRef file, const void* buffer, uint32_t count, int64_t offset) {
  if (!MoveTo(HandleOf(file), offset)) return -1;
  DWORD put = 0;
  if (!WriteFile(HandleOf(file), buffer, count, &put, nullptr) && put == 0) return -1;
  return static_cast<int64_t>(put);
}

int64_t Size(FileRef file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(HandleOf(file), &size)) return -1;
  return size.QuadPart;
}

bool Truncate(FileRef file, int64_t length) {
  if (!MoveTo(HandleOf(file), length)) return false;
  return SetEndOfFile(HandleOf(file)) != 0;
}

bool CanOpenForReading(const std::string& name) {
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

std::optional<int64_t> ModifiedTime(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data) == 0 ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return std::nullopt;
  // 100-nanosecond ticks since 1601.
  constexpr int64_t kTicksPerSecond = 10'000'000, kSecondsFrom1601To1970 = 11'644'473'600;
  const auto ticks = static_cast<int64_t>(static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                                          data.ftLastWriteTime.dwLowDateTime);
  return ticks / kTicksPerSecond - kSecondsFrom1601To1970;
}

bool RemoveFile(const std::string& name) {
  return DeleteFileA(name.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool ReplaceFileWith(const std::string& source, const std::string& destination) {
  if (ReadOnly(destination)) return false;
  return MoveFileExA(source.c_str(), destination.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  if (ReadOnly(to)) return false;
  return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}

bool MakeDirectory(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit) {
  std::string pattern = directory + "*.*";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  std::vector<DirectoryEntry> entries;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({std::move(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  // NTFS lists in this order; other file systems (and Wine) need not.
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return LessInCapitals(a.name, b.name); });
  for (const DirectoryEntry& entry : entries) {
    if (!visit(entry)) break;
  }
  return true;
}

std::optional<DirectoryId> IdentifyDirectory(const std::string& directory) {
  // "." names the directory itself whether the text is a drive's root, ends
  // in a separator or is empty (the current directory).
  const bool separated = directory.empty() || directory.back() == '\\' || directory.back() == '/';
  const std::string name = separated ? directory + "." : directory;
  // Directories open only with FILE_FLAG_BACKUP_SEMANTICS; no access right is
  // needed to read their identity.
  HANDLE handle = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = GetFileInformationByHandle(handle, &info) != 0 &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return DirectoryId{info.dwVolumeSerialNumber, uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

}  // namespace os

std::string NativePath(const std::string& name) {
  return name;
}

namespace os {

NewFile CreateNewFile(const std::string& name) {
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFile::Exists : NewFile::Failed;
  }
  CloseHandle(handle);
  return NewFile::Created;
}

}  // namespace os

}  // namespace platform
