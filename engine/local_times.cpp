#include "local_times.h"

#include <utility>

#include "error_rule.h"

namespace dravelin {

LocalTimes::LocalTimes(Runtime& runtime, std::wstring directory)
    : runtime_(runtime), directory_(std::move(directory)) {}

FileTime LocalTimes::of(const std::wstring& name) {
  // Without its directory a local name means nothing; an empty one would list the current one.
  if (directory_.empty()) throw NoLocalFile("program directory unknown");
  if (!listed_) {
    times_ = listDirectory();
    listed_ = true;
  }
  if (!times_) return runtime_.fileTimestamp(directory_ + kPathSeparator + name);
  const auto found = times_->find(runtime_.fileNameKey(name));
  if (found == times_->end()) throw NoLocalFile("no local file of that name");
  return found->second;
}

std::optional<LocalTimes::TimesByKey> LocalTimes::listDirectory() {
  TimesByKey times;
  const bool complete = error_rule::Attempt([&] {
    const auto listing = runtime_.listEverything(directory_);
    while (const auto entry = listing->next()) {
      times.emplace(runtime_.fileNameKey(entry->name), entry->modified);
    }
  });
  // Half a listing would call files missing that are not: then each one is looked up instead.
  if (!complete) return std::nullopt;
  return times;
}

}  // namespace dravelin
