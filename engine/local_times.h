// The last-modified times of what the program directory holds, for comparing with the server's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
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
// them. Should that listing fail, each time is asked of the file system instead. A client folder
// can hold a hundred thousand files: each costs its name's characters, kept end to end in one
// buffer, and a small fixed entry, with no allocation of its own.
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
    std::uint32_t keyAt;  // in keys_: the name as the file system compares it
    std::uint32_t keyLength;
    FileTime modified;
    bool folder;
  };

  bool listDirectory();
  std::wstring_view keyOf(const Entry& entry) const {
    return std::wstring_view(keys_).substr(entry.keyAt, entry.keyLength);
  }
  const Entry* nearCursor(const std::wstring& key);
  const Entry* anywhere(const std::wstring& key);
  LocalCopy lookUp(const std::wstring& name, const std::wstring& key);

  Runtime& runtime_;
  std::wstring directory_;
  bool listed_ = false;
  bool complete_ = false;       // whether the listing succeeded: else each time is looked up
  std::wstring keys_;           // every entry's key, end to end
  std::vector<Entry> entries_;  // in listing order
  std::size_t cursor_ = 0;      // just after the entry found last
  // The entries in the order of their keys, made on first need.
  std::optional<std::vector<std::uint32_t>> byKey_;
};

}  // namespace dravelin
