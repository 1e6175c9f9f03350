// The turn of a client folder on POSIX: an exclusive flock on the folder itself. Every path that
// leads to the folder locks the same inode, and the lock goes with the process however it ends.
#include "turn.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "posix/file_descriptor.h"
#include "utf8.h"

namespace dravelin {

namespace {

class LockedFolder final : public Turn {
 public:
  explicit LockedFolder(const std::wstring& directory)
      : folder_(open(ToUtf8(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (folder_.get() < 0) throw RuntimeError("open (turn)", errno);
    while (flock(folder_.get(), LOCK_EX) != 0) {
      if (errno != EINTR) throw RuntimeError("flock (turn)", errno);
    }
  }

 private:
  FileDescriptor folder_;  // closing it gives the turn up
};

}  // namespace

std::unique_ptr<Turn> WaitForTurn(const std::wstring& directory) {
  return std::make_unique<LockedFolder>(directory);
}

}  // namespace dravelin
