// What the runtimes that lay directories out in memory share (the pass tests' TestRuntime and the
// pass fuzz target's share): a listing of entries given in advance, and names compared as Windows
// compares them. Header only, so that the fuzz target's build, which has no GoogleTest, takes it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime.h"
#include "runtime_error.h"

namespace dravelin::testing {

// The entries in their order; where `breaksOffAfter` is given, the listing fails after that many,
// as the listing of a share that goes away does.
class ListingInMemory final : public Listing {
 public:
  explicit ListingInMemory(std::vector<DirEntry> entries, std::size_t breaksOffAfter = SIZE_MAX)
      : entries_(std::move(entries)), breaksOffAfter_(breaksOffAfter) {}
  std::optional<DirEntry> next() override {
    if (shown_ == breaksOffAfter_)
      throw RuntimeError("next (in memory: the listing broke off)", 64);
    if (shown_ == entries_.size()) return std::nullopt;
    return entries_[shown_++];
  }

 private:
  std::vector<DirEntry> entries_;
  std::size_t breaksOffAfter_;
  std::size_t shown_ = 0;
};

// A name as Windows compares names: without regard to case.
inline std::wstring CaselessKey(std::wstring name) {
  std::ranges::transform(name, name.begin(), [](wchar_t c) { return std::towupper(c); });
  return name;
}

}  // namespace dravelin::testing
