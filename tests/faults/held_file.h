// A file held open for writing, sharing reading only, by someone other than
// the code under test: another handle of this process (through the platform
// backend, whose POSIX emulation keeps the sharing rules between opens of one
// process), or, on Windows, the file_holder program running as a second
// process.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace faults_test {

enum class Holder { ThisProcess, AnotherProcess };

// The holders this build can set up: another process only on Windows.
std::vector<Holder> AvailableHolders();
const char* HolderName(Holder holder);
inline void PrintTo(Holder holder, std::ostream* out) {
  *out << HolderName(holder);
}

class FileHold {
 public:
  // Lets go if not done yet.
  virtual ~FileHold() = default;
  // True while the file is held.
  virtual bool Holds() const = 0;
  // Gives the file up and waits until it is free. True when the holder had
  // held it and let go as told; calling it again returns the same.
  virtual bool LetGo() = 0;
  // What went wrong in holding or letting go, for failure messages.
  virtual std::string Problem() const = 0;
};

// Opens coreName (the core's file text) for reading and writing, sharing
// reading, and keeps it open until LetGo or destruction. When the open fails,
// Holds() is false and Problem() says why; never null.
std::unique_ptr<FileHold> HoldForWriting(Holder holder, const std::string& coreName);

}  // namespace faults_test
