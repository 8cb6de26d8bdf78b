#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  // Unique across processes started at once (the random device, which may be deterministic, and the clock)
  // and within one (the counter).
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("quorvex-test-" + std::to_string(device()) + "-" +
                                     std::to_string(stamp) + "-" + std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      nativeDir_ = candidate.string();
      coreDir_ = nativeDir_ + "\\";
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(nativeDir_, error);
}

std::string TempDir::Path(const std::string& name) const {
  return (fs::path(nativeDir_) / name).string();
}

std::string TempDir::MakeSubdir(const std::string& name) const {
  fs::create_directories(Path(name));
  return Path(name) + "\\";
}

void WriteBytes(const std::string& nativePath, const Bytes& bytes) {
  std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + nativePath);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + nativePath);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExistsNative(const std::string& nativePath) {
  std::error_code error;
  return fs::is_regular_file(nativePath, error);
}

void PutU16(Bytes& bytes, size_t offset, uint16_t value) {
  if (bytes.size() < offset + 2) bytes.resize(offset + 2);
  bytes[offset] = static_cast<uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(Bytes& bytes, size_t offset, uint32_t value) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
}

}  // namespace testing_support
