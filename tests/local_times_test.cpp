// The program directory's times from one listing, whatever order the server asks for them in; and
// the server's listing, of whose names that are one file locally the newest stands.
#include "local_times.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "fake_runtime.h"
#include "server_files.h"

namespace dravelin {
namespace {

constexpr wchar_t kDirectory[] = L"C:\\client";
const std::wstring kServerDirectory = L"\\\\server\\patch";

// A directory laid out with `entries` in their order, on a runtime that counts the requests made of
// it; names compare without regard to case, as on Windows.
struct LaidOut {
  explicit LaidOut(std::vector<DirEntry> entries, const std::wstring& directory = kDirectory) {
    runtime.laidOut[directory] = std::move(entries);
  }
  int listings() const { return runtime.calls("listEverything"); }
  int singleLookups() const { return runtime.calls("lookUp"); }

  testing::EventLog log;
  testing::TestRuntime runtime{kDirectory, log};
};

// "f0" .. "f<count-1>", file i modified at second 1000 + i.
std::vector<DirEntry> NumberedFiles(int count) {
  std::vector<DirEntry> entries;
  for (int i = 0; i < count; ++i) entries.push_back({L"f" + std::to_wstring(i), 1000 + i});
  return entries;
}

// The time of the local copy of `name`, as the pass asks for it; none when there is no copy.
std::optional<FileTime> LocalCopyTime(LocalTimes& times, const std::wstring& name) {
  std::wstring key = name;
  std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) { return std::towupper(c); });
  return times.of(name, key).modified;
}

// Asks for every name of `order` and checks each time against its number.
void ExpectEveryTime(LocalTimes& times, const std::vector<int>& order) {
  for (const int i : order) {
    EXPECT_EQ(LocalCopyTime(times, L"f" + std::to_wstring(i)), 1000 + i) << "file " << i;
  }
}

constexpr int kFiles = 50;

std::vector<int> Ascending() {
  std::vector<int> order(kFiles);
  std::iota(order.begin(), order.end(), 0);
  return order;
}

TEST(LocalTimes, FindsEveryNameInTheListingsOrderOrAnyOther) {
  std::vector<int> reversed = Ascending();
  std::reverse(reversed.begin(), reversed.end());
  std::vector<int> strided;
  for (int start = 0; start < 7; ++start) {
    for (int i = start; i < kFiles; i += 7) strided.push_back(i);
  }
  for (const auto& order : {Ascending(), reversed, strided}) {
    LaidOut directory(NumberedFiles(kFiles));
    LocalTimes times(directory.runtime, kDirectory);
    ExpectEveryTime(times, order);
    ExpectEveryTime(times, order);  // asked again: same answers
    EXPECT_EQ(directory.listings(), 1);
    EXPECT_EQ(directory.singleLookups(), 0);
  }
}

TEST(LocalTimes, LocalOnlyEntriesBetweenSharedNamesDoNotHideThem) {
  std::vector<DirEntry> entries;
  for (const DirEntry& file : NumberedFiles(kFiles)) {
    entries.push_back(file);
    // Runs of local-only entries of every length up to well past any look-ahead.
    const int extras = static_cast<int>(file.modified % 20);
    for (int k = 0; k < extras; ++k)
      entries.push_back({file.name + L".local" + std::to_wstring(k), 1});
  }
  LaidOut directory(entries);
  LocalTimes times(directory.runtime, kDirectory);
  ExpectEveryTime(times, Ascending());
}

TEST(LocalTimes, NamesMatchAsTheFileSystemComparesThem) {
  LaidOut directory({{L"Client.EXE", 5}, {L"지도.dat", 6}, {L"maps", 7}});
  LocalTimes times(directory.runtime, kDirectory);
  EXPECT_EQ(LocalCopyTime(times, L"client.exe"), 5);
  EXPECT_EQ(LocalCopyTime(times, L"지도.DAT"), 6);
  EXPECT_EQ(LocalCopyTime(times, L"MAPS"), 7);
}

TEST(LocalTimes, AMissingNameHasNoCopyWhereverTheCursorStands) {
  LaidOut directory(NumberedFiles(kFiles));
  LocalTimes times(directory.runtime, kDirectory);
  EXPECT_EQ(LocalCopyTime(times, L"absent.dat"), std::nullopt);
  EXPECT_EQ(LocalCopyTime(times, L"f3"), 1003);
  EXPECT_EQ(LocalCopyTime(times, L"f3.dat"), std::nullopt);
  EXPECT_EQ(LocalCopyTime(times, L"f4"), 1004);
}

TEST(LocalTimes, AFailedListingFallsBackToOneLookupPerName) {
  LaidOut directory(NumberedFiles(3));
  directory.runtime.failProgramDirectoryListing = true;
  LocalTimes times(directory.runtime, kDirectory);
  ExpectEveryTime(times, {2, 0, 1});
  EXPECT_EQ(LocalCopyTime(times, L"absent.dat"), std::nullopt);
  EXPECT_EQ(directory.listings(), 1);
  EXPECT_EQ(directory.singleLookups(), 4);
}

TEST(LocalTimes, WithoutADirectoryAskingForATimeThrowsAndNothingIsListed) {
  LaidOut directory(NumberedFiles(3));
  LocalTimes times(directory.runtime, L"");
  EXPECT_THROW(LocalCopyTime(times, L"f0"), std::logic_error);
  EXPECT_EQ(directory.listings(), 0);
}

// Of names that the client's file system takes for one, the newest stands, where it was listed;
// among equally new ones the first listed. Other names keep their order.
TEST(ServerFiles, OfNamesThatAreOneFileTheNewestStandsTheFirstListedAmongEqual) {
  const struct {
    const char* what;
    std::vector<DirEntry> listed;
    std::vector<std::wstring> kept;
  } rows[] = {
      {"older listed first", {{L"Data.pak", 10}, {L"data.pak", 20}}, {L"data.pak"}},
      {"newer listed first", {{L"data.pak", 20}, {L"Data.pak", 10}}, {L"data.pak"}},
      {"as new", {{L"A.dat", 10}, {L"a.DAT", 10}, {L"a.dat", 10}}, {L"A.dat"}},
      {"among others",
       {{L"one", 1}, {L"Two", 10}, {L"three", 3}, {L"TWO", 20}, {L"two", 15}, {L"four", 4}},
       {L"one", L"three", L"TWO", L"four"}},
      {"no plain names", {{L"a:b", 1}, {L"..", 2}}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    LaidOut server(row.listed, kServerDirectory);
    const ServerFiles files =
        ListServerFiles(server.runtime, kServerDirectory + (kPathSeparator + std::wstring(L"*.*")));
    std::vector<std::wstring> kept;
    for (std::size_t i = 0; i < files.size(); ++i) kept.emplace_back(files[i].name);
    EXPECT_EQ(kept, row.kept);
  }
}

}  // namespace
}  // namespace dravelin
