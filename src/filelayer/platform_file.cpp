// The platform calls: an injected fault first, then the backend in use.

#include "filelayer/platform_file.h"

#include "filelayer/memory_file_system.h"
#include "filelayer/platform_backend.h"
#include "filelayer/platform_faults.h"

namespace platform {

namespace {

MemoryFileSystem* memoryInUse = nullptr;

}  // namespace

namespace detail {

void UseMemoryFileSystem(MemoryFileSystem* memory) {
  memoryInUse = memory;
}

}  // namespace detail

FileRef Open(const std::string& name, const OpenRequest& request) {
  if (detail::CallFails(Call::Open)) return nullptr;
  return memoryInUse ? memoryInUse->Open(name, request) : os::Open(name, request);
}

void Close(FileRef file) {
  if (memoryInUse) {
    memoryInUse->Close(file);
  } else {
    os::Close(file);
  }
}

int64_t ReadAt(FileRef file, void* buffer, uint32_t count, int64_t offset) {
  if (detail::CallFails(Call::Read)) return -1;
  if (file == nullptr || offset < 0) return -1;
  return memoryInUse ? memoryInUse->ReadAt(file, buffer, count, offset)
                     : os::ReadAt(file, buffer, count, offset);
}

int64_t WriteAt(FileRef file, const void* buffer, uint32_t count, int64_t offset) {
  if (detail::CallFails(Call::Write)) return -1;
  if (file == nullptr || offset < 0) return -1;
  count = detail::WriteAllowance(count, offset, [file] {
    const int64_t size = memoryInUse ? memoryInUse->Size(file) : os::Size(file);
    return size < 0 ? 0 : size;
  });
  return memoryInUse ? memoryInUse->WriteAt(file, buffer, count, offset)
                     : os::WriteAt(file, buffer, count, offset);
}

int64_t Size(FileRef file) {
  if (detail::CallFails(Call::Size)) return -1;
  if (file == nullptr) return -1;
  return memoryInUse ? memoryInUse->Size(file) : os::Size(file);
}

bool Truncate(FileRef file, int64_t length) {
  if (detail::CallFails(Call::Truncate)) return false;
  if (file == nullptr || length < 0) return false;
  return memoryInUse ? memoryInUse->Truncate(file, length) : os::Truncate(file, length);
}

bool CanOpenForReading(const std::string& name) {
  if (detail::CallFails(Call::Open)) return false;
  return memoryInUse ? memoryInUse->CanOpenForReading(name) : os::CanOpenForReading(name);
}

std::optional<int64_t> ModifiedTime(const std::string& name) {
  if (detail::CallFails(Call::Size)) return std::nullopt;
  return memoryInUse ? memoryInUse->ModifiedTime(name) : os::ModifiedTime(name);
}

bool RemoveFile(const std::string& name) {
  if (detail::CallFails(Call::Delete)) return false;
  return memoryInUse ? memoryInUse->RemoveFile(name) : os::RemoveFile(name);
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (detail::CallFails(Call::Rename)) return false;
  return memoryInUse ? memoryInUse->RenameFile(from, to) : os::RenameFile(from, to);
}

bool ReplaceFileWith(const std::string& source, const std::string& destination) {
  if (detail::CallFails(Call::Rename)) return false;
  return memoryInUse ? memoryInUse->ReplaceFileWith(source, destination)
                     : os::ReplaceFileWith(source, destination);
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  if (detail::CallFails(Call::Copy)) return false;
  return memoryInUse ? memoryInUse->CopyFileTo(from, to, failIfExists)
                     : os::CopyFileTo(from, to, failIfExists);
}

bool MakeDirectory(const std::string& path) {
  if (detail::CallFails(Call::CreateDirectory)) return false;
  return memoryInUse ? memoryInUse->MakeDirectory(path) : os::MakeDirectory(path);
}

bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit) {
  if (detail::CallFails(Call::List)) return false;
  return memoryInUse ? memoryInUse->ListDirectory(directory, visit) : os::ListDirectory(directory, visit);
}

std::optional<DirectoryId> IdentifyDirectory(const std::string& directory) {
  if (detail::CallFails(Call::List)) return std::nullopt;
  return memoryInUse ? memoryInUse->IdentifyDirectory(directory) : os::IdentifyDirectory(directory);
}

NewFile CreateNewFile(const std::string& name) {
  if (detail::CallFails(Call::Open)) return NewFile::Failed;
  return memoryInUse ? memoryInUse->CreateNewFile(name) : os::CreateNewFile(name);
}

}  // namespace platform
