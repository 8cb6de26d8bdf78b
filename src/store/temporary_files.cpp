#include "store/temporary_files.h"

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "primitives/text_fields.h"
#include "store/file_names.h"
#include "store/master_file.h"

namespace {

constexpr int kTempNameAttempts = 1000;

constexpr int kMinuteBits = 20;
constexpr uint32_t kMinuteMask = (1u << kMinuteBits) - 1;
constexpr int kSerialBits = 12;

uint32_t MinuteOf(std::chrono::system_clock::time_point when) {
  const auto minutes = std::chrono::floor<std::chrono::minutes>(when.time_since_epoch()).count();
  return static_cast<uint32_t>(minutes) & kMinuteMask;
}

// Whether an operation may still be writing the temporary of the tag: its
// minute lies within kLiveMinutes of now, counted round the 20-bit circle.
bool MayBeWritten(uint32_t tag, std::chrono::system_clock::time_point now) {
  const uint32_t distance = (MinuteOf(now) - (tag >> kSerialBits)) & kMinuteMask;
  return distance <= kLiveMinutes || distance >= (1u << kMinuteBits) - kLiveMinutes;
}

}  // namespace

uint32_t NewRecordTempTag(std::chrono::system_clock::time_point when, uint32_t serial) {
  return MinuteOf(when) << kSerialBits | (serial & ((1u << kSerialBits) - 1));
}

std::vector<TemporaryFile> ListTemporaryFiles(const char* directory) {
  std::vector<TemporaryFile> found;
  platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    if (!entry.isDirectory && IsTemporaryFileName(entry.name)) found.push_back({entry.name});
    return true;
  });
  std::ranges::sort(found, {}, &TemporaryFile::name);
  for (TemporaryFile& file : found) {
    if (platform::FileRef opened = platform::Open(directory + file.name, platform::OpenRequest{})) {
      file.bytes = platform::Size(opened);
      platform::Close(opened);
    }
  }
  return found;
}

void RemoveLeftoverTemporaries(const char* directory) {
  const auto now = std::chrono::system_clock::now();
  const int64_t seconds = std::chrono::floor<std::chrono::seconds>(now.time_since_epoch()).count();
  std::vector<std::string> temporaries;
  platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    if (!entry.isDirectory && IsTemporaryFileName(entry.name)) temporaries.push_back(entry.name);
    return true;
  });
  for (const std::string& file : temporaries) {
    const std::string name = directory + file;
    const std::optional<uint32_t> tag = RecordTempTag(file);
    const std::optional<int64_t> written = tag ? std::nullopt : platform::ModifiedTime(name);
    const bool leftover = tag ? !MayBeWritten(*tag, now)
                              : written && std::abs(seconds - *written) > kLiveMinutes * 60;
    // The file layer may have given the platform handle of a file it holds back for a while.
    if (leftover && !IsFileOpen(name.c_str())) platform::RemoveFile(name);
  }
}

std::string CreateRecordTempFile(const char* directory) {
  RemoveLeftoverTemporaries(directory);
  // Random serials, so that two programs writing into one directory within a
  // minute seldom try the same name; the creation refuses a name that is
  // taken either way.
  static std::mt19937 generator(static_cast<std::mt19937::result_type>(
      std::random_device{}() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  const auto now = std::chrono::system_clock::now();
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    const std::string name =
        RecordTempFileName(directory, NewRecordTempTag(now, static_cast<uint32_t>(generator())));
    switch (platform::CreateNewFile(name)) {
      case platform::NewFile::Created:
        return name;
      case platform::NewFile::Exists:
        continue;
      case platform::NewFile::Failed:
        return {};
    }
  }
  return {};
}

bool ReplaceWholeFile(const std::string& temp, const std::string& file, const std::vector<uint8_t>& bytes) {
  {
    FileGuard out(SOpenFile(temp.c_str(), kOpenCreate, kOpenShared, 1, kOpenTemporary));
    if (!out.Valid() ||
        (!bytes.empty() && !WriteBlock(out.Get(), bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 0))) {
      out.Close();
      platform::RemoveFile(temp);
      return false;
    }
  }
  if (platform::ReplaceFileWith(temp, file)) return true;
  platform::RemoveFile(temp);
  return false;
}

std::vector<std::string> UnlistedDataFiles(const char* directory) {
  std::bitset<256> listed;
  for (const MasterRecord& record : ReadMasterRecords(directory)) listed.set(record.FileNumber());
  std::vector<std::string> unlisted;
  platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    const std::optional<int> number = entry.isDirectory ? std::nullopt : NumberedFileNumber(entry.name, ".DAT");
    if (number && *number <= 255 && !listed.test(static_cast<size_t>(*number))) unlisted.push_back(entry.name);
    return true;
  });
  return unlisted;
}
