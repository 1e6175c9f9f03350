#include "file_copy.h"

#include "error_rule.h"
#include "work_folder.h"

namespace dravelin {

namespace {

// One read and one write carry most client files; larger ones go in pieces of this size.
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

}  // namespace

void ReplaceProgram(const ProgramReplacement& steps) {
  steps.moveAside();
  try {
    steps.placeNew();
  } catch (const std::exception&) {
    if (!error_rule::Attempt(steps.moveBack)) error_rule::Attempt(steps.copyBack);
    throw;
  }
}

void FileCopier::removeLeftovers(const std::wstring& directory) {
  // Gone or empty when last looked at, and no copy has used it since: nothing to look for. Under
  // Wine, looking for a folder that is not there reads the whole directory, which can hold
  // thousands of files.
  {
    const std::lock_guard lock(mutex_);
    if (directory == cleared_) return;
    destinationDirectory_.clear();  // the folder is made again by the next copy that needs it
  }
  RemoveWorkFolder(directory, patience_);
  const std::lock_guard lock(mutex_);
  cleared_ = directory;
}

bool FileCopier::canWriteIn(const std::wstring& directory) {
  return inTemporaryDirectory(directory, MayMakeFilesIn);
}

std::wstring FileCopier::temporaryDirectory(const std::wstring& directory) {
  const std::lock_guard lock(mutex_);
  cleared_.clear();  // a copy is about to use the folder
  if (directory != destinationDirectory_) {
    temporaryDirectory_ = MakeWorkFolder(directory);
    destinationDirectory_ = directory;
  }
  return temporaryDirectory_;
}

void FileCopier::forgetWorkFolder() {
  const std::lock_guard lock(mutex_);
  destinationDirectory_.clear();
}

std::vector<char>& FileCopier::buffer() {
  thread_local std::vector<char> buffer(kCopyChunkBytes);
  return buffer;
}

}  // namespace dravelin
