#include "file_copy.h"

#include "work_folder.h"

namespace dravelin {

namespace {

// One read and one write carry most client files; larger ones go in pieces of this size.
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

}  // namespace

const std::wstring& FileCopier::temporaryDirectory(const std::wstring& directory) {
  if (directory != destinationDirectory_) {
    temporaryDirectory_ = MakeWorkFolder(directory);
    destinationDirectory_ = directory;
  }
  return temporaryDirectory_;
}

std::vector<char>& FileCopier::buffer() {
  if (buffer_.empty()) buffer_.resize(kCopyChunkBytes);
  return buffer_;
}

}  // namespace dravelin
