// The update's copy on POSIX: the source read through one descriptor held from start to end into
// a temporary file in the work folder, checked to be whole and of one version, synced to the disk,
// and renamed into place. A running program's file needs nothing special here: rename replaces it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "file_copy.h"
#include "path_parts.h"
#include "posix/file_descriptor.h"
#include "runtime_error.h"
#include "temporary_file.h"
#include "utf8.h"
#include "work_folder.h"

namespace dravelin {

namespace {

// Plain reads and writes: for file systems that cannot copy between files themselves.
std::uint64_t CopyByReading(int from, int to, std::vector<char>& buffer) {
  std::uint64_t copied = 0;
  for (;;) {
    const ssize_t got = read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw RuntimeError("read", errno);
    if (got == 0) return copied;
    copied += static_cast<std::uint64_t>(got);
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw RuntimeError("write", errno);
      done += put;
    }
  }
}

// copy_file_range lets the kernel (or the file system: a reflink, a server-side copy) move the
// data without a trip through this process. Where it is not supported for this pair of files,
// nothing has been written yet and the plain copy takes over. Both read to the source's end and
// give the number of bytes that came.
std::uint64_t CopyData(int from, int to, std::vector<char>& buffer) {
  constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
  std::uint64_t copied = 0;
  for (;;) {
    const ssize_t got = copy_file_range(from, nullptr, to, nullptr, kMaxChunk, 0);
    if (got > 0) {
      copied += static_cast<std::uint64_t>(got);
      continue;
    }
    if (got == 0) return copied;
    if (errno == EINTR) continue;
    const bool unsupported = errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                             errno == EINVAL || errno == EBADF;
    if (copied == 0 && unsupported) return CopyByReading(from, to, buffer);
    throw RuntimeError("copy_file_range", errno);
  }
}

struct stat StateOf(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) throw RuntimeError("fstat (source)", errno);
  return info;
}

bool SameVersion(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

FileVersion VersionOf(const struct stat& info) {
  return {static_cast<FileTime>(info.st_mtim.tv_sec), static_cast<std::uint64_t>(info.st_size)};
}

}  // namespace

// Nothing of a copy here is played by tests.
struct CopyCalls {};

const CopyCalls& SystemCopyCalls() {
  static const CopyCalls calls;
  return calls;
}

void FileCopier::copyOver(const std::wstring& source, const std::wstring& destination,
                          const FileVersion& listed, ListedDestination) {
  const FileDescriptor from(open(ToUtf8(source).c_str(), O_RDONLY | O_CLOEXEC));
  if (from.get() < 0) throw RuntimeError("open", errno);
  const struct stat start = StateOf(from.get());
  if (!S_ISREG(start.st_mode)) throw RuntimeError("open (not a file)", EISDIR);
  if (VersionOf(start) != listed) throw SourceChanged("the source is not the listed version");

  TemporaryFile temporary = inTemporaryDirectory(
      DirectoryOf(destination),
      [](const std::wstring& folder) { return TemporaryFile(ToUtf8(folder)); });
  const int to = temporary.fd().get();
  const std::uint64_t copied = CopyData(from.get(), to, buffer());
  if (copied != static_cast<std::uint64_t>(start.st_size)) {
    throw SourceChanged("the source's reading did not end at its end");
  }
  if (!SameVersion(StateOf(from.get()), start)) {
    throw SourceChanged("the source changed while it was copied");
  }
  // Writable by its owner whatever the source's mode: a copy that could not be updated again is
  // no copy of a client's file.
  if (fchmod(to, (start.st_mode & 07777) | S_IWUSR) != 0) throw RuntimeError("fchmod", errno);
  const timespec times[2] = {start.st_atim, start.st_mtim};
  if (futimens(to, times) != 0) throw RuntimeError("futimens", errno);
  // On the disk before the rename shows it under the destination's name.
  if (fsync(to) != 0) throw RuntimeError("fsync", errno);
  temporary.fd().closeChecked("close");
  temporary.renameTo(ToUtf8(destination));
}

}  // namespace dravelin
