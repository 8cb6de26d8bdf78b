#include "operations_support.h"

#include <algorithm>
#include <filesystem>

namespace operations_test {

namespace fs = std::filesystem;
using fixtures::MasterBuilder;
using fixtures::MasterEntry;

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

int U16(const Bytes& bytes, size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8);
}

}  // namespace

std::vector<int> MasterRead::Numbers() const {
  std::vector<int> numbers;
  for (const MasterEntryRead& entry : entries) numbers.push_back(entry.fileNumber);
  return numbers;
}

int MasterRead::Listed(int fileNumber) const {
  return static_cast<int>(std::count_if(
      entries.begin(), entries.end(), [&](const MasterEntryRead& e) { return e.fileNumber == fileNumber; }));
}

MasterRead ReadMaster(const std::string& nativeDir) {
  MasterRead master;
  const std::string path = NativeFile(nativeDir, "master");
  if (!testing_support::FileExistsNative(path)) return master;
  master.present = true;
  master.bytes = testing_support::ReadBytes(path);
  if (master.bytes.size() < 53) return master;
  master.count = U16(master.bytes, 0);
  master.last = U16(master.bytes, 2);
  for (size_t offset = 53; offset + 53 <= master.bytes.size(); offset += 53) {
    MasterEntryRead entry;
    entry.raw.assign(master.bytes.begin() + static_cast<long>(offset),
                     master.bytes.begin() + static_cast<long>(offset + 53));
    entry.fileNumber = entry.raw[0];
    entry.name.assign(entry.raw.begin() + 7, entry.raw.begin() + 23);
    entry.symbol.assign(entry.raw.begin() + 36, entry.raw.begin() + 50);
    master.entries.push_back(entry);
  }
  return master;
}

std::set<std::string> FilesIn(const std::string& nativeDir) {
  std::set<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(nativeDir, error)) {
    if (entry.is_regular_file()) names.insert(Upper(entry.path().filename().string()));
  }
  return names;
}

std::string FileName(int fileNumber, const char* extension) {
  return "F" + std::to_string(fileNumber) + "." + extension;
}

std::string NativeFile(const std::string& nativeDir, const std::string& name) {
  return (fs::path(nativeDir) / name).string();
}

Bytes Contents(const std::string& tag, int fileNumber, const char* extension) {
  const std::string text = tag + ":" + FileName(fileNumber, extension) + ":data";
  Bytes bytes(text.begin(), text.end());
  // Some length that differs per file, past a few records' worth.
  bytes.resize(bytes.size() + 24 * static_cast<size_t>(fileNumber % 7 + 1), static_cast<uint8_t>(fileNumber));
  return bytes;
}

void Fill(const std::string& nativeDir, const std::string& tag, const std::vector<int>& numbers, int last,
          bool withCht) {
  MasterBuilder master;
  for (int n : numbers) {
    master.Add(MasterEntry{.fileNumber = static_cast<uint8_t>(n),
                           .fieldCount = 6,
                           .name = "INSTR" + std::to_string(n),
                           .symbol = "S" + std::to_string(n)});
  }
  master.LastFileNumber(static_cast<uint16_t>(last));
  testing_support::WriteBytes(NativeFile(nativeDir, "master"), master.Build());
  for (int n : numbers) {
    for (const char* extension : {"DAT", "DOP", "CHT"}) {
      if (!withCht && std::string(extension) == "CHT") continue;
      testing_support::WriteBytes(NativeFile(nativeDir, FileName(n, extension)), Contents(tag, n, extension));
    }
  }
}

std::vector<int> Range(int from, int to) {
  std::vector<int> numbers;
  for (int n = from; n <= to; ++n) numbers.push_back(n);
  return numbers;
}

MasterBuilder WithRecords(const std::vector<int>& numbers, int count, int last) {
  MasterBuilder master;
  for (int n : numbers) master.Add(MasterEntry{.fileNumber = static_cast<uint8_t>(n)});
  return master.HeaderCount(static_cast<uint16_t>(count)).LastFileNumber(static_cast<uint16_t>(last));
}

std::string RuleName(const std::string& rule) {
  std::string name;
  bool startWord = true;
  for (char c : rule) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      startWord = true;
      continue;
    }
    name += startWord && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    startWord = false;
  }
  return name;
}

std::string Inconsistency(const std::string& nativeDir) {
  const MasterRead master = ReadMaster(nativeDir);
  const std::set<std::string> files = FilesIn(nativeDir);
  if (files.count("MSTTMP")) return "msttmp left behind";
  if (!master.present) {
    for (const std::string& name : files) {
      if (name.size() > 1 && name[0] == 'F') return name + " present without master";
    }
    return "";
  }
  if (master.bytes.size() < 53 || (master.bytes.size() - 53) % 53 != 0) {
    return "master length " + std::to_string(master.bytes.size());
  }
  if (master.count != static_cast<int>(master.entries.size())) {
    return "header count " + std::to_string(master.count) + " for " + std::to_string(master.entries.size()) +
           " records";
  }
  for (const std::string& name : files) {
    const size_t dot = name.find('.');
    if (name[0] != 'F' || dot == std::string::npos || dot < 2) continue;
    const std::string digits = name.substr(1, dot - 1);
    const std::string extension = name.substr(dot + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    if (extension != "DAT" && extension != "DOP" && extension != "CHT") continue;
    const int number = std::stoi(digits);
    if (master.Listed(number) != 1) {
      return name + " listed " + std::to_string(master.Listed(number)) + " times";
    }
  }
  return "";
}

}  // namespace operations_test
