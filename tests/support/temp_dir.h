// A scratch directory for tests, removed with everything in it at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory as the core passes it: the path followed by a backslash.
  const std::string& Dir() const { return coreDir_; }
  // The core's text for a file in the directory (Dir() + name).
  std::string Name(const std::string& name) const { return coreDir_ + name; }
  // The native path of a file in the directory, for direct checks.
  std::string Path(const std::string& name) const;
  // A subdirectory, created; returns its core directory text.
  std::string MakeSubdir(const std::string& name) const;

 private:
  std::string nativeDir_;
  std::string coreDir_;
};

// Whole-file helpers on native paths.
void WriteBytes(const std::string& nativePath, const Bytes& bytes);
Bytes ReadBytes(const std::string& nativePath);
bool FileExistsNative(const std::string& nativePath);

// Little-endian words of byte-by-byte fixtures, written (growing the bytes) and read.
void PutU16(Bytes& bytes, size_t offset, uint16_t value);
void PutU32(Bytes& bytes, size_t offset, uint32_t value);
inline uint16_t GetU16(const Bytes& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}
inline uint32_t GetU32(const Bytes& bytes, size_t offset) {
  return GetU16(bytes, offset) | static_cast<uint32_t>(GetU16(bytes, offset + 2)) << 16;
}

}  // namespace testing_support
