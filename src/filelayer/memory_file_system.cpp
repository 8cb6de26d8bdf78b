#include "filelayer/memory_file_system.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <utility>

#include "primitives/text_fields.h"

namespace platform {

namespace {

// The identity IdentifyDirectory gives: a volume no disk has.
constexpr uint64_t kMemoryVolume = 0x4D454D4F5259;

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

}  // namespace

void MemoryFileSystem::Entry::Touch() {
  modified =
      std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool MemoryFileSystem::KeyLess::operator()(std::string_view a, std::string_view b) const {
  return LessNoCase(a, b);
}

struct MemoryFileSystem::OpenFile final : File {
  OpenFile(Entry* opened, bool writes, bool sharesReading)
      : entry(opened), canWrite(writes), shareRead(sharesReading) {}
  Entry* entry;
  bool canWrite;
  bool shareRead;
};

// A core name taken apart: '\' and '/' separate, "." is dropped and ".."
// takes the component before it away. What is left is text: '/' first when
// the name is absolute, then the components as given, '/' between them; an
// entry's key.
struct MemoryFileSystem::Name {
  std::string_view text;
  size_t parts = 0;
  size_t last = 0;  // where the last component begins in text
  bool absolute = false;

  std::string_view Leaf() const { return text.substr(last); }
  // The text of all components but the last.
  std::string_view Parent() const {
    return parts <= 1 ? text.substr(0, absolute ? 1 : 0) : text.substr(0, last - 1);
  }
};

MemoryFileSystem::MemoryFileSystem() = default;

MemoryFileSystem::~MemoryFileSystem() {
  for (OpenFile* file : open_) delete file;
}

MemoryFileSystem::Name MemoryFileSystem::Parse(std::string_view text, std::string& scratch) const {
  Name name;
  name.absolute = !text.empty() && IsSeparator(text[0]);
  scratch.clear();
  if (name.absolute) scratch.push_back('/');
  const size_t base = scratch.size();
  for (size_t begin = 0; begin <= text.size();) {
    size_t end = begin;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    const std::string_view part = text.substr(begin, end - begin);
    begin = end + 1;
    if (part.size() == 2 && part[0] == '.' && part[1] == '.') {
      if (name.parts == 0) continue;
      // Back to the end of the component before, and its beginning.
      scratch.resize(name.last > base ? name.last - 1 : base);
      const size_t slash = scratch.rfind('/');
      name.last = --name.parts == 0 ? base : (slash == std::string::npos ? 0 : slash + 1);
    } else if (!part.empty() && !(part.size() == 1 && part[0] == '.')) {
      if (name.parts++ > 0) scratch += '/';
      name.last = scratch.size();
      scratch.append(part);
    }
  }
  name.text = scratch;
  return name;
}

MemoryFileSystem::Entry* MemoryFileSystem::Find(const Name& name) {
  const auto found = entries_.find(name.text);
  return found == entries_.end() ? nullptr : &found->second;
}

const MemoryFileSystem::Entry* MemoryFileSystem::Find(const Name& name) const {
  const auto found = entries_.find(name.text);
  return found == entries_.end() ? nullptr : &found->second;
}

MemoryFileSystem::Entry* MemoryFileSystem::FindFile(const std::string& text) {
  Entry* entry = Find(Parse(text, scratch_[0]));
  return entry != nullptr && !entry->directory ? entry : nullptr;
}

bool MemoryFileSystem::ParentExists(const Name& name) const {
  if (name.parts == 0) return false;
  if (name.parts == 1) return true;  // the root, or the current directory
  const auto parent = entries_.find(name.Parent());
  return parent != entries_.end() && parent->second.directory;
}

std::string MemoryFileSystem::StoredPath(const Name& name) const {
  const auto parent = entries_.find(name.Parent());
  std::string path = parent != entries_.end() ? parent->second.path + "/" : (name.absolute ? "/" : "");
  path.append(name.Leaf());
  return path;
}

MemoryFileSystem::Entry& MemoryFileSystem::Add(const Name& name, bool directory) {
  std::string path = StoredPath(name);
  Entry& added = entries_.try_emplace(std::string(name.text)).first->second;
  added.path = std::move(path);
  added.directory = directory;
  added.id = nextId_++;
  added.Touch();
  return added;
}

void MemoryFileSystem::AddDirectories(const Name& name, size_t count) {
  size_t begin = name.absolute ? 1 : 0;
  for (size_t parts = 1; parts <= count; ++parts) {
    const size_t end = name.text.find('/', begin);
    const Name prefix{name.text.substr(0, end), parts, begin, name.absolute};
    if (Find(prefix) == nullptr) Add(prefix, true);
    begin = end + 1;
  }
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
  const std::lock_guard lock(lock_);
  stopAt_ = nth > 0 ? changes_ + nth : 0;
}

void MemoryFileSystem::MakeDirectories(const std::string& directory) {
  const std::lock_guard lock(lock_);
  const Name name = Parse(directory, scratch_[0]);
  AddDirectories(name, name.parts);
}

void MemoryFileSystem::WriteFile(const std::string& text, Bytes bytes) {
  const std::lock_guard lock(lock_);
  const Name name = Parse(text, scratch_[0]);
  if (name.parts == 0) return;
  AddDirectories(name, name.parts - 1);
  Entry* entry = Find(name);
  if (entry == nullptr) entry = &Add(name, false);
  entry->bytes = std::move(bytes);
  entry->Touch();
}

std::optional<MemoryFileSystem::Bytes> MemoryFileSystem::ReadFile(const std::string& name) const {
  const std::lock_guard lock(lock_);
  const Entry* entry = Find(Parse(name, scratch_[0]));
  if (entry == nullptr || entry->directory) return std::nullopt;
  return entry->bytes;
}

const MemoryFileSystem::Bytes* MemoryFileSystem::FileBytes(const std::string& name) const {
  const std::lock_guard lock(lock_);
  const Entry* entry = Find(Parse(name, scratch_[0]));
  return entry == nullptr || entry->directory ? nullptr : &entry->bytes;
}

void MemoryFileSystem::SetReadOnly(const std::string& name, bool readOnly) {
  const std::lock_guard lock(lock_);
  if (Entry* entry = FindFile(name)) entry->readOnly = readOnly;
}

void MemoryFileSystem::SetModifiedTime(const std::string& name, int64_t seconds) {
  const std::lock_guard lock(lock_);
  if (Entry* entry = FindFile(name)) entry->modified = seconds;
}

bool MemoryFileSystem::IsReadOnly(const std::string& name) const {
  const std::lock_guard lock(lock_);
  const Entry* entry = Find(Parse(name, scratch_[0]));
  return entry != nullptr && entry->readOnly;
}

std::map<std::string, MemoryFileSystem::Bytes> MemoryFileSystem::Below(const std::string& directory) const {
  const std::lock_guard lock(lock_);
  const Name name = Parse(directory, scratch_[0]);
  const std::string key = std::string(name.text) + "/";
  std::map<std::string, Bytes> below;
  for (const auto& [entryKey, entry] : entries_) {
    if (!StartsNoCase(entryKey, key)) continue;
    // The stored path's components after the directory's own.
    const std::string& path = entry.path;
    std::string relative;
    size_t component = 0;
    for (size_t at = name.absolute ? 1 : 0; at <= path.size(); ++component) {
      const size_t end = std::min(path.find('/', at), path.size());
      // Appended, not added up: GCC 12 warns falsely (-Wrestrict) of "text" + string in the i686 build.
      if (component >= name.parts) relative.append(relative.empty() ? "" : "/").append(path, at, end - at);
      at = end + 1;
    }
    below[entry.directory ? relative + "/" : relative] = entry.bytes;
  }
  return below;
}

FileRef MemoryFileSystem::Open(const std::string& text, const OpenRequest& request) {
  const std::lock_guard lock(lock_);
  if (stopped_) return nullptr;
  const bool write = request.access == Access::ReadWrite;
  const bool create = request.creation == Creation::CreateAlways;
  const Name name = Parse(text, scratch_[0]);
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
  const std::lock_guard lock(lock_);
  if (handle == nullptr) return;
  auto* file = static_cast<OpenFile*>(handle);
  open_.erase(std::remove(open_.begin(), open_.end(), file), open_.end());
  delete file;
}

int64_t MemoryFileSystem::ReadAt(FileRef handle, void* buffer, uint32_t count, int64_t offset) {
  const std::lock_guard lock(lock_);
  if (stopped_) return -1;
  const Bytes& bytes = static_cast<OpenFile*>(handle)->entry->bytes;
  if (offset >= static_cast<int64_t>(bytes.size())) return 0;
  const size_t got = std::min<size_t>(count, bytes.size() - static_cast<size_t>(offset));
  std::memcpy(buffer, bytes.data() + offset, got);
  return static_cast<int64_t>(got);
}

int64_t MemoryFileSystem::WriteAt(FileRef handle, const void* buffer, uint32_t count, int64_t offset) {
  const std::lock_guard lock(lock_);
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
  const std::lock_guard lock(lock_);
  if (stopped_) return -1;
  return static_cast<int64_t>(static_cast<OpenFile*>(handle)->entry->bytes.size());
}

bool MemoryFileSystem::Truncate(FileRef handle, int64_t length) {
  const std::lock_guard lock(lock_);
  const auto* file = static_cast<OpenFile*>(handle);
  if (stopped_ || !file->canWrite) return false;
  file->entry->bytes.resize(static_cast<size_t>(length));
  file->entry->Touch();
  Changed();
  return true;
}

bool MemoryFileSystem::CanOpenForReading(const std::string& name) {
  const std::lock_guard lock(lock_);
  const Entry* entry = stopped_ ? nullptr : FindFile(name);
  return entry != nullptr && SharingAllows(entry->id, true, false, true, true);
}

std::optional<int64_t> MemoryFileSystem::ModifiedTime(const std::string& name) {
  const std::lock_guard lock(lock_);
  const Entry* entry = stopped_ ? nullptr : FindFile(name);
  return entry != nullptr ? std::optional(entry->modified) : std::nullopt;
}

bool MemoryFileSystem::RemoveFile(const std::string& name) {
  const std::lock_guard lock(lock_);
  const Name parsed = Parse(name, scratch_[0]);
  const auto found = stopped_ ? entries_.end() : entries_.find(parsed.text);
  if (found == entries_.end()) return false;
  const Entry& entry = found->second;
  if (entry.directory || entry.readOnly || HeldOpen(entry.id)) return false;
  entries_.erase(found);
  Changed();
  return true;
}

bool MemoryFileSystem::RenameFile(const std::string& from, const std::string& to) {
  const std::lock_guard lock(lock_);
  const Name source = Parse(from, scratch_[0]);
  const Name destination = Parse(to, scratch_[1]);
  const auto found = stopped_ ? entries_.end() : entries_.find(source.text);
  if (found == entries_.end()) return false;
  Entry* entry = &found->second;
  if ((!entry->directory && HeldOpen(entry->id)) || !ParentExists(destination)) return false;
  const Entry* existing = Find(destination);
  // Only a rename that changes the letter case may name an existing entry:
  // the entry itself.
  if (existing != nullptr && existing != entry) return false;
  // The entries are moved in their map nodes: open files keep them.
  auto moved = entries_.extract(found);
  const std::string oldKey = std::move(moved.key());
  const std::string oldPath = entry->path, newPath = StoredPath(destination);
  // A directory takes what lies below it along.
  std::vector<decltype(entries_)::node_type> below;
  for (auto it = entries_.lower_bound(oldKey); it != entries_.end() && StartsNoCase(it->first, oldKey);) {
    if (it->first.size() > oldKey.size() && it->first[oldKey.size()] == '/') {
      const std::string suffix = it->first.substr(oldKey.size());
      Entry& child = it->second;
      child.path = newPath + child.path.substr(oldPath.size());
      below.push_back(entries_.extract(it++));
      below.back().key() = std::string(destination.text) + suffix;
    } else {
      ++it;
    }
  }
  entry->path = newPath;
  moved.key() = std::string(destination.text);
  entries_.insert(std::move(moved));
  for (auto& child : below) entries_.insert(std::move(child));
  Changed();
  return true;
}

bool MemoryFileSystem::ReplaceFileWith(const std::string& source, const std::string& destination) {
  const std::lock_guard lock(lock_);
  const Name from = Parse(source, scratch_[0]);
  const Name to = Parse(destination, scratch_[1]);
  const auto found = stopped_ ? entries_.end() : entries_.find(from.text);
  if (found == entries_.end()) return false;
  Entry* entry = &found->second;
  if (entry->directory || HeldOpen(entry->id) || !ParentExists(to)) return false;
  Entry* old = Find(to);
  if (old == entry) return false;
  if (old != nullptr && (old->directory || HeldOpen(old->id) || old->readOnly)) return false;
  Entry& target = old != nullptr ? *old : Add(to, false);
  // The destination keeps its name and takes the source's contents and state.
  target.bytes = std::move(entry->bytes);
  target.readOnly = entry->readOnly;
  target.id = entry->id;
  target.modified = entry->modified;
  entries_.erase(found);
  Changed();
  return true;
}

bool MemoryFileSystem::CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  const std::lock_guard lock(lock_);
  const Name destination = Parse(to, scratch_[1]);
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
  // No single step, as on a disk: a stop between the two changes leaves the
  // first half of the bytes under the destination's name.
  target.bytes.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2));
  target.Touch();
  Changed();
  if (stopped_) return false;
  target.bytes = std::move(bytes);
  Changed();
  return true;
}

bool MemoryFileSystem::MakeDirectory(const std::string& path) {
  const std::lock_guard lock(lock_);
  const Name name = Parse(path, scratch_[0]);
  if (stopped_ || Find(name) != nullptr || !ParentExists(name)) return false;
  Add(name, true);
  Changed();
  return true;
}

bool MemoryFileSystem::ListDirectory(const std::string& directory,
                                     const std::function<bool(const DirectoryEntry&)>& visit) {
  std::unique_lock lock(lock_);
  const Name name = Parse(directory, scratch_[0]);
  const Entry* listed = Find(name);
  if (stopped_ || (name.parts > 0 && (listed == nullptr || !listed->directory))) return false;
  const std::string_view key = name.text;
  const std::string_view prefix = key.empty() || key == "/" ? key : scratch_[0].append("/");
  // The listing is taken before the first visit, which may change the directory. A visit that lists
  // again gets a listing of its own. An entry's key and stored path end in the same name, so the map
  // holds the directory's entries in the order of their names.
  std::vector<DirectoryEntry> entries = std::move(listing_);
  entries.clear();
  for (auto it = entries_.lower_bound(prefix); it != entries_.end() && StartsNoCase(it->first, prefix);
       ++it) {
    const std::string_view entryKey = it->first, path = it->second.path;
    if (entryKey.size() <= prefix.size() || entryKey.find('/', prefix.size()) != std::string_view::npos)
      continue;
    entries.push_back({std::string(path.substr(path.rfind('/') + 1)), it->second.directory});
  }
  // Visited unlocked: a visit may call this file system again.
  lock.unlock();
  for (const DirectoryEntry& entry : entries) {
    if (!visit(entry)) break;
  }
  lock.lock();
  listing_ = std::move(entries);
  return true;
}

std::optional<DirectoryId> MemoryFileSystem::IdentifyDirectory(const std::string& directory) {
  const std::lock_guard lock(lock_);
  const Name name = Parse(directory, scratch_[0]);
  if (stopped_) return std::nullopt;
  if (name.parts == 0) return DirectoryId{kMemoryVolume, 0};
  const Entry* entry = Find(name);
  if (entry == nullptr || !entry->directory) return std::nullopt;
  return DirectoryId{kMemoryVolume, entry->id};
}

NewFile MemoryFileSystem::CreateNewFile(const std::string& text) {
  const std::lock_guard lock(lock_);
  const Name name = Parse(text, scratch_[0]);
  if (stopped_) return NewFile::Failed;
  if (Find(name) != nullptr) return NewFile::Exists;
  if (!ParentExists(name)) return NewFile::Failed;
  Add(name, false);
  Changed();
  return NewFile::Created;
}

}  // namespace platform
