// The program directory's times from one listing, whatever order the server asks for them in; and
// the server's listing, of whose names that are one file locally the newest stands.
#include "local_times.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "runtime_error.h"
#include "server_files.h"

namespace dravelin {
namespace {

constexpr wchar_t kDirectory[] = L"C:\\client";

// A program directory in memory whose names compare without regard to case, as on Windows; only
// the calls LocalTimes makes are served.
class DirectoryInMemory final : public Runtime {
 public:
  explicit DirectoryInMemory(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}

  bool failListing = false;
  int listings = 0;
  int singleLookups = 0;

  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    ++listings;
    EXPECT_EQ(directory, kDirectory);
    if (failListing) throw RuntimeError("FindFirstFileExW (test)", 5);
    return std::make_unique<InOrder>(entries_);
  }
  std::wstring fileNameKey(const std::wstring& name) override {
    std::wstring key = name;
    std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) { return std::towupper(c); });
    return key;
  }
  std::unique_ptr<Listing> listFiles(const std::wstring&) override {
    return std::make_unique<InOrder>(entries_);
  }
  std::optional<DirEntry> lookUp(const std::wstring& path) override {
    ++singleLookups;
    for (const DirEntry& entry : entries_) {
      if (fileNameKey(std::wstring(kDirectory) + kPathSeparator + entry.name) ==
          fileNameKey(path)) {
        return entry;
      }
    }
    return std::nullopt;
  }

  std::wstring programDirectory() override { throw std::logic_error("not used"); }
  std::uint64_t freeSpace(const std::wstring&) override { throw std::logic_error("not used"); }
  std::unique_ptr<Turn> waitForTurn(const std::wstring&, const TurnNotice&) override {
    throw std::logic_error("not used");
  }
  void copyFile(const std::wstring&, const std::wstring&, const FileVersion&,
                ListedDestination) override {
    throw std::logic_error("not used");
  }
  bool canWriteIn(const std::wstring&) override { throw std::logic_error("not used"); }
  std::unique_ptr<Turn> tryWorkTurn(const std::wstring&) override {
    throw std::logic_error("not used");
  }
  Clock& clock() override { throw std::logic_error("not used"); }
  void removeLeftovers(const std::wstring&) override { throw std::logic_error("not used"); }
  void startProgram(const std::wstring&, NativeWindow) override {
    throw std::logic_error("not used");
  }
  std::unique_ptr<TextInput> openTextInput(const std::wstring&) override {
    throw std::logic_error("not used");
  }

 private:
  class InOrder final : public Listing {
   public:
    explicit InOrder(std::vector<DirEntry> entries) : entries_(std::move(entries)) {}
    std::optional<DirEntry> next() override {
      if (next_ == entries_.size()) return std::nullopt;
      return entries_[next_++];
    }

   private:
    std::vector<DirEntry> entries_;
    std::size_t next_ = 0;
  };

  std::vector<DirEntry> entries_;
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
    DirectoryInMemory directory(NumberedFiles(kFiles));
    LocalTimes times(directory, kDirectory);
    ExpectEveryTime(times, order);
    ExpectEveryTime(times, order);  // asked again: same answers
    EXPECT_EQ(directory.listings, 1);
    EXPECT_EQ(directory.singleLookups, 0);
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
  DirectoryInMemory directory(entries);
  LocalTimes times(directory, kDirectory);
  ExpectEveryTime(times, Ascending());
}

TEST(LocalTimes, NamesMatchAsTheFileSystemComparesThem) {
  DirectoryInMemory directory({{L"Client.EXE", 5}, {L"지도.dat", 6}, {L"maps", 7}});
  LocalTimes times(directory, kDirectory);
  EXPECT_EQ(LocalCopyTime(times, L"client.exe"), 5);
  EXPECT_EQ(LocalCopyTime(times, L"지도.DAT"), 6);
  EXPECT_EQ(LocalCopyTime(times, L"MAPS"), 7);
}

TEST(LocalTimes, AMissingNameHasNoCopyWhereverTheCursorStands) {
  DirectoryInMemory directory(NumberedFiles(kFiles));
  LocalTimes times(directory, kDirectory);
  EXPECT_EQ(LocalCopyTime(times, L"absent.dat"), std::nullopt);
  EXPECT_EQ(LocalCopyTime(times, L"f3"), 1003);
  EXPECT_EQ(LocalCopyTime(times, L"f3.dat"), std::nullopt);
  EXPECT_EQ(LocalCopyTime(times, L"f4"), 1004);
}

TEST(LocalTimes, AFailedListingFallsBackToOneLookupPerName) {
  DirectoryInMemory directory(NumberedFiles(3));
  directory.failListing = true;
  LocalTimes times(directory, kDirectory);
  ExpectEveryTime(times, {2, 0, 1});
  EXPECT_EQ(LocalCopyTime(times, L"absent.dat"), std::nullopt);
  EXPECT_EQ(directory.listings, 1);
  EXPECT_EQ(directory.singleLookups, 4);
}

TEST(LocalTimes, WithoutADirectoryAskingForATimeThrowsAndNothingIsListed) {
  DirectoryInMemory directory(NumberedFiles(3));
  LocalTimes times(directory, L"");
  EXPECT_THROW(LocalCopyTime(times, L"f0"), std::logic_error);
  EXPECT_EQ(directory.listings, 0);
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
    DirectoryInMemory server(row.listed);
    const ServerFiles files = ListServerFiles(server, L"server\\*.*");
    std::vector<std::wstring> kept;
    for (std::size_t i = 0; i < files.size(); ++i) kept.emplace_back(files[i].name);
    EXPECT_EQ(kept, row.kept);
  }
}

}  // namespace
}  // namespace dravelin
