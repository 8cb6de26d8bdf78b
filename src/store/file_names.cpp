#include "store/file_names.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "primitives/text_fields.h"

namespace {

constexpr char kMasterName[] = "master";
constexpr char kMasterTempName[] = "msttmp";
constexpr char kEmasterTempName[] = "emsttmp";

}  // namespace

std::string MasterFileName(const char* directory) {
  return std::string(directory) + kMasterName;
}

std::string MasterTempFileName(const char* directory) {
  return std::string(directory) + kMasterTempName;
}

std::string EmasterTempFileName(const char* directory) {
  return std::string(directory) + kEmasterTempName;
}

std::string EmasterFileName(const char* directory) {
  return std::string(directory) + "EMASTER";
}

std::string XmasterFileName(const char* directory) {
  return std::string(directory) + "XMASTER";
}

std::string InstrumentFileName(const char* directory, int fileNumber, InstrumentFile file) {
  constexpr const char* kExtensions[] = {"DAT", "DOP", "CHT", "MWD"};
  const char* extension = kExtensions[static_cast<int>(file)];
  char number[12];
  char* end = std::to_chars(number, number + sizeof number, fileNumber).ptr;
  std::string name;
  name.reserve(std::strlen(directory) + 6 + static_cast<size_t>(end - number));
  name += directory;
  name += 'F';
  name.append(number, static_cast<size_t>(end - number));
  name += '.';
  name += extension;
  return name;
}

std::string RecordTempFileName(const char* directory, uint32_t tag) {
  char leaf[16];
  std::snprintf(leaf, sizeof leaf, "QVX%08X.TMP", static_cast<unsigned>(tag));
  return std::string(directory) + leaf;
}

std::optional<uint32_t> RecordTempTag(std::string_view name) {
  constexpr size_t kDigits = 8;
  constexpr std::string_view kPrefix = "QVX", kSuffix = ".TMP";
  if (name.size() != kPrefix.size() + kDigits + kSuffix.size() ||
      !EqualNoCase(name.substr(0, kPrefix.size()), kPrefix) ||
      !EqualNoCase(name.substr(kPrefix.size() + kDigits), kSuffix)) {
    return std::nullopt;
  }
  const std::string_view digits = name.substr(kPrefix.size(), kDigits);
  uint32_t tag = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), tag, 16);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return tag;
}

bool IsTemporaryFileName(std::string_view name) {
  return RecordTempTag(name) || EqualNoCase(name, kMasterTempName) || EqualNoCase(name, kEmasterTempName);
}

std::optional<int> NumberedFileNumber(std::string_view name, std::string_view extension) {
  if (name.size() <= extension.size() + 1 || name.size() > extension.size() + 5 ||
      (name[0] != 'F' && name[0] != 'f') ||
      !EqualNoCase(name.substr(name.size() - extension.size()), extension))
    return std::nullopt;
  const std::string_view digits = name.substr(1, name.size() - extension.size() - 1);
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits[0] == '0' || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return number;
}

bool IsMasterFileName(std::string_view name) {
  return EqualNoCase(name, kMasterName);
}
