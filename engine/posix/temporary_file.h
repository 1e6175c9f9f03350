// A temporary file of the work folder on POSIX: made with a name of its own, removed again unless
// it was renamed into place.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "posix/file_descriptor.h"
#include "runtime_error.h"
#include "utf8.h"
#include "work_folder.h"

namespace dravelin {

class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& directory) {
    const std::string prefix = ToUtf8(std::wstring(kTemporaryPrefix));
    const std::string suffix = ToUtf8(std::wstring(kTemporarySuffix));
    path_ = directory + "/" + prefix + "XXXXXX" + suffix;
    fd_.reset(mkstemps(path_.data(), static_cast<int>(suffix.size())));
    if (fd_.get() < 0) throw RuntimeError("mkstemps", errno);
  }
  ~TemporaryFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  FileDescriptor& fd() { return fd_; }
  void renameTo(const std::string& destination) {
    if (rename(path_.c_str(), destination.c_str()) != 0) throw RuntimeError("rename", errno);
    path_.clear();
  }

 private:
  std::string path_;
  FileDescriptor fd_;
};

}  // namespace dravelin
