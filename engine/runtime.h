// The system services the engine needs, behind one small interface with a Win32 side
// (win32/runtime.cpp, wide-character APIs only) and a POSIX side (posix/runtime.cpp).
// Every operation reports failure by throwing RuntimeError (naming the call); none shows anything.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "clock.h"

namespace dravelin {

// Last-modified time in whole seconds since 1970-01-01 00:00:00 UTC. Timestamps are shown and
// compared to the second, so finer parts are dropped (rounded towards the past).
using FileTime = std::int64_t;

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// One version of a file's contents, as a listing shows it: its size and last-modified time.
struct FileVersion {
  FileTime modified = 0;
  std::uint64_t bytes = 0;
  bool operator==(const FileVersion&) const = default;
};

// What the listing of the program directory showed under a copy's name. Where it showed nothing,
// the copy does not look there again: a file put there since is neither the running program nor
// one that Windows lets a rename replace while it is read-only, and under Wine looking for a name
// that is not there reads the whole directory.
enum class ListedDestination { Missing, Present };

struct DirEntry {
  std::wstring name;  // without its directory
  FileTime modified;
  std::uint64_t bytes = 0;  // the file's size (0 for a directory)
  bool folder = false;

  FileVersion version() const { return {modified, bytes}; }
};

// One pass over a directory listing. Entries come in the order the system gives them.
class Listing {
 public:
  virtual ~Listing() = default;
  virtual std::optional<DirEntry> next() = 0;  // nullopt after the last entry
};

// Sequential input of one text file, read as raw bytes (the file is in code page 949).
// The file is closed when the object goes away, on every path.
class TextInput {
 public:
  virtual ~TextInput() = default;
  virtual bool atEnd() = 0;
  // The next line without its line end. CR LF ends a line, and so does a bare LF.
  virtual std::string readLine() = 0;
};

// A run's turn in its client folder, held for the object's life and given up with it (or with
// the process, however it ends).
class Turn {
 public:
  virtual ~Turn() = default;
};

// A window of the program as the system knows it (an HWND on Windows), to own what the system
// shows on the program's behalf; null for none.
using NativeWindow = void*;

// Told once, as soon as it is known and before any wait: whether another run holds the turn, so
// that this run waits for it.
using TurnNotice = std::function<void(bool othersFirst)>;

class Runtime {
 public:
  virtual ~Runtime() = default;

  // The directory that holds the running program, without a trailing separator.
  virtual std::wstring programDirectory() = 0;

  // Waits until no other run of the program in this session holds the turn of `directory`, then
  // holds it for the whole run: a double click too many waits for the first run's questions.
  // Runs in different folders never wait for each other, nor do runs of different sessions (other
  // users of a terminal server; see tryWorkTurn). A run that was killed or crashed holding it gives
  // it up with its process. Throws when the turn cannot be had; the caller then goes on alone.
  // `firstLook` hears whether this run waits, before it does.
  virtual std::unique_ptr<Turn> waitForTurn(const std::wstring& directory,
                                            const TurnNotice& firstLook) = 0;

  // The turn for work in `directory` (the clean-up of its work folder, a copy with its rename)
  // among the runs of every session of the machine, if no other run has it now; null when one has.
  // Throws when it cannot be had at all.
  virtual std::unique_ptr<Turn> tryWorkTurn(const std::wstring& directory) = 0;

  // The clock that the run's waits pause on.
  virtual Clock& clock() = 0;

  // Ordinary files matching `pattern`: a directory followed by "*.*" (every file), or a full
  // file path (an existence test). Ordinary means no directories and no hidden or system files
  // (on POSIX: regular files whose names do not begin with a dot); read-only and archive files
  // are ordinary. A directory that does not exist gives an empty listing.
  virtual std::unique_ptr<Listing> listFiles(const std::wstring& pattern) = 0;

  // Every entry of `directory` that a lookup by full path would find: hidden and system files and
  // subdirectories included ("." and ".." excluded).
  virtual std::unique_ptr<Listing> listEverything(const std::wstring& directory) = 0;

  // The form of a file name under which the file system considers two names the same
  // (upper case on Windows, whose file names ignore case; the name itself on POSIX).
  virtual std::wstring fileNameKey(const std::wstring& name) = 0;

  // The entry that a lookup of the full path `path` finds, under its own name: a file reached by
  // its short 8.3 name gives its long name. Hidden and system files and folders count; nullopt
  // when nothing is there. Throws when the lookup fails otherwise.
  virtual std::optional<DirEntry> lookUp(const std::wstring& path) = 0;

  // The bytes that this user may still write to the volume that holds `directory`.
  virtual std::uint64_t freeSpace(const std::wstring& directory) = 0;

  // Copies `source` over `destination`, but only a whole copy of the version `listed` (what the
  // listing showed of the source): the data goes to a temporary file in the program's work folder
  // beside the destination (work_folder.h), is on the disk, and then replaces the destination in
  // one step. A source that is not that version, or that changes or ends early while it is read,
  // is no copy: it throws, as every other failure does, and the old destination is left whole and
  // the temporary file removed. The copy keeps the source's last-modified time. The running
  // program's own file is replaced too, where the system refuses to overwrite it (file_copy.h).
  virtual void copyFile(const std::wstring& source, const std::wstring& destination,
                        const FileVersion& listed, ListedDestination found) = 0;

  // Whether files can be made in `directory`: its work folder, or else a file beside the others.
  // False only when the system says plainly that they cannot (no right to, a read-only medium);
  // throws for any other failure.
  virtual bool canWriteIn(const std::wstring& directory) = 0;

  // Removes what earlier runs left in the work folder of `directory`: the temporary copies of a
  // run that was ended half-way, a replaced program file that was still running. Nothing outside
  // that folder is touched. Throws when something could not be removed (a file still in use).
  virtual void removeLeftovers(const std::wstring& directory) = 0;

  // Starts an executable by full path in a normal window with the focus, with the executable's
  // own directory as its working directory; does not wait for it. `owner` owns what the system
  // shows for the start (the consent prompt for a program that asks for administrator rights).
  virtual void startProgram(const std::wstring& path, NativeWindow owner) = 0;

  virtual std::unique_ptr<TextInput> openTextInput(const std::wstring& path) = 0;
};

// The system calls of a copy that a test plays instead, to show what the copy makes of answers
// that a network share can give (win32/copy_calls.h; POSIX has none).
struct CopyCalls;
const CopyCalls& SystemCopyCalls();

// The runtime of the system the program was built for. Its waits for files that other programs
// hold pause on `clock`; its copies make `calls`.
std::unique_ptr<Runtime> MakeSystemRuntime(Clock& clock = SystemClock(),
                                           const CopyCalls& calls = SystemCopyCalls());

}  // namespace dravelin
