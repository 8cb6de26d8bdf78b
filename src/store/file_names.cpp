#include "store/file_names.h"

#include <cstdio>

#include "primitives/text_fields.h"

namespace {

constexpr char kMasterName[] = "master";

}  // namespace

std::string MasterFileName(const char* directory) {
  return std::string(directory) + kMasterName;
}

std::string MasterTempFileName(const char* directory) {
  return std::string(directory) + "msttmp";
}

std::string EmasterTempFileName(const char* directory) {
  return std::string(directory) + "emsttmp";
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
  char leaf[32];
  std::snprintf(leaf, sizeof leaf, "F%d.%s", fileNumber, extension);
  return std::string(directory) + leaf;
}

std::string RecordTempFileName(const char* directory, uint32_t tag) {
  char leaf[16];
  std::snprintf(leaf, sizeof leaf, "QVX%08X.TMP", static_cast<unsigned>(tag));
  return std::string(directory) + leaf;
}

bool IsMasterFileName(std::string_view name) {
  return EqualNoCase(name, kMasterName);
}
