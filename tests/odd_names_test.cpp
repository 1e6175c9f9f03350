// File names with spaces, dots in odd places, Korean and characters outside the Basic
// Multilingual Plane (surrogate pairs in Windows' UTF-16) go through listing, timestamps and
// copies unchanged.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "runtime_error.h"
#include "test_tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace dravelin {
namespace {

using testing::CopyAsListed;
using testing::TempTree;
using testing::TimeOf;

constexpr FileTime kServerTime = 1'790'000'000;

// Names that every system keeps as they are.
const std::vector<std::wstring> kPortableNames = {
    L"with spaces.dat",
    L"  leading spaces.txt",
    L"a..b",
    L"many...dots...in.a.name",
    L"noextension",
    L"한글 파일 이름.pak",
    L"\U0001F600 smile.txt",      // an emoji: a surrogate pair on Windows
    L"\U00020000\U0002A6D6.dat",  // CJK Extension B
    L"섞인 \U0001F600\U00020000 name.tar.gz",
};

#ifdef _WIN32
// Win32 drops trailing dots and spaces from names, so "x." and "x " cannot be made.
const std::vector<std::wstring> kSystemNames = {L"..c", L".leading"};

// A leading dot is an ordinary character on Windows. Wine, though, gives files whose Unix names
// begin with a dot the hidden attribute (unless its ShowDotFiles setting is on), so what counts
// is the attribute that the file system reports.
bool IsHidden(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}
#else
// POSIX keeps trailing dots and spaces; a leading dot makes a hidden file, which the listing of
// ordinary files passes over.
const std::vector<std::wstring> kSystemNames = {L"x.", L"trailing space ", L"..c", L".leading"};

bool IsHidden(const std::wstring& path) {
  return testing::Path(path).filename().string().starts_with('.');
}
#endif

std::vector<std::wstring> AllNames() {
  std::vector<std::wstring> names = kPortableNames;
  names.insert(names.end(), kSystemNames.begin(), kSystemNames.end());
  return names;
}

// A name as UTF-8, for messages and contents (the narrow code page cannot hold every name).
std::string Utf8(const std::wstring& name) {
  const std::u8string bytes = testing::Path(name).u8string();
  return std::string(bytes.begin(), bytes.end());
}

// Each file's contents name it, so a copy under the wrong name shows.
std::string ContentsOf(const std::wstring& name) { return "contents of " + Utf8(name); }

std::map<std::wstring, FileTime> Listed(Runtime& runtime, const std::wstring& directory) {
  std::map<std::wstring, FileTime> times;
  const auto listing = runtime.listFiles(directory + kPathSeparator + L"*.*");
  while (const auto entry = listing->next()) times[entry->name] = entry->modified;
  return times;
}

class OddNames : public ::testing::Test {
 protected:
  OddNames() {
    for (const std::wstring& name : AllNames()) {
      const std::wstring path = server_.write(name, ContentsOf(name));
      testing::SetModified(path, kServerTime);
      if (IsHidden(path)) hidden_.insert(name);
    }
  }

  std::wstring in(const TempTree& tree, const std::wstring& name) const {
    return tree.dir() + kPathSeparator + name;
  }

  std::map<std::wstring, FileTime> expectedListing() const {
    std::map<std::wstring, FileTime> expected;
    for (const std::wstring& name : AllNames()) {
      if (!hidden_.contains(name)) expected[name] = kServerTime;
    }
    return expected;
  }

  TempTree server_;
  TempTree local_;
  std::set<std::wstring> hidden_;  // as the file system marks them
  std::unique_ptr<Runtime> runtime_ = MakeSystemRuntime();
};

TEST_F(OddNames, AreListedExactly) {
  EXPECT_EQ(Listed(*runtime_, server_.dir()), expectedListing());
}

TEST_F(OddNames, ListingEverythingIncludesTheHiddenOnes) {
  std::set<std::wstring> names;
  const auto listing = runtime_->listEverything(server_.dir());
  while (const auto entry = listing->next()) names.insert(entry->name);
  const std::vector<std::wstring> all = AllNames();
  EXPECT_EQ(names, std::set<std::wstring>(all.begin(), all.end()));
}

TEST_F(OddNames, AreFoundByTheirFullPath) {
  for (const std::wstring& name : AllNames()) {
    SCOPED_TRACE(Utf8(name));
    const auto found = runtime_->listFiles(in(server_, name))->next();
    if (hidden_.contains(name)) {
      EXPECT_EQ(found, std::nullopt);
    } else {
      ASSERT_TRUE(found);
      EXPECT_EQ(found->name, name);
      EXPECT_EQ(TimeOf(*runtime_, in(server_, name)), kServerTime);
    }
  }
}

TEST_F(OddNames, CopyUnderTheListedNameKeepsNameContentsAndTime) {
  // The way the update pass goes: the name from the listing makes both paths.
  for (const auto& [name, time] : Listed(*runtime_, server_.dir())) {
    CopyAsListed(*runtime_, in(server_, name), in(local_, name));
  }
  EXPECT_EQ(Listed(*runtime_, local_.dir()), expectedListing());
  for (const auto& [name, time] : expectedListing()) {
    SCOPED_TRACE(Utf8(name));
    EXPECT_EQ(testing::ReadAll(in(local_, name)), ContentsOf(name));
    EXPECT_EQ(testing::Modified(in(local_, name)), kServerTime);
  }
  EXPECT_EQ(testing::CountLeftovers(local_.dir()), 0);
}

TEST_F(OddNames, ReplacingAnOddlyNamedLocalFile) {
  for (const std::wstring& name : kPortableNames) {
    local_.write(name, "old local copy");
    CopyAsListed(*runtime_, in(server_, name), in(local_, name));
    EXPECT_EQ(testing::ReadAll(in(local_, name)), ContentsOf(name));
  }
  EXPECT_EQ(testing::CountLeftovers(local_.dir()), 0);
}

}  // namespace
}  // namespace dravelin
