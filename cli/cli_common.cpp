#include "cli_common.h"

#include <cstdio>
#include <iostream>

#include "filelayer/file_layer.h"
#include "json_output.h"
#include "primitives/dates.h"
#include "store/directory_instruments.h"
#include "store/directory_scan.h"
#include "store/file_names.h"
#include "store/master_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace qvx {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// DIR as the user gave it, without trailing separators.
std::string Shown(const std::string& dir) {
  std::string text = dir;
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return text;
}

}  // namespace

std::string CoreDirectory(const std::string& dir) {
  if (dir.empty()) return dir;
  std::string text = dir;
  while (!text.empty() && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return text + "\\";
}

float DateArgument(const std::string& text) {
  return text.find('-') != std::string::npos ? MakeDateFromIsoString(text.c_str())
                                             : MakeDateFromString(text.c_str());
}

void UseBinaryOutput() {
#ifdef _WIN32
  // Text mode would turn every "\n" into "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

bool StdoutSink::Write(const char* bytes, size_t size) {
  return std::fwrite(bytes, 1, size, stdout) == size && std::fflush(stdout) == 0;
}

void PrintJson(const Json& document) {
  std::cout << document.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

int Fail(const std::string& message) {
  std::cerr << message << '\n';
  return kExitFailure;
}

int Fail(const std::string& message, const std::string& cause) {
  return Fail(cause.empty() ? message : message + " (" + cause + ")");
}

std::optional<std::string> SearchableDirectory(const std::string& dir) {
  std::string core = CoreDirectory(dir);
  if (core.empty() || core == "\\" || IsValidPath(core.c_str()) == 0) return std::nullopt;
  return core;
}

bool DataDirectoriesBelow(const std::string& root, std::vector<std::string>* directories, int jobs) {
  NodeListPtr nodes(CreateList());
  if (!nodes || ScanRootDirectory(nodes.get(), root.c_str(), jobs - 1) == 0) return false;
  PruneDirTree(nodes.get());
  WalkDirTree(nodes.get(), [&](const DirNode& node, int) {
    if (node.hasMaster) directories->push_back(GetPathFromTree(&node));
  });
  return true;
}

std::string MissingDirectoryCause(const std::string& dir) {
  const std::string directory = CoreDirectory(dir);
  if (!directory.empty() && IsValidPath(directory.c_str())) return {};
  return "no such directory: " + Shown(dir);
}

std::string MissingMasterCause(const std::string& dir) {
  if (std::string cause = MissingDirectoryCause(dir); !cause.empty()) return cause;
  if (!Exists(MasterFileName(CoreDirectory(dir).c_str()).c_str())) return "no master file in " + Shown(dir);
  return {};
}

std::string MissingListedCause(const std::string& dir, int fileNumber) {
  if (fileNumber >= kFirstXmasterFileNumber) {
    if (std::string cause = MissingDirectoryCause(dir); !cause.empty()) return cause;
    if (FindDirectoryInstrument(CoreDirectory(dir).c_str(), fileNumber)) return {};
    return "no instrument F" + std::to_string(fileNumber) + " in the XMASTER file of " + Shown(dir);
  }
  if (std::string cause = MissingMasterCause(dir); !cause.empty()) return cause;
  MasterRecord record;
  if (!GetMetaStockMasterRecord(CoreDirectory(dir).c_str(), fileNumber, &record))
    return "no instrument F" + std::to_string(fileNumber) + " in the master file of " + Shown(dir);
  return {};
}

std::string MissingInstrumentCause(const std::string& dir, int fileNumber) {
  if (std::string cause = MissingListedCause(dir, fileNumber); !cause.empty()) return cause;
  const InstrumentFile kind =
      fileNumber >= kFirstXmasterFileNumber ? InstrumentFile::MWD : InstrumentFile::DAT;
  if (!Exists(InstrumentFileName(CoreDirectory(dir).c_str(), fileNumber, kind).c_str()))
    return "no data file " + Shown(dir) + kSeparator + InstrumentFileName("", fileNumber, kind);
  return {};
}

}  // namespace qvx
