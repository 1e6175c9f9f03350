#include "test_tree.h"

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "utf8.h"
#include "work_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "win32/file_times.h"
#include "win32/handles.h"
#include "win32/last_error.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dravelin::testing {

// std::filesystem turns wide names into bytes through the C library's locale, which knows no
// Hangul in the "C" locale; the engine's POSIX paths are UTF-8, so the tests' are too.
fs::path Path(std::wstring_view name) {
#ifdef _WIN32
  return fs::path(name);
#else
  return fs::path(ToUtf8(name));
#endif
}

std::wstring Wide(const fs::path& path) {
#ifdef _WIN32
  return path.wstring();
#else
  return FromUtf8(path.string());
#endif
}

TempTree::TempTree() {
  static std::atomic<int> counter{0};
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  root_ = fs::temp_directory_path() /
          ("dravelin-test-" + std::to_string(pid) + "-" + std::to_string(counter++));
  fs::remove_all(root_);
  fs::create_directories(root_);
}

TempTree::~TempTree() {
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
    MakeReadOnly(Wide(entry.path()), false);
  }
  fs::remove_all(root_, ignored);
}

std::wstring TempTree::write(std::wstring_view name, std::string_view bytes) const {
  const fs::path file = root_ / Path(name);
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write test file");
  return Wide(file);
}

std::wstring TempTree::makeDirectory(std::wstring_view name) const {
  fs::create_directories(root_ / Path(name));
  return Wide(root_ / Path(name));
}

#ifdef _WIN32
// Shared for everything, as a reader that only looks should be: a marker renamed into place
// shows under its name while the handle that renamed it (opened for deleting) may still be open,
// and a reader that does not share deleting then fails with a sharing violation.
std::string ReadAll(const std::wstring& file) {
  const win::UniqueFile in(CreateFileW(file.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  if (!in) return bytes;  // nothing to read, as from a stream that did not open
  constexpr DWORD kPieceBytes = 1 << 16;
  std::string piece(kPieceBytes, '\0');
  DWORD got = 0;
  while (::ReadFile(in.get(), piece.data(), kPieceBytes, &got, nullptr) && got > 0) {
    bytes.append(piece.data(), got);
  }
  return bytes;
}
#else
std::string ReadAll(const std::wstring& file) {
  std::ifstream in(Path(file), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}
#endif

#ifdef _WIN32

namespace {
void SetAttribute(const std::wstring& file, DWORD attribute, bool on) {
  const DWORD current = GetFileAttributesW(file.c_str());
  if (current == INVALID_FILE_ATTRIBUTES) win::ThrowLastError("GetFileAttributesW");
  SetFileAttributesW(file.c_str(), on ? current | attribute : current & ~attribute);
}
}  // namespace

void SetModified(const std::wstring& file, FileTime time) {
  const win::UniqueFile opened(CreateFileW(
      file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!opened) win::ThrowLastError("CreateFileW (to set a time)");
  const FILETIME modified = win::FiletimeAt(time);
  if (!SetFileTime(opened.get(), nullptr, nullptr, &modified)) win::ThrowLastError("SetFileTime");
}

FileTime Modified(const std::wstring& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    win::ThrowLastError("GetFileAttributesExW");
  }
  return win::SecondsOf(data.ftLastWriteTime);
}

void MakeHidden(const std::wstring& file) { SetAttribute(file, FILE_ATTRIBUTE_HIDDEN, true); }
void MakeSystemFile(const std::wstring& file) { SetAttribute(file, FILE_ATTRIBUTE_SYSTEM, true); }
void MakeReadOnly(const std::wstring& file, bool readOnly) {
  SetAttribute(file, FILE_ATTRIBUTE_READONLY, readOnly);
}

#else

void SetModified(const std::wstring& file, FileTime time) {
  const timespec times[2] = {{time, 0}, {time, 0}};
  if (utimensat(AT_FDCWD, Path(file).c_str(), times, 0) != 0) throw std::runtime_error("utimensat");
}

FileTime Modified(const std::wstring& file) {
  struct stat info {};
  if (stat(Path(file).c_str(), &info) != 0) throw std::runtime_error("stat");
  return info.st_mtim.tv_sec;
}

void MakeHidden(const std::wstring& file) {
  if (Path(file).filename().string().front() != '.') {
    throw std::logic_error("hidden names start with a dot");
  }
}
void MakeSystemFile(const std::wstring&) {}
void MakeReadOnly(const std::wstring& file, bool readOnly) {
  std::error_code ignored;
  fs::permissions(Path(file), fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add, ignored);
}

#endif

std::set<std::wstring> TemporaryFilesIn(const std::wstring& directory) {
  std::set<std::wstring> files;
  const auto collectIn = [&](const fs::path& folder) {
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
      if (IsTemporaryName(Wide(entry.path().filename()))) files.insert(Wide(entry.path()));
    }
  };
  collectIn(Path(directory));
  collectIn(Path(directory) / Path(kWorkFolderName));
  return files;
}

int CountLeftovers(const std::wstring& directory) {
  return static_cast<int>(TemporaryFilesIn(directory).size());
}

std::set<std::wstring> ListedNames(Listing& listing) {
  std::set<std::wstring> names;
  while (const auto entry = listing.next()) names.insert(entry->name);
  return names;
}

FileTime TimeOf(Runtime& runtime, const std::wstring& file) {
  const std::optional<DirEntry> found = runtime.lookUp(file);
  if (!found) throw std::runtime_error("nothing to look up");
  return found->modified;
}

FileVersion ListedVersion(Runtime& runtime, const std::wstring& file) {
  const std::optional<DirEntry> listed = runtime.listFiles(file)->next();
  return listed ? listed->version() : FileVersion{};
}

void CopyAsListed(Runtime& runtime, const std::wstring& source, const std::wstring& destination) {
  runtime.copyFile(source, destination, ListedVersion(runtime, source), ListedDestination::Present);
}

int FilesInWorkFolder(const std::wstring& directory) {
  std::error_code missing;
  const fs::directory_iterator files(Path(directory) / Path(kWorkFolderName), missing);
  return static_cast<int>(std::distance(fs::begin(files), fs::end(files)));
}

bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
  return true;
}

bool WorkFolderPresent(const std::wstring& directory) {
  return fs::exists(Path(directory) / Path(kWorkFolderName));
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const fs::path& directory)
    : previous_(fs::current_path()) {
  fs::current_path(directory);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  std::error_code ignored;  // a destructor cannot throw; the directory was there a moment ago
  fs::current_path(previous_, ignored);
}

#ifdef _WIN32

UtcClock::UtcClock() {
  TIME_ZONE_INFORMATION zone{};
  const DWORD result = GetTimeZoneInformation(&zone);
  const bool utc =
      result != TIME_ZONE_ID_INVALID && zone.Bias == 0 && zone.DaylightDate.wMonth == 0;
  if (!utc) throw std::runtime_error("this test needs the system zone at UTC (start with TZ=UTC)");
}

#else

UtcClock::UtcClock() = default;

ScopedTimeZone::ScopedTimeZone(const char* tz) {
  const char* previous = std::getenv("TZ");
  hadPrevious_ = previous != nullptr;
  if (previous) previous_ = previous;
  setenv("TZ", tz, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadPrevious_)
    setenv("TZ", previous_.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

#endif

}  // namespace dravelin::testing
