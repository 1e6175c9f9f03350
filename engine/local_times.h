// The last-modified times of what the program directory holds, for comparing with the server's.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime.h"

namespace dravelin {

// What the program directory holds under a server file's name.
struct LocalCopy {
  // The name reaches something other than a copy of the file, which a copy must not replace: a
  // folder, or another file whose short 8.3 name it is ("README~1.TXT" for "Readme first.txt").
  bool inTheWay = false;
  std::optional<FileTime> modified;  // the copy's time; nullopt when there is no copy
};

// Reads the whole program directory in one listing, the first time a time is asked for, so that
// no file costs a request of its own. Every entry that a lookup by full path would find counts:
// hidden and system files and subdirectories too, with names compared as the file system compares
// them. Should that listing fail, each time is asked of the file system instead.
class LocalTimes {
 public:
  LocalTimes(Runtime& runtime, std::wstring directory);

  // Lists the directory now rather than at the first lookup (nothing when already listed).
  void list();

  // Whether the listing has an entry `name`; throws when there is no listing to tell.
  bool holds(const std::wstring& name);

  // What the directory holds under `name`, whose key (Runtime::fileNameKey) is `key`. Throws
  // when the directory could not be listed and the single lookup fails too.
  LocalCopy of(const std::wstring& name, const std::wstring& key);

 private:
  struct Entry {
    std::wstring key;  // the name as the file system compares it
    FileTime modified;
    bool folder;
  };

  std::optional<std::vector<Entry>> listDirectory();
  const Entry* nearCursor(const std::wstring& key);
  const Entry* anywhere(const std::wstring& key);
  LocalCopy lookUp(const std::wstring& name, const std::wstring& key);

  Runtime& runtime_;
  std::wstring directory_;
  bool listed_ = false;
  std::optional<std::vector<Entry>> entries_;  // in listing order; nullopt when the listing failed
  std::size_t cursor_ = 0;                     // just after the entry found last
  // Made on first need. Its keys view the names in entries_, which never changes once listed,
  // so the index holds no second copy of them.
  std::optional<std::unordered_map<std::wstring_view, std::size_t>> positions_;
};

}  // namespace dravelin
