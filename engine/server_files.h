// The files of the server directory that the pass takes, as its listing shows them.
#pragma once

#include <string>
#include <vector>

#include "runtime.h"

namespace dravelin {

struct ServerFile {
  DirEntry listed;
  std::wstring key;  // the name as the client's file system compares names (Runtime::fileNameKey)
};

// The files that `pattern` lists, in the listing's order, for the pass to use: only those whose
// names are plain file names (file_names.h), and of names that the client's file system takes for
// one (a case-sensitive server's "Data.pak" and "data.pak" on Windows) only the newest, the first
// of them where several are as new. Nothing else is asked about, opened or waited for. A listing
// that fails part-way gives what it listed before.
std::vector<ServerFile> ListServerFiles(Runtime& runtime, const std::wstring& pattern);

}  // namespace dravelin
