#include "local_times.h"

#include <algorithm>

#include "error_rule.h"

namespace dravelin {

namespace {

// How far past the last match a name is looked for before the whole directory is searched: room
// for a few local files that the server does not have.
constexpr std::size_t kLookAhead = 8;

}  // namespace

LocalTimes::LocalTimes(Runtime& runtime, std::wstring directory)
    : runtime_(runtime), directory_(std::move(directory)) {}

void LocalTimes::list() {
  if (listed_ || directory_.empty()) return;
  complete_ = listDirectory();
  listed_ = true;
}

LocalCopy LocalTimes::of(const std::wstring& name, const std::wstring& key) {
  // Without its directory a local name means nothing; an empty one would list the current one.
  if (directory_.empty()) throw std::logic_error("program directory unknown");
  list();
  if (!complete_) return lookUp(name, key);
  const Entry* entry = nearCursor(key);
  if (!entry) entry = anywhere(key);
  if (entry) return {entry->folder, entry->folder ? std::nullopt : std::optional(entry->modified)};
  // Not listed, the name may still reach a file that the listing shows by its long name: a short
  // name has a tilde, and only such names cost a lookup.
  if (name.find(L'~') != std::wstring::npos) return lookUp(name, key);
  return {};
}

// A lookup by the full path: the entry it reaches carries its own name.
LocalCopy LocalTimes::lookUp(const std::wstring& name, const std::wstring& key) {
  const std::optional<DirEntry> found = runtime_.lookUp(directory_ + kPathSeparator + name);
  if (!found) return {};
  if (found->folder || runtime_.fileNameKey(found->name) != key) return {true, std::nullopt};
  return {false, found->modified};
}

bool LocalTimes::holds(const std::wstring& name) {
  list();
  if (!complete_) throw std::runtime_error("program directory not listed");
  // Once, outside the scan: a plain search leaves the cursor and the index to the scan's lookups.
  const std::wstring key = runtime_.fileNameKey(name);
  return std::ranges::any_of(entries_, [&](const Entry& entry) { return keyOf(entry) == key; });
}

bool LocalTimes::listDirectory() {
  const bool complete = error_rule::Attempt([&] {
    const auto listing = runtime_.listEverything(directory_);
    while (const auto entry = listing->next()) {
      const std::wstring key = runtime_.fileNameKey(entry->name);
      entries_.push_back(Entry{static_cast<std::uint32_t>(keys_.size()),
                               static_cast<std::uint32_t>(key.size()), entry->modified,
                               entry->folder});
      keys_ += key;
    }
  });
  // Half a listing would call files missing that are not: then each one is looked up instead.
  if (!complete) {
    entries_ = {};
    keys_ = {};
  }
  return complete;
}

// Two directories on one file system list the names they share in the same order (sorted, or in
// the order of the directory's name hash), so the server's next file is usually the local entry
// after the last one found. Checking there first keeps a large scan from hopping through memory.
const LocalTimes::Entry* LocalTimes::nearCursor(const std::wstring& key) {
  const std::size_t end = std::min(entries_.size(), cursor_ + kLookAhead);
  for (std::size_t i = cursor_; i < end; ++i) {
    if (keyOf(entries_[i]) == key) {
      cursor_ = i + 1;
      return &entries_[i];
    }
  }
  return nullptr;
}

const LocalTimes::Entry* LocalTimes::anywhere(const std::wstring& key) {
  const auto keyAt = [&](std::uint32_t i) { return keyOf(entries_[i]); };
  if (!byKey_) {
    byKey_.emplace(entries_.size());
    for (std::uint32_t i = 0; i < entries_.size(); ++i) (*byKey_)[i] = i;
    std::ranges::sort(*byKey_, {}, keyAt);
  }
  const auto found = std::ranges::lower_bound(*byKey_, std::wstring_view(key), {}, keyAt);
  if (found == byKey_->end() || keyAt(*found) != key) return nullptr;
  cursor_ = *found + 1;
  return &entries_[*found];
}

}  // namespace dravelin
