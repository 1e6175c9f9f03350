// An owned POSIX file descriptor, closed exactly once on every path.
#pragma once

#include <unistd.h>

#include <cerrno>

#include "runtime_error.h"

namespace dravelin {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now and reports the error that a deferred write may only show at close time.
  void closeChecked(const char* what) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw RuntimeError(what, errno);
  }

 private:
  int fd_;
};

}  // namespace dravelin
