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
  LockedFolder(const std::wstring& directory, const TurnNotice& firstLook)
      : folder_(open(ToUtf8(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (folder_.get() < 0) throw RuntimeError("open (turn)", errno);
    const bool free = lock(LOCK_EX | LOCK_NB);
    firstLook(!free);
    if (!free) lock(LOCK_EX);
  }

 private:
  // Says whether the lock was taken; false only when it would have had to wait (LOCK_NB).
  bool lock(int operation) {
    while (flock(folder_.get(), operation) != 0) {
      if (errno == EWOULDBLOCK && (operation & LOCK_NB)) return false;
      if (errno != EINTR) throw RuntimeError("flock (turn)", errno);
    }
    return true;
  }

  FileDescriptor folder_;  // closing it gives the turn up
};

}  // namespace

std::unique_ptr<Turn> WaitForTurn(const std::wstring& directory, const TurnNotice& firstLook) {
  return std::make_unique<LockedFolder>(directory, firstLook);
}

// No sessions here: every run of a folder takes its whole turn (above), so none does work in the
// folder while another does, and the work turn is always free.
std::unique_ptr<Turn> TryWorkTurn(const std::wstring&) { return std::make_unique<Turn>(); }

}  // namespace dravelin
