#include "server_files.h"

#include <unordered_map>

#include "error_rule.h"
#include "file_names.h"

namespace dravelin {

std::vector<ServerFile> ListServerFiles(Runtime& runtime, const std::wstring& pattern) {
  std::vector<ServerFile> files;
  error_rule::Attempt([&] {
    const std::unique_ptr<Listing> listing = runtime.listFiles(pattern);
    while (std::optional<DirEntry> file = listing->next()) {
      if (!IsPlainFileName(file->name)) continue;
      std::wstring key = runtime.fileNameKey(file->name);
      files.push_back({std::move(*file), std::move(key)});
    }
  });
  // Where names are one file locally, the newest stands for them all.
  std::unordered_map<std::wstring_view, std::size_t> newest;
  newest.reserve(files.size());
  std::vector<bool> shadowed(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto [first, fresh] = newest.try_emplace(files[i].key, i);
    if (fresh) continue;
    std::size_t& standing = first->second;
    const bool newer = files[i].listed.modified > files[standing].listed.modified;
    shadowed[newer ? standing : i] = true;
    if (newer) standing = i;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (shadowed[i]) continue;
    if (kept != i) files[kept] = std::move(files[i]);
    ++kept;
  }
  files.resize(kept);
  return files;
}

}  // namespace dravelin
