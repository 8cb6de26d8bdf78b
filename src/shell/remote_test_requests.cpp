#include "shell/remote_test_requests.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "shell/command_line.h"
#include "store/messages.h"

namespace {

// A host-allocated block, given back to the host on every path.
class HostBlock {
 public:
  HostBlock(RemoteTestHost& host, size_t bytes) : host_(host), block_(host.Allocate(bytes)) {}
  ~HostBlock() {
    if (block_ != nullptr) host_.Free(block_);
  }
  HostBlock(const HostBlock&) = delete;
  HostBlock& operator=(const HostBlock&) = delete;

  void* get() const { return block_; }

 private:
  RemoteTestHost& host_;
  void* block_;
};

// The test codes copied into a host block, as the tests receive them.
template <size_t N>
std::span<const int32_t> FillTestList(HostBlock& block, const std::array<int32_t, N>& codes) {
  std::memcpy(block.get(), codes.data(), sizeof(int32_t) * N);
  return {static_cast<const int32_t*>(block.get()), N};
}

}  // namespace

void* RemoteTestHost::Allocate(size_t bytes) {
  return std::calloc(1, bytes);
}

void RemoteTestHost::Free(void* block) {
  std::free(block);
}

int32_t AnswerRemoteDATTest(const char* commandLine, RemoteTestHost& host) {
  if (commandLine == nullptr) {
    host.PostClose();
    return kRemoteRequestResult;
  }
  const PathPart path = ExtractTestPath(commandLine);
  if (path.status != PathPartStatus::kFound) {
    host.ShowError(kBadCommandLineMessage);
    return kRemoteRequestResult;
  }
  const FilePart file = ExtractFileNumber(commandLine);
  if (!file.present) {
    host.ShowError(kBadCommandLineMessage);
    host.PostClose();
    return kRemoteRequestResult;
  }

  HostBlock recordBlock(host, sizeof(MasterRecord));
  if (recordBlock.get() == nullptr) {
    host.ShowError(kOutOfMemoryMessage);
    host.PostClose();
    return kRemoteRequestResult;
  }
  auto& record = *static_cast<MasterRecord*>(recordBlock.get());
  if (!file.fileNumber || !host.ReadMasterRecord(path.directory, *file.fileNumber, record)) {
    host.ShowError(kInvalidInstrumentMessage);
    host.PostClose();
    return kRemoteRequestResult;
  }

  HostBlock testBlock(host, sizeof(int32_t) * kRemoteDATTests.size());
  if (testBlock.get() == nullptr) {
    host.ShowError(kOutOfMemoryMessage);
    host.PostClose();
    return kRemoteRequestResult;
  }
  host.RunDATTest(path.directory, *file.fileNumber, FillTestList(testBlock, kRemoteDATTests), record);
  host.PostClose();
  return kRemoteRequestResult;
}

int32_t AnswerRemoteMasterTest(const char* commandLine, RemoteTestHost& host) {
  const PathPart path = commandLine != nullptr ? ExtractTestPath(commandLine) : PathPart{};
  if (path.status != PathPartStatus::kFound) {
    host.ShowError(kBadCommandLineMessage);
    return kRemoteRequestResult;
  }
  host.ShowPath(path.directory);
  HostBlock testBlock(host, sizeof(int32_t) * kRemoteMasterTests.size());
  if (testBlock.get() == nullptr) {
    host.ShowError(kOutOfMemoryMessage);
    return kRemoteRequestResult;
  }
  host.RunMasterTest(path.directory, FillTestList(testBlock, kRemoteMasterTests));
  return kRemoteRequestResult;
}
