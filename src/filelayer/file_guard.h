// Closes a FileHandle on every path out of a scope.
#pragma once

#include "filelayer/file_layer.h"

// Owns one handle from SOpenFile (a negative code is held too, and simply not
// closed). Move-only.
class FileGuard {
 public:
  explicit FileGuard(FileHandle handle) : handle_(handle) {}
  ~FileGuard() { Close(); }
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;
  FileGuard(FileGuard&& other) noexcept : handle_(other.Release()) {}
  FileGuard& operator=(FileGuard&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }

  FileHandle Get() const { return handle_; }
  bool Valid() const { return handle_ >= 0 && ValidFile(handle_) != 0; }
  // Closes now; the guard then holds kClosedHandle.
  void Close() {
    if (handle_ >= 0) handle_ = SCloseFile(handle_);
  }
  // Gives up ownership without closing.
  FileHandle Release() {
    FileHandle handle = handle_;
    handle_ = kClosedHandle;
    return handle;
  }

 private:
  FileHandle handle_;
};
