#include "held_file.h"

#include "filelayer/platform_file.h"
#include "support/program_runner.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#endif

namespace faults_test {

namespace {

class InProcessHold : public FileHold {
 public:
  explicit InProcessHold(const std::string& coreName) {
    platform::OpenRequest request;
    request.access = platform::Access::ReadWrite;
    request.shareRead = true;
    file_ = platform::Open(coreName, request);
    held_ = file_ != nullptr;
  }
  ~InProcessHold() override { LetGo(); }
  bool Holds() const override { return file_ != nullptr; }
  bool LetGo() override {
    platform::Close(file_);
    file_ = nullptr;
    return held_;
  }
  std::string Problem() const override { return held_ ? "" : "the file could not be opened"; }

 private:
  platform::FileRef file_ = nullptr;
  bool held_ = false;
};

#ifdef _WIN32

// Long enough for a loaded machine to start a process under Wine; far below
// the holder's own minute.
constexpr DWORD kWaitMs = 30000;

class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() { Reset(nullptr); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  void Reset(HANDLE handle) {
    if (handle_) CloseHandle(handle_);
    handle_ = handle;
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

using testing_support::HostPath;
using testing_support::QuoteArgument;

class ProcessHold : public FileHold {
 public:
  explicit ProcessHold(const std::string& coreName) {
    static std::atomic<unsigned> serial{0};
    const std::string base =
        "QuorvexFileHolder-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
    const std::string heldName = base + "-held", letGoName = base + "-letgo";
    held_.Reset(CreateEventA(nullptr, TRUE, FALSE, heldName.c_str()));
    letGo_.Reset(CreateEventA(nullptr, TRUE, FALSE, letGoName.c_str()));
    if (!held_.Get() || !letGo_.Get()) {
      problem_ = "cannot create the events (error " + std::to_string(GetLastError()) + ")";
      return;
    }
    std::string command = QuoteArgument(HostPath(QUORVEX_FILE_HOLDER)) + " " + QuoteArgument(coreName) + " " +
                          QuoteArgument(heldName) + " " + QuoteArgument(letGoName) + " " +
                          std::to_string(GetCurrentProcessId());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
      problem_ = "cannot start " + command + " (error " + std::to_string(GetLastError()) + ")";
      return;
    }
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    const HANDLE waits[] = {held_.Get(), process_.Get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kWaitMs);
    if (woke == WAIT_OBJECT_0) {
      holds_ = true;
      return;
    }
    problem_ = woke == WAIT_OBJECT_0 + 1 ? "file_holder ended before holding the file"
                                         : "file_holder did not report holding the file in time";
    Reap();
  }
  ~ProcessHold() override { LetGo(); }
  bool Holds() const override { return holds_; }
  bool LetGo() override {
    if (!holds_) return letGoAsTold_;
    holds_ = false;
    SetEvent(letGo_.Get());
    letGoAsTold_ = Reap() && exitCode_ == 0;
    if (!letGoAsTold_ && problem_.empty()) {
      problem_ = "file_holder ended with " + std::to_string(exitCode_) + " when told to let go";
    }
    return letGoAsTold_;
  }
  std::string Problem() const override {
    if (exitCode_ != kNoExitCode && !problem_.empty()) {
      return problem_ + " (exit code " + std::to_string(exitCode_) + ")";
    }
    return problem_;
  }

 private:
  static constexpr DWORD kNoExitCode = 0xFFFFFFFF;

  // Waits for the process to end, ends it when it does not in time, and keeps
  // its exit code. True when it ended by itself.
  bool Reap() {
    if (!process_.Get()) return false;
    bool ended = WaitForSingleObject(process_.Get(), kWaitMs) == WAIT_OBJECT_0;
    if (!ended) {
      problem_ = "file_holder did not end in time and was terminated";
      TerminateProcess(process_.Get(), kNoExitCode);
      WaitForSingleObject(process_.Get(), kWaitMs);
    }
    DWORD code = kNoExitCode;
    if (GetExitCodeProcess(process_.Get(), &code)) exitCode_ = code;
    process_.Reset(nullptr);
    return ended;
  }

  OwnedHandle held_, letGo_, process_;
  bool holds_ = false;
  bool letGoAsTold_ = false;
  DWORD exitCode_ = kNoExitCode;
  std::string problem_;
};

#endif

}  // namespace

std::vector<Holder> AvailableHolders() {
#ifdef _WIN32
  return {Holder::ThisProcess, Holder::AnotherProcess};
#else
  return {Holder::ThisProcess};
#endif
}

const char* HolderName(Holder holder) {
  return holder == Holder::ThisProcess ? "ThisProcess" : "AnotherProcess";
}

std::unique_ptr<FileHold> HoldForWriting(Holder holder, const std::string& coreName) {
#ifdef _WIN32
  if (holder == Holder::AnotherProcess) return std::make_unique<ProcessHold>(coreName);
#endif
  (void)holder;
  return std::make_unique<InProcessHold>(coreName);
}

}  // namespace faults_test
