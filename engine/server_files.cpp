#include "server_files.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>

#include "error_rule.h"
#include "file_names.h"

namespace dravelin {

namespace {

// Which files another file of the same key stands for: of each such group, the newest stands,
// the first listed among the newest. Keys are compared by their hashes, sorted, and only where two
// hashes meet by the keys themselves: no key is kept for the whole listing.
std::vector<bool> ShadowedCaseTwins(Runtime& runtime, const ServerFiles& files) {
  const auto key = [&](std::size_t i) { return runtime.fileNameKey(std::wstring(files[i].name)); };
  std::vector<std::pair<std::size_t, std::uint32_t>> byHash(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    byHash[i] = {std::hash<std::wstring>{}(key(i)), static_cast<std::uint32_t>(i)};
  }
  std::ranges::sort(byHash);  // by hash, then in listing order
  std::vector<bool> shadowed(files.size());
  for (auto run = byHash.begin(); run != byHash.end();) {
    const auto end =
        std::find_if(run, byHash.end(), [&](const auto& h) { return h.first != run->first; });
    // The last of a run (almost always its only one) has nothing after it to compare: its key
    // is not made again.
    for (auto a = run; end - a > 1; ++a) {
      if (shadowed[a->second]) continue;
      const std::wstring standingKey = key(a->second);
      std::uint32_t standing = a->second;
      for (auto b = a + 1; b != end; ++b) {
        if (shadowed[b->second] || key(b->second) != standingKey) continue;
        const bool newer = files[b->second].listed.modified > files[standing].listed.modified;
        shadowed[newer ? standing : b->second] = true;
        if (newer) standing = b->second;
      }
    }
    run = end;
  }
  return shadowed;
}

}  // namespace

void ServerFiles::add(std::wstring_view name, const FileVersion& listed) {
  // A name has at most 255 units; the buffer of a listing of 16 million files is out of reach.
  if (names_.size() + name.size() > UINT32_MAX) throw std::length_error("server listing");
  entries_.push_back(
      {static_cast<std::uint32_t>(names_.size()), static_cast<std::uint32_t>(name.size()), listed});
  names_ += name;
}

ServerFiles ListServerFiles(Runtime& runtime, const std::wstring& pattern) {
  ServerFiles files;
  error_rule::Attempt([&] {
    const std::unique_ptr<Listing> listing = runtime.listFiles(pattern);
    while (const std::optional<DirEntry> file = listing->next()) {
      if (IsPlainFileName(file->name)) files.add(file->name, file->version());
    }
  });
  const std::vector<bool> shadowed = ShadowedCaseTwins(runtime, files);
  files.keepOnly([&](std::size_t i) { return !shadowed[i]; });
  return files;
}

}  // namespace dravelin
