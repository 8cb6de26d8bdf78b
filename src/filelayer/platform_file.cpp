// The platform calls: an injected fault first, then what a ListingScope of
// the calling thread knows, then the backend in use.

#include "filelayer/platform_file.h"

#include <algorithm>
#include <atomic>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filelayer/memory_file_system.h"
#include "filelayer/platform_backend.h"
#include "filelayer/platform_faults.h"
#include "primitives/text_fields.h"

namespace platform {

namespace {

MemoryFileSystem* memoryInUse = nullptr;

// Counts the calls that may have made, removed or renamed a name, so that a
// listing taken before one is known to be old.
std::atomic<uint64_t> nameChanges{0};
// Open files that share no reading: while there is one, a listed file may not
// be openable for reading.
std::atomic<int> unsharedOpens{0};
// The innermost active scope of this thread; each links to the one it is in.
thread_local ListingScope* innermost = nullptr;

void NoteNameChange() {
  nameChanges.fetch_add(1);
}

bool BackendList(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit) {
  return memoryInUse ? memoryInUse->ListDirectory(directory, visit) : os::ListDirectory(directory, visit);
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

}  // namespace

struct ListingScope::Listing {
  uint64_t generation = 0;
  bool listed = false;                  // false: the directory could not be listed
  std::vector<DirectoryEntry> entries;  // in the backend's order
  std::vector<std::string> folded;      // each entry's name, ASCII letters in lower case
  // Each folded name's entry that comes first in byte order (a directory is
  // asked about each of its files, thousands of them), and whether two
  // entries share a folded name.
  std::unordered_map<std::string_view, uint32_t> firstOfFolded;
  bool foldedTwice = false;

  void Index() {
    folded.reserve(entries.size());
    for (const DirectoryEntry& entry : entries) folded.push_back(Folded(entry.name));
    firstOfFolded.reserve(entries.size());
    for (uint32_t i = 0; i < entries.size(); ++i) {
      const auto [at, added] = firstOfFolded.emplace(folded[i], i);
      if (added) continue;
      foldedTwice = true;
      if (entries[i].name < entries[at->second].name) at->second = i;
    }
  }

  // The entry a name reaches: the one spelt so, else the first in byte order
  // of those that match it whatever their case, as the backends choose; null
  // when none does.
  const DirectoryEntry* Find(std::string_view name) const {
    const auto found = firstOfFolded.find(Folded(name));
    if (found == firstOfFolded.end()) return nullptr;
    const DirectoryEntry& first = entries[found->second];
    if (foldedTwice && first.name != name) {
      for (const DirectoryEntry& entry : entries) {
        if (entry.name == name) return &entry;
      }
    }
    return &first;
  }
};

struct ScopeAccess {
  // The listing of the innermost scope of this thread for the directory text,
  // listed anew when a name has changed since; null without one, or when the
  // directory cannot be listed or a stopped memory file system must answer.
  static std::shared_ptr<const ListingScope::Listing> For(std::string_view directory) {
    ListingScope* scope = Covering(directory);
    return scope != nullptr ? scope->listing_ : nullptr;
  }

  // The scope whose listing answers for the directory, its listing taken
  // anew when old; null when none does.
  static ListingScope* Covering(std::string_view directory) {
    ListingScope* scope = innermost;
    while (scope != nullptr && scope->directory_ != directory) scope = scope->outer_;
    if (scope == nullptr || (memoryInUse != nullptr && memoryInUse->Stopped())) return nullptr;
    const uint64_t generation = nameChanges.load();
    if (!scope->listing_ || scope->listing_->generation != generation) {
      auto listing = std::make_shared<ListingScope::Listing>();
      listing->generation = generation;
      listing->listed = BackendList(scope->directory_, [&](const DirectoryEntry& entry) {
        listing->entries.push_back(entry);
        return true;
      });
      listing->Index();
      scope->listing_ = std::move(listing);
    }
    return scope->listing_->listed ? scope : nullptr;
  }

  // What the scope covering a file name's directory says of it.
  struct Named {
    enum { Unknown, Missing, File } is = Unknown;
    std::string respelt;  // a File listed in another spelling: its name so spelt

    // The name to ask the backend for.
    const std::string& Of(const std::string& name) const { return respelt.empty() ? name : respelt; }
  };
  static Named Name(const std::string& name) {
    if (innermost == nullptr) return {};
    const size_t separator = name.find_last_of("\\/");
    const size_t leaf = separator == std::string::npos ? 0 : separator + 1;
    if (leaf == name.size()) return {};
    const ListingScope* scope = Covering(std::string_view(name).substr(0, leaf));
    if (scope == nullptr) return {};
    const std::string_view asked = std::string_view(name).substr(leaf);
    const DirectoryEntry* entry = scope->listing_->Find(asked);
    if (entry == nullptr || entry->isDirectory) return {Named::Missing, {}};
    if (entry->name == asked) return {Named::File, {}};
    return {Named::File, name.substr(0, leaf) + entry->name};
  }
};

ListingScope::ListingScope(std::string directory) : directory_(std::move(directory)) {
  for (ListingScope* scope = innermost; scope != nullptr; scope = scope->outer_) {
    if (scope->directory_ == directory_) return;
  }
  active_ = true;
  outer_ = innermost;
  innermost = this;
}

ListingScope::~ListingScope() {
  if (active_) innermost = outer_;
}

namespace detail {

void UseMemoryFileSystem(MemoryFileSystem* memory) {
  memoryInUse = memory;
}

}  // namespace detail

FileRef Open(const std::string& name, const OpenRequest& request) {
  if (detail::CallFails(Call::Open)) return nullptr;
  const bool create = request.creation == Creation::CreateAlways;
  const ScopeAccess::Named listed = create ? ScopeAccess::Named{} : ScopeAccess::Name(name);
  if (listed.is == ScopeAccess::Named::Missing) return nullptr;
  const std::string& opened = listed.Of(name);
  FileRef file = memoryInUse ? memoryInUse->Open(opened, request) : os::Open(opened, request);
  if (create) NoteNameChange();
  if (file != nullptr && !request.shareRead) {
    file->sharesNoReading = true;
    unsharedOpens.fetch_add(1);
  }
  return file;
}

void Close(FileRef file) {
  if (file != nullptr && file->sharesNoReading) unsharedOpens.fetch_sub(1);
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
  const ScopeAccess::Named listed = ScopeAccess::Name(name);
  if (listed.is == ScopeAccess::Named::Missing) return false;
  if (listed.is == ScopeAccess::Named::File && unsharedOpens.load() == 0) return true;
  const std::string& asked = listed.Of(name);
  return memoryInUse ? memoryInUse->CanOpenForReading(asked) : os::CanOpenForReading(asked);
}

std::optional<int64_t> ModifiedTime(const std::string& name) {
  if (detail::CallFails(Call::Size)) return std::nullopt;
  const ScopeAccess::Named listed = ScopeAccess::Name(name);
  if (listed.is == ScopeAccess::Named::Missing) return std::nullopt;
  const std::string& asked = listed.Of(name);
  return memoryInUse ? memoryInUse->ModifiedTime(asked) : os::ModifiedTime(asked);
}

// The calls below change names: each has the listings of every scope taken anew.

bool RemoveFile(const std::string& name) {
  if (detail::CallFails(Call::Delete)) return false;
  const bool removed = memoryInUse ? memoryInUse->RemoveFile(name) : os::RemoveFile(name);
  NoteNameChange();
  return removed;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (detail::CallFails(Call::Rename)) return false;
  const bool renamed = memoryInUse ? memoryInUse->RenameFile(from, to) : os::RenameFile(from, to);
  NoteNameChange();
  return renamed;
}

bool ReplaceFileWith(const std::string& source, const std::string& destination) {
  if (detail::CallFails(Call::Rename)) return false;
  const bool replaced = memoryInUse ? memoryInUse->ReplaceFileWith(source, destination)
                                    : os::ReplaceFileWith(source, destination);
  NoteNameChange();
  return replaced;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  if (detail::CallFails(Call::Copy)) return false;
  const bool copied =
      memoryInUse ? memoryInUse->CopyFileTo(from, to, failIfExists) : os::CopyFileTo(from, to, failIfExists);
  NoteNameChange();
  return copied;
}

bool MakeDirectory(const std::string& path) {
  if (detail::CallFails(Call::CreateDirectory)) return false;
  const bool made = memoryInUse ? memoryInUse->MakeDirectory(path) : os::MakeDirectory(path);
  NoteNameChange();
  return made;
}

bool ListDirectory(const std::string& directory, const std::function<bool(const DirectoryEntry&)>& visit) {
  if (detail::CallFails(Call::List)) return false;
  if (innermost != nullptr) {
    // Held for the visits: a visit that changes a name leaves this listing whole.
    if (const std::shared_ptr<const ListingScope::Listing> listing = ScopeAccess::For(directory)) {
      for (const DirectoryEntry& entry : listing->entries) {
        if (!visit(entry)) break;
      }
      return true;
    }
  }
  return BackendList(directory, visit);
}

std::optional<DirectoryId> IdentifyDirectory(const std::string& directory) {
  if (detail::CallFails(Call::List)) return std::nullopt;
  return memoryInUse ? memoryInUse->IdentifyDirectory(directory) : os::IdentifyDirectory(directory);
}

NewFile CreateNewFile(const std::string& name) {
  if (detail::CallFails(Call::Open)) return NewFile::Failed;
  const NewFile made = memoryInUse ? memoryInUse->CreateNewFile(name) : os::CreateNewFile(name);
  NoteNameChange();
  return made;
}

void ListingScope::Forget() {
  NoteNameChange();
}

}  // namespace platform
