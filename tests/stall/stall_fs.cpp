// stall-fs: a read-only FUSE view of a directory whose listings and reads can be made to stall on
// request, so that tests see what a program does while a server directory does not answer.
//
//   stall-fs SOURCE-DIR CONTROL-DIR MOUNTPOINT [-f] [-d] [-o OPTION,...]
//
// MOUNTPOINT shows SOURCE-DIR read-only; the tests write SOURCE-DIR directly. Only a listing
// (readdir) and a read of a file's data (read) ever stall: a stalled lookup, getattr or open
// would hold Wine's server, and with it every Wine process, which tells nothing about Windows.
// Without -f it goes to the background once mounted, as FUSE file systems do.
//
// Requests are files that the tests leave in CONTROL-DIR (written under another name and renamed,
// so that no request is seen half-written; the next request of a kind only once the previous one
// has been taken, i.e. its "-stalled" marker is there):
//   stall-listing   "MILLISECONDS": the next listing of any directory of the mount takes the
//                   request (removes it by a rename, so exactly one listing stalls), then stalls.
//   stall-read      "MILLISECONDS NAME", NAME a file relative to the mount's root in UTF-8, as
//                   "folder/file.dat": the next read of that file takes the request and stalls.
//   latency         "MILLISECONDS": while it is there, every listing and every read waits that
//                   long before it is answered, as a far server's would; requests wait side by
//                   side (the file system answers on several threads), as they overlap on a
//                   real server. Only listings and reads wait, for the reason above.
// A stall replaces the markers of its kind: it removes KIND-resumed, writes KIND-stalled, sleeps
// for the time asked, writes KIND-resumed, then answers normally (KIND: "listing" or "read").
// Each marker holds the directory or file stalled, relative to the root ("." for the root), and
// is written under another name and renamed into place.
//
// While a listing of a directory stalls, the kernel holds back lookups of names in that same
// directory that it does not know yet: libfuse before 3.17.1 (Debian 12 has 3.14) never tells
// it that lookups may run beside a listing (FUSE_PARALLEL_DIROPS). Names already looked up, and
// everything in other directories, are answered meanwhile. A test that opens a new name in the
// stalled directory during a listing stall would hold Wine's server with it.
//
// Nothing is cached by the kernel: every open reads with direct I/O (the page cache would answer
// a second read of a file without asking), listings are never kept (no cache_readdir), and names
// and attributes are looked up again each time, since the tests change SOURCE-DIR as they go.
#define FUSE_USE_VERSION 35

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Milliseconds = std::chrono::milliseconds;

constexpr std::string_view kListingRequest = "stall-listing";
constexpr std::string_view kReadRequest = "stall-read";
constexpr std::string_view kLatencyRequest = "latency";
constexpr std::string_view kListingKind = "listing";
constexpr std::string_view kReadKind = "read";
constexpr std::size_t kControlFileLimit = 4096;  // requests are one short line

class SystemError : public std::runtime_error {
 public:
  SystemError(const std::string& call, int error)
      : std::runtime_error(call + " failed: " + std::strerror(error)) {}
};

struct Places {
  std::string source;   // the directory shown, without a closing slash
  std::string control;  // where requests are left and markers written
};

const Places& Here() { return *static_cast<const Places*>(fuse_get_context()->private_data); }

// FUSE paths begin with '/', the root being "/" itself.
std::string SourcePath(const char* path) { return Here().source + path; }
std::string RelativeName(const char* path) { return path[1] == '\0' ? "." : path + 1; }
std::string ControlPath(std::string_view name) { return Here().control + "/" + std::string(name); }

// A name of this thread's own in the control directory, for writing and taking files.
std::string PrivateControlPath(std::string_view name, std::string_view purpose) {
  // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on the chain of + it replaces.
  std::string file = ".";
  file.append(name).append(".").append(purpose).append(".").append(std::to_string(::gettid()));
  return ControlPath(file);
}

struct Descriptor {
  int fd;
  ~Descriptor() { ::close(fd); }
};

// The file's contents; nullopt when there is no such file.
std::optional<std::string> ReadControlFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw SystemError("open " + path, errno);
  }
  const Descriptor file{fd};
  std::string text(kControlFileLimit, '\0');
  const ssize_t length = ::read(file.fd, text.data(), text.size());
  if (length < 0) throw SystemError("read " + path, errno);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void WriteMarker(std::string_view kind, std::string_view state, std::string_view text) {
  const std::string name = std::string(kind) + "-" + std::string(state);
  const std::string partial = PrivateControlPath(name, "partial");
  const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw SystemError("open " + partial, errno);
  {
    const Descriptor file{fd};
    if (::write(file.fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
      throw SystemError("write " + partial, errno);
  }
  if (::rename(partial.c_str(), ControlPath(name).c_str()) != 0)
    throw SystemError("rename " + partial, errno);
}

void RemoveMarker(std::string_view kind, std::string_view state) {
  const std::string path = ControlPath(std::string(kind) + "-" + std::string(state));
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw SystemError("unlink " + path, errno);
}

// Takes the request away by renaming it: of several requests racing for it, one gets the text.
std::optional<std::string> TakeRequest(std::string_view request) {
  const std::string taken = PrivateControlPath(request, "taken");
  if (::rename(ControlPath(request).c_str(), taken.c_str()) != 0) {
    if (errno == ENOENT) return std::nullopt;
    throw SystemError("rename " + ControlPath(request), errno);
  }
  std::optional<std::string> text = ReadControlFile(taken);
  if (::unlink(taken.c_str()) != 0) throw SystemError("unlink " + taken, errno);
  return text;
}

std::string_view TrimLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// "MILLISECONDS" or "MILLISECONDS REST": the time and the rest (empty when none).
std::pair<Milliseconds, std::string> ParseRequest(std::string_view request, std::string_view text) {
  text = TrimLineEnd(text);
  long long count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  const std::string_view rest(end, static_cast<std::size_t>(text.data() + text.size() - end));
  if (error != std::errc() || count < 0 || (!rest.empty() && rest.front() != ' ')) {
    throw std::invalid_argument(std::string(request) + " holds no number of milliseconds: \"" +
                                std::string(text) + "\"");
  }
  return {Milliseconds(count), std::string(rest.empty() ? rest : rest.substr(1))};
}

void Stall(std::string_view kind, const std::string& what, Milliseconds length) {
  RemoveMarker(kind, "resumed");
  WriteMarker(kind, "stalled", what);
  std::this_thread::sleep_for(length);
  WriteMarker(kind, "resumed", what);
}

void StallListingIfAsked(const char* path) {
  const std::optional<std::string> request = TakeRequest(kListingRequest);
  if (!request) return;
  Stall(kListingKind, RelativeName(path), ParseRequest(kListingRequest, *request).first);
}

void StallReadIfAsked(const char* path) {
  // Only a read of the file named takes the request; reads of other files leave it.
  const std::optional<std::string> waiting = ReadControlFile(ControlPath(kReadRequest));
  if (!waiting) return;
  const std::string name = RelativeName(path);
  if (ParseRequest(kReadRequest, *waiting).second != name) return;
  const std::optional<std::string> request = TakeRequest(kReadRequest);
  if (!request) return;  // another read of the file took it first
  Stall(kReadKind, name, ParseRequest(kReadRequest, *request).first);
}

// A far server's round trip, where the tests ask for one.
void WaitAsAFarServer() {
  const std::optional<std::string> latency = ReadControlFile(ControlPath(kLatencyRequest));
  if (latency) std::this_thread::sleep_for(ParseRequest(kLatencyRequest, *latency).first);
}

// Runs one request's work: a failure of the control protocol is logged and answered as an
// input/output error, which the program under test then meets like any other.
template <typename Work>
int Answer(const char* operation, const char* path, Work&& work) {
  try {
    return work();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "stall-fs: %s %s: %s\n", operation, path, error.what());
    return -EIO;
  }
}

void* Init(fuse_conn_info*, fuse_config* config) {
  config->direct_io = 1;
  config->kernel_cache = 0;
  config->auto_cache = 0;
  config->entry_timeout = 0;
  config->negative_timeout = 0;
  config->attr_timeout = 0;
  return fuse_get_context()->private_data;
}

int GetAttributes(const char* path, struct stat* attributes, fuse_file_info* file) {
  const int result = file ? ::fstat(static_cast<int>(file->fh), attributes)
                          : ::lstat(SourcePath(path).c_str(), attributes);
  return result == 0 ? 0 : -errno;
}

int ReadDirectory(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                  fuse_readdir_flags) {
  return Answer("readdir", path, [&] {
    StallListingIfAsked(path);
    WaitAsAFarServer();
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(SourcePath(path).c_str()),
                                                        ::closedir);
    if (!directory) return -errno;
    for (;;) {
      errno = 0;  // readdir's end and its failure differ only in errno
      const dirent* entry = ::readdir(directory.get());
      if (!entry) return -errno;
      struct stat attributes {};
      attributes.st_ino = entry->d_ino;
      attributes.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
      if (fill(buffer, entry->d_name, &attributes, 0, fuse_fill_dir_flags{}) != 0) return 0;
    }
  });
}

int Open(const char* path, fuse_file_info* file) {
  if ((file->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  const int fd = ::open(SourcePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -errno;
  file->fh = static_cast<std::uint64_t>(fd);
  file->direct_io = 1;
  file->keep_cache = 0;
  return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
  return Answer("read", path, [&] {
    StallReadIfAsked(path);
    WaitAsAFarServer();
    const ssize_t length = ::pread(static_cast<int>(file->fh), buffer, size, offset);
    return length < 0 ? -errno : static_cast<int>(length);
  });
}

int Release(const char*, fuse_file_info* file) {
  ::close(static_cast<int>(file->fh));
  return 0;
}

int FileSystemStatistics(const char* path, struct statvfs* statistics) {
  return ::statvfs(SourcePath(path).c_str(), statistics) == 0 ? 0 : -errno;
}

fuse_operations Operations() {
  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttributes;
  operations.readdir = ReadDirectory;
  operations.open = Open;
  operations.read = Read;
  operations.release = Release;
  operations.statfs = FileSystemStatistics;
  return operations;
}

std::string AbsoluteDirectory(const char* path) {
  const std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path, nullptr), std::free);
  if (!resolved) throw SystemError(std::string("realpath ") + path, errno);
  struct stat attributes {};
  if (::stat(resolved.get(), &attributes) != 0) throw SystemError("stat", errno);
  if (!S_ISDIR(attributes.st_mode))
    throw std::invalid_argument(std::string(path) + " is no directory");
  return resolved.get();
}

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s SOURCE-DIR CONTROL-DIR MOUNTPOINT [-f] [-d] [-o OPTION,...]\n",
               program);
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  constexpr int kFirstFuseArgument = 3;  // the program, the source and the control directory
  if (argc <= kFirstFuseArgument) return Usage(argv[0]);
  // FUSE takes the mount point and its options; a stall needs its multi-threaded loop, so that
  // other requests are answered meanwhile, which -s (single-threaded) would forbid.
  std::vector<char*> fuseArguments{argv[0]};
  for (int i = kFirstFuseArgument; i < argc; ++i) {
    if (std::string_view(argv[i]) == "-s") return Usage(argv[0]);
    fuseArguments.push_back(argv[i]);
  }
  Places places;
  try {
    places = {AbsoluteDirectory(argv[1]), AbsoluteDirectory(argv[2])};
  } catch (const std::exception& error) {
    std::fprintf(stderr, "stall-fs: %s\n", error.what());
    return 1;
  }
  const fuse_operations operations = Operations();
  return fuse_main(static_cast<int>(fuseArguments.size()), fuseArguments.data(), &operations,
                   &places);
}
