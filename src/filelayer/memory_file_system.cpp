#include "filelayer/memory_file_system.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "primitives/text_fields.h"

namespace platform {

namespace {

// The identity IdentifyDirectory gives: a volume no disk has.
constexpr uint64_t kMemoryVolume = 0x4D454D4F5259;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
  return text;
}

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return LowerAscii(x) < LowerAscii(y); });
}

}  // namespace

struct MemoryFileSystem::Entry {
  std::string path;  // as stored: each component in the case it was made with
  bool directory = false;
  bool readOnly = false;
  uint64_t id = 0;
  int64_t modified = 0;  // seconds since 1970
  Bytes bytes;

  void Touch() { modified = std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::system_clock::now().time_since_epoch()).count(); }
};

struct MemoryFileSystem::OpenFile final : File {
  OpenFile(Entry* opened, bool writes, bool sharesReading)
      : entry(opened), canWrite(writes), shareRead(sharesReading) {}
  Entry* entry;
  bool canWrite;
  bool shareRead;
};

// A core name taken apart: '\' and '/' separate, "." is dropped and ".."
// takes the component before it away.
struct MemoryFileSystem::Name {
  std::vector<std::string> parts;
  bool absolute = false;

  std::string Key(size_t count) const {
    std::string key = absolute ? "/" : "";
    for (size_t i = 0; i < count; ++i) key.append(i > 0 ? "/" : "").append(Lower(parts[i]));
    return key;
  }
  std::string Key() const { return Key(parts.size()); }
  // The first count components as given.
  std::string Text(size_t count) const {
    std::string text = absolute ? "/" : "";
    for (size_t i = 0; i < count; ++i) text.append(i > 0 ? "/" : "").append(parts[i]);
    return text;
  }
  std::string ParentKey() const { return Key(parts.empty() ? 0 : parts.size() - 1); }
};

MemoryFileSystem::MemoryFileSystem() = default;

MemoryFileSystem::~MemoryFileSystem() {
  for (OpenFile* file : open_) delete file;
}

MemoryFileSystem::Name MemoryFileSystem::Parse(const std::string& text) const {
  Name name;
  name.absolute = !text.empty() && (text[0] == '/' || text[0] == '\\');
  std::string part;
  const auto take = [&] {
    if (part == "..") {
      if (!name.parts.empty()) name.parts.pop_back();
    } else if (!part.empty() && part != ".") {
      name.parts.push_back(part);
    }
    part.clear();
  };
  for (char c : text) {
    if (c == '/' || c == '\\') {
      take();
    } else {
      part += c;
    }
  }
  take();
  return name;
}

MemoryFileSystem::Entry* MemoryFileSystem::Find(const Name& name) {
  const auto found = entries_.find(name.Key());
  return found == entries_.end() ? nullptr : found->second.get();
}

const MemoryFileSystem::Entry* MemoryFileSystem::Find(const Name& name) const {
  const auto found = entries_.find(name.Key());
  return found == entries_.end() ? nullptr : found->second.get();
}

MemoryFileSystem::Entry* MemoryFileSystem::FindFile(const std::string& text) {
  Entry* entry = Find(Parse(text));
  return entry != nullptr && !entry->directory ? entry : nullptr;
}

bool MemoryFileSystem::ParentExists(const Name& name) const {
  if (name.parts.empty()) return false;
  if (name.parts.size() == 1) return true;  // the root, or the current directory
  const auto parent = entries_.find(name.ParentKey());
  return parent != entries_.end() && parent->second->directory;
}

std::string MemoryFileSystem::StoredPath(const Name& name) const {
  const auto parent = entries_.find(name.ParentKey());
  std::string path = parent != entries_.end() ? parent->second->path + "/" : name.absolute ? "/" : "";
  return path.append(name.parts.back());
}

MemoryFileSystem::Entry& MemoryFileSystem::Add(const Name& name, bool directory) {
  auto entry = std::make_unique<Entry>();
  entry->path = StoredPath(name);
  entry->directory = directory;
  entry->id = nextId_++;
  entry->Touch();
  Entry& added = *entry;
  entries_[name.Key()] = std::move(entry);
  return added;
}

bool MemoryFileSystem::SharingAllows(uint64_t id, bool read, bool write, bool shareRead,
                                     bool shareWrite) const {
  // Every existing open must share what the new one wants to do, and the new
  // one must share what every existing open does (no open shares writing).
  for (const OpenFile* held : open_) {
    if (held->entry->id != id) continue;
    if ((read && !held->shareRead) || write || !shareRead || (held->canWrite && !shareWrite)) return false;
  }
  return true;
}

bool MemoryFileSystem::HeldOpen(uint64_t id) const {
  return std::any_of(open_.begin(), open_.end(), [&](const OpenFile* held) { return held->entry->id == id; });
}

void MemoryFileSystem::Changed() {
  ++changes_;
  if (stopAt_ != 0 && changes_ >= stopAt_) {
    stopped_ = true;
    stopAt_ = 0;
  }
}

void MemoryFileSystem::StopAfterChanges(int nth) {
  stopAt_ = nth > 0 ? changes_ + nth : 0;
}

void MemoryFileSystem::MakeDirectories(const std::string& directory) {
  const Name name = Parse(directory);
  Name prefix{{}, name.absolute};
  for (const std::string& part : name.parts) {
    prefix.parts.push_back(part);
    if (Find(prefix) == nullptr) Add(prefix, true);
  }
}

void MemoryFileSystem::WriteFile(const std::string& text, Bytes bytes) {
  const Name name = Parse(text);
  if (name.parts.empty()) return;
  MakeDirectories(name.Text(name.parts.size() - 1));
  Entry* entry = Find(name);
  if (entry == nullptr) entry = &Add(name, false);
  entry->bytes = std::move(bytes);
  entry->Touch();
}

std::optional<MemoryFileSystem::Bytes> MemoryFileSystem::ReadFile(const std::string& name) const {
  const Entry* entry = Find(Parse(name));
  if (entry == nullptr || entry->directory) return std::nullopt;
  return entry->bytes;
}

void MemoryFileSystem::SetReadOnly(const std::string& name, bool readOnly) {
  if (Entry* entry = FindFile(name)) entry->readOnly = readOnly;
}

void MemoryFileSystem::SetModifiedTime(const std::string& name, int64_t seconds) {
  if (Entry* entry = FindFile(name)) entry->modified = seconds;
}

bool MemoryFileSystem::IsReadOnly(const std::string& name) const {
  const Entry* entry = Find(Parse(name));
  return entry != nullptr && entry->readOnly;
}

std::map<std::string, MemoryFileSystem::Bytes> MemoryFileSystem::Below(const std::string& directory) const {
  const Name name = Parse(directory);
  const std::string key = name.Key() + "/";
  std::map<std::string, Bytes> below;
  for (const auto& [entryKey, entry] : entries_) {
    if (entryKey.compare(0, key.size(), key) != 0) continue;
    // The stored path's components after the directory's own.
    const std::string& path = entry->path;
    std::string relative;
    size_t component = 0;
    for (size_t at = name.absolute ? 1 : 0; at <= path.size(); ++component) {
      const size_t end = std::min(path.find('/', at), path.size());
      if (component >= name.parts.size())
        relative.append(relative.empty() ? "" : "/").append(path, at, end - at);
      at = end + 1;
    }
    below[entry->directory ? relative + "/" : relative] = entry->bytes;
  }
  return below;
}

FileRef MemoryFileSystem::Open(const std::string& text, const OpenRequest& request) {
  if (stopped_) return nullptr;
  const bool write = request.access == Access::ReadWrite;
  const bool create = request.creation == Creation::CreateAlways;
  const Name name = Parse(text);
  Entry* entry = Find(name);
  if (entry == nullptr) {
    if (!create || !ParentExists(name)) return nullptr;
  } else if (entry->directory || ((write || create) && entry->readOnly) ||
             !SharingAllows(entry->id, true, write, request.shareRead, false)) {
    return nullptr;
  }
  if (create) {
    if (entry == nullptr) entry = &Add(name, false);
    entry->bytes.clear();
    entry->Touch();
    Changed();
  }
  auto* file = new OpenFile(entry, write, request.shareRead);
  open_.push_back(file);
  return file;
}

void MemoryFileSystem::Close(FileRef handle) {
  if (handle == nullptr) return;
  auto* file = static_cast<OpenFile*>(handle);
  open_.erase(std::remove(open_.begin(), open_.end(), file), open_.end());
  delete file;
}

int64_t MemoryFileSystem::ReadAt(FileRef handle, void* buffer, uint32_t count, int64_t offset) {
  if (stopped_) return -1;
  const Bytes& bytes = static_cast<OpenFile*>(handle)->entry->bytes;
  if (offset >= static_cast<int64_t>(bytes.size())) return 0;
  const size_t got = std::min<size_t>(count, bytes.size() - static_cast<size_t>(offset));
  std::memcpy(buffer, bytes.data() + offset, got);
  return static_cast<int64_t>(got);
}

int64_t MemoryFileSystem::WriteAt(FileRef handle, const void* buffer, uint32_t count, int64_t offset) {
  const auto* file = static_cast<OpenFile*>(handle);
  if (stopped_ || !file->canWrite) return -1;
  if (count == 0) return 0;
  Bytes& bytes = file->entry->bytes;
  const size_t end = static_cast<size_t>(offset) + count;
  if (bytes.size() < end) bytes.resize(end);
  std::memcpy(bytes.data() + offset, buffer, count);
  file->entry->Touch();
  Changed();
  return count;
}

int64_t MemoryFileSystem::Size(FileRef handle) {
  if (stopped_) return -1;
  return static_cast<int64_t>(static_cast<OpenFile*>(handle)->entry->bytes.size());
}

bool MemoryFileSystem::Truncate(FileRef handle, int64_t length) {
  const auto* file = static_cast<OpenFile*>(handle);
  if (stopped_ || !file->canWrite) return false;
  file->entry->bytes.resize(static_cast<size_t>(length));
  file->entry->Touch();
  Changed();
  return true;
}

bool MemoryFileSystem::CanOpenForReading(const std::string& name) {
  const Entry* entry = stopped_ ? nullptr : FindFile(name);
  return entry != nullptr && SharingAllows(entry->id, true, false, true, true);
}

std::optional<int64_t> MemoryFileSystem::ModifiedTime(const std::string& name) {
  const Entry* entry = stopped_ ? nullptr : FindFile(name);
  return entry != nullptr ? std::optional(entry->modified) : std::nullopt;
}

bool MemoryFileSystem::RemoveFile(const std::string& name) {
  const Name parsed = Parse(name);
  const Entry* entry = stopped_ ? nullptr : Find(parsed);
  if (entry == nullptr || entry->directory || entry->readOnly || HeldOpen(entry->id)) return false;
  entries_.erase(parsed.Key());
  Changed();
  return true;
}

bool MemoryFileSystem::RenameFile(const std::string& from, const std::string& to) {
  const Name source = Parse(from);
  const Name destination = Parse(to);
  Entry* entry = stopped_ ? nullptr : Find(source);
  if (entry == nullptr || (!entry->directory && HeldOpen(entry->id)) || !ParentExists(destination))
    return false;
  const Entry* existing = Find(destination);
  // Only a rename that changes the letter case may name an existing entry:
  // the entry itself.
  if (existing != nullptr && existing != entry) return false;
  const std::string oldKey = source.Key(), newKey = destination.Key();
  auto moved = std::move(entries_[oldKey]);
  entries_.erase(oldKey);
  const std::string newPath = StoredPath(destination);
  // A directory takes what lies below it along.
  std::vector<std::pair<std::string, std::unique_ptr<Entry>>> below;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->first.compare(0, oldKey.size() + 1, oldKey + "/") == 0) {
      it->second->path = newPath + it->second->path.substr(moved->path.size());
      below.emplace_back(newKey + it->first.substr(oldKey.size()), std::move(it->second));
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  moved->path = newPath;
  entries_[newKey] = std::move(moved);
  for (auto& [key, child] : below) entries_[key] = std::move(child);
  Changed();
  return true;
}

bool MemoryFileSystem::ReplaceFileWith(const std::string& source, const std::string& destination) {
  const Name from = Parse(source);
  const Name to = Parse(destination);
  Entry* entry = stopped_ ? nullptr : Find(from);
  if (entry == nullptr || entry->directory || HeldOpen(entry->id) || !ParentExists(to)) return false;
  Entry* old = Find(to);
  if (old == entry) return false;
  if (old != nullptr && (old->directory || HeldOpen(old->id) || old->readOnly)) return false;
  Entry& target = old != nullptr ? *old : Add(to, false);
  // The destination keeps its name and takes the source's contents and state.
  target.bytes = std::move(entry->bytes);
  target.readOnly = entry->readOnly;
  target.id = entry->id;
  target.modified = entry->modified;
  entries_.erase(from.Key());
  Changed();
  return true;
}

bool MemoryFileSystem::CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  const Name destination = Parse(to);
  const Entry* source = stopped_ ? nullptr : FindFile(from);
  // The source is read sharing reading and writing.
  if (source == nullptr || !SharingAllows(source->id, true, false, true, true) || !ParentExists(destination))
    return false;
  Entry* existing = Find(destination);
  if (existing == source) return false;
  if (existing != nullptr &&
      (failIfExists || existing->directory || existing->readOnly || HeldOpen(existing->id)))
    return false;
  Bytes bytes = source->bytes;
  const bool readOnly = source->readOnly;
  Entry& target = existing != nullptr ? *existing : Add(destination, false);
  if (existing == nullptr) target.readOnly = readOnly;
  target.bytes = std::move(bytes);
  target.Touch();
  Changed();
  return true;
}

bool MemoryFileSystem::MakeDirectory(const std::string& path) {
  const Name name = Parse(path);
  if (stopped_ || Find(name) != nullptr || !ParentExists(name)) return false;
  Add(name, true);
  Changed();
  return true;
}

bool MemoryFileSystem::ListDirectory(const std::string& directory,
                                     const std::function<bool(const DirectoryEntry&)>& visit) {
  const Name name = Parse(directory);
  const Entry* listed = Find(name);
  if (stopped_ || (!name.parts.empty() && (listed == nullptr || !listed->directory))) return false;
  const std::string key = name.Key();
  const std::string prefix = key.empty() || key == "/" ? key : key + "/";
  std::vector<DirectoryEntry> entries;
  for (const auto& [entryKey, entry] : entries_) {
    if (entryKey.size() <= prefix.size() || entryKey.compare(0, prefix.size(), prefix) != 0 ||
        entryKey.find('/', prefix.size()) != std::string::npos)
      continue;
    entries.push_back({entry->path.substr(entry->path.rfind('/') + 1), entry->directory});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return LessNoCase(a.name, b.name); });
  for (const DirectoryEntry& entry : entries) {
    if (!visit(entry)) break;
  }
  return true;
}

std::optional<DirectoryId> MemoryFileSystem::IdentifyDirectory(const std::string& directory) {
  const Name name = Parse(directory);
  if (stopped_) return std::nullopt;
  if (name.parts.empty()) return DirectoryId{kMemoryVolume, 0};
  const Entry* entry = Find(name);
  if (entry == nullptr || !entry->directory) return std::nullopt;
  return DirectoryId{kMemoryVolume, entry->id};
}

NewFile MemoryFileSystem::CreateNewFile(const std::string& text) {
  const Name name = Parse(text);
  if (stopped_) return NewFile::Failed;
  if (Find(name) != nullptr) return NewFile::Exists;
  if (!ParentExists(name)) return NewFile::Failed;
  Add(name, false);
  Changed();
  return NewFile::Created;
}

}  // namespace platform
