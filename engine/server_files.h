// The files of the server directory that the pass takes, as its listing shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime.h"

namespace dravelin {

// One file of the server's listing: its name (a view into the listing that holds it) and the
// version that the listing shows.
struct ServerFile {
  std::wstring_view name;
  FileVersion listed;
};

// The files that the pass takes, in the listing's order. A server directory can list a hundred
// thousand files, all kept until the scan ends: each costs its name's characters, kept end to end
// in one buffer, and a small fixed entry, with no allocation of its own.
class ServerFiles {
 public:
  std::size_t size() const { return entries_.size(); }
  ServerFile operator[](std::size_t i) const {
    const Entry& entry = entries_[i];
    return {std::wstring_view(names_).substr(entry.nameAt, entry.nameLength), entry.listed};
  }

  void add(std::wstring_view name, const FileVersion& listed);
  // Keeps only the files for which `keep(i)` holds, in their order.
  template <typename Keep>
  void keepOnly(Keep&& keep) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (keep(i)) entries_[kept++] = entries_[i];
    }
    entries_.resize(kept);
    entries_.shrink_to_fit();
  }

 private:
  struct Entry {
    std::uint32_t nameAt;  // in names_
    std::uint32_t nameLength;
    FileVersion listed;
  };
  std::wstring names_;
  std::vector<Entry> entries_;
};

// The files that `pattern` lists, for the pass to use: only those whose names are plain file
// names (file_names.h), and of names that the client's file system takes for one (a
// case-sensitive server's "Data.pak" and "data.pak" on Windows) only the newest, the first listed
// of them where several are as new. Nothing else is asked about, opened or waited for. A listing
// that fails part-way gives what it listed before.
ServerFiles ListServerFiles(Runtime& runtime, const std::wstring& pattern);

}  // namespace dravelin
