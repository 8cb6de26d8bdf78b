// Helpers shared by the file layer's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "support/temp_dir.h"

namespace testing_support {

// Bytes that differ from record to record and from seed to seed.
inline Bytes Pattern(size_t size, unsigned seed = 0) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed * 7 + i * 13 + i / 256);
  return bytes;
}

inline Bytes Slice(const Bytes& bytes, size_t from, size_t count) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count));
}

// The native path of a core name (on POSIX, '\' separates like '/').
inline std::string NativeName(std::string coreName) {
#ifndef _WIN32
  std::replace(coreName.begin(), coreName.end(), '\\', '/');
#endif
  return coreName;
}

// The names the platform lists in a directory, in its order.
inline std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    names.push_back(entry.name);
    return true;
  });
  return names;
}

}  // namespace testing_support
