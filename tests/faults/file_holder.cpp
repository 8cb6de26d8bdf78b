// Holds a file open for writing, sharing reading only, as another program
// writing it would, so that the fault tests can meet a file held by a second
// process.
//
//   file_holder <file> <held event> <let-go event> <parent process id>
//
// The two events are named events the parent created. The holder opens the
// file, signals the held event, and waits until the let-go event is signalled,
// the parent ends or a minute passes, whichever comes first: it never outlives
// the test that started it by long.
//
// Exit codes: 0 let go when told; 1 bad command line or events missing; 2 the
// file could not be opened; 3 the parent ended first; 4 the minute passed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr DWORD kTimeLimitMs = 60000;

// Closes a handle on every path out.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() {
    if (handle_) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HANDLE handle_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: file_holder <file> <held event> <let-go event> <parent process id>\n");
    return 1;
  }
  const Handle held(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
  const Handle letGo(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
  const Handle parent(OpenProcess(SYNCHRONIZE, FALSE, std::strtoul(argv[4], nullptr, 10)));
  if (!held || !letGo || !parent) {
    std::fprintf(stderr, "file_holder: cannot reach the events or the parent process\n");
    return 1;
  }
  const Handle file(CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    std::fprintf(stderr, "file_holder: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  SetEvent(held.Get());
  const HANDLE waits[] = {letGo.Get(), parent.Get()};
  switch (WaitForMultipleObjects(2, waits, FALSE, kTimeLimitMs)) {
    case WAIT_OBJECT_0:
      return 0;
    case WAIT_OBJECT_0 + 1:
      return 3;
    default:
      return 4;
  }
}
