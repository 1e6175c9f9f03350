// libFuzzer target for the whole update pass over a server directory and a client folder held in
// memory (share_in_memory.h): the input chooses the program, the configuration, the files on both
// sides (names among them case twins, short names, names no file can have; any time and size; a
// listing that shows another version than the server holds), what fails (each file's copy and
// lookup, the listings part-way, the room, the turns, the start, a question's dialog) and every
// answer of the user.
//
// Besides crashes and sanitizer reports, the target stops on a broken promise:
// - a request outside the two folders, a copy to another name, a file copied twice, a copy told
//   that nothing was there where something was (share_in_memory.h);
// - a file asked about twice (names compared as the client's file system does), a question after
//   Replace All or Skip All;
// - a copy that the answers did not ask for: of a file answered Skip or not at all, after Skip All;
// - a client file that is neither as it was nor the server's version that was copied to it, or a
//   file that appeared without a copy;
// - a client start other than once, with the configured path, after every copy, with the folder's
//   turn given up.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <set>

#include "share_in_memory.h"
#include "update_pass.h"

namespace {

using namespace dravelin;
using namespace dravelin::fuzzing;

// Names that meet each other's keys, short names, and names that the name rule refuses.
constexpr std::array<const wchar_t*, 18> kNames = {L"a.pak",        L"A.PAK",
                                                   L"data.pak",     L"Data.pak",
                                                   L"client.exe",   L"CONFIG.DVL",
                                                   L"config.ini",   L"dravelin.tmp",
                                                   L"README~1.TXT", L"Readme first.txt",
                                                   L"con",          L"name.",
                                                   L"a b ",         L"한글.pak",
                                                   L"..",           L"a/b",
                                                   L"a\\b",         L""};

std::wstring SomeName(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) return kNames[input.ConsumeIntegralInRange<std::size_t>(0, 17)];
  const std::string bytes = input.ConsumeRandomLengthString(8);
  return std::wstring(bytes.begin(), bytes.end());
}

FileVersion SomeVersion(FuzzedDataProvider& input) {
  constexpr FileTime kAYear = 1'700'000'000;
  const FileTime modified = input.ConsumeBool() ? kAYear + input.ConsumeIntegralInRange(0, 3)
                                                : input.ConsumeIntegral<FileTime>();
  return {modified, input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint64_t>(0, 9)
                                        : input.ConsumeIntegral<std::uint64_t>()};
}

std::vector<StoredEntry> ServerFiles(FuzzedDataProvider& input) {
  std::vector<StoredEntry> files(input.ConsumeIntegralInRange(0, 10));
  std::uint32_t contents = 1000;
  for (StoredEntry& file : files) {
    file.name = SomeName(input);
    file.version = file.listed = SomeVersion(input);
    const auto faults = input.ConsumeIntegral<std::uint8_t>();
    if (faults & 1) file.listed = SomeVersion(input);  // rewritten since it was listed
    file.copyFails = faults & 2;
    file.lookUpFails = faults & 4;
    file.contents = contents++;
  }
  return files;
}

std::vector<StoredEntry> ClientFiles(FuzzedDataProvider& input) {
  std::vector<StoredEntry> files(input.ConsumeIntegralInRange(0, 10));
  std::uint32_t contents = 1;
  for (StoredEntry& file : files) {
    file.name = SomeName(input);
    const auto kind = input.ConsumeIntegral<std::uint8_t>();
    if (kind & 1) file.shortName = L"README~1.TXT";
    file.folder = kind & 2;
    file.version = SomeVersion(input);
    file.contents = contents++;
  }
  // One entry a name, as the client's file system compares names.
  std::set<std::wstring> keys;
  std::erase_if(
      files, [&](const StoredEntry& file) { return !keys.insert(CaselessKey(file.name)).second; });
  return files;
}

Faults SomeFaults(FuzzedDataProvider& input) {
  const auto bits = input.ConsumeIntegral<std::uint16_t>();
  Faults faults;
  bool* const each[] = {&faults.configUnreadable, &faults.localListingFails, &faults.turnFails,
                        &faults.workTurnTaken,    &faults.workTurnFails,     &faults.roomUnknown,
                        &faults.notWritable,      &faults.writableUnknown,   &faults.leftoversStay,
                        &faults.startFails};
  for (std::size_t i = 0; i < std::size(each); ++i) *each[i] = bits & (1u << i);
  if (bits & (1u << 10)) faults.serverListingEndsAfter = input.ConsumeIntegralInRange(0, 10);
  if (bits & (1u << 11)) faults.room = input.ConsumeIntegralInRange<std::uint64_t>(0, 20);
  return faults;
}

// The configured server directory (sometimes without its closing separator, sometimes another
// directory, sometimes none) and client program.
std::string SomeConfig(FuzzedDataProvider& input, std::wstring& client) {
  static constexpr std::array<const char*, 4> kServers = {"/server", "/server/", "/elsewhere/", ""};
  std::string config;
  if (const char* server = kServers[input.ConsumeIntegralInRange(0, 3)]; *server) {
    config += std::string("Server_directory=") + server + "\r\n";
  }
  client = input.ConsumeBool() ? L"client.exe" : L"";
  return config + "Exe_Program=" + (client.empty() ? "" : "client.exe") + "\r\n";
}

// Answers as the input says; a question whose dialog cannot be made, where it says so.
class AnsweringWindows final : public QuestionsOnly {
 public:
  explicit AnsweringWindows(FuzzedDataProvider& input) : input_(input) {}

  std::vector<std::pair<std::wstring, Answer>> asked;

  Answer ask(const Question& question) override {
    const auto pick = input_.ConsumeIntegralInRange(0, 5);
    if (pick == 5) throw RuntimeError("CreateWindowExW (fuzz: no desktop heap)", 8);
    asked.emplace_back(question.fileName, static_cast<Answer>(pick));
    return static_cast<Answer>(pick);
  }

 private:
  FuzzedDataProvider& input_;
};

std::wstring NameOf(const std::wstring& path) { return path.substr(path.rfind(L'/') + 1); }

// What the answers allow: files answered Replace, and after Replace All the file it answered and
// every later one. Checks the questions on the way.
std::set<std::wstring> AllowedCopies(const AnsweringWindows& windows) {
  std::set<std::wstring> askedKeys, allowed;
  bool standing = false;
  for (const auto& [path, answer] : windows.asked) {
    if (standing) Fail("a question after Replace All or Skip All");
    if (!askedKeys.insert(CaselessKey(path)).second) Fail("a file asked about twice");
    if (answer == Answer::Replace || answer == Answer::ReplaceAll) allowed.insert(NameOf(path));
    standing = answer == Answer::ReplaceAll || answer == Answer::SkipAll;
  }
  return allowed;
}

void CheckCopies(const ShareInMemory& share, const AnsweringWindows& windows) {
  const std::set<std::wstring> allowed = AllowedCopies(windows);
  const bool all = !windows.asked.empty() && windows.asked.back().second == Answer::ReplaceAll;
  for (const MadeCopy& copy : share.copies()) {
    const bool askedFor = allowed.contains(copy.name);
    const bool afterAll = all && std::ranges::none_of(windows.asked, [&](const auto& question) {
                            return NameOf(question.first) == copy.name;
                          });
    if (!askedFor && !afterAll) Fail("a copy that the answers did not ask for");
  }
}

void CheckClientFolder(const ShareInMemory& share) {
  for (const StoredEntry& now : share.client()) {
    const auto before =
        std::ranges::find(share.before(), CaselessKey(now.name),
                          [](const StoredEntry& entry) { return CaselessKey(entry.name); });
    if (before != share.before().end() && before->version == now.version &&
        before->contents == now.contents) {
      continue;
    }
    const auto copied = std::ranges::find(share.copies(), now.name, &MadeCopy::name);
    const auto from = std::ranges::find(share.server(), now.name, &StoredEntry::name);
    if (copied == share.copies().end() || from == share.server().end() ||
        from->contents != now.contents || from->version != now.version) {
      Fail("a client file neither old-whole nor the server's version copied to it");
    }
  }
}

void CheckStart(const ShareInMemory& share, const std::wstring& client) {
  if (share.starts().size() != 1) Fail("the client started other than once");
  if (share.starts().front() != std::wstring(kClientFolder) + L"/" + client) {
    Fail("the client started from another path");
  }
  if (share.copiesWhenStarted() != share.copies().size()) Fail("a copy after the client's start");
  if (share.turnHeldAtStart()) Fail("the folder's turn still held at the client's start");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const Variant& variant = VariantFor(input.ConsumeBool() ? Build::Legacy : Build::Current);
  std::wstring client;
  std::string config = SomeConfig(input, client);
  Faults faults = SomeFaults(input);
  std::vector<StoredEntry> server = ServerFiles(input);
  ShareInMemory share(std::move(server), ClientFiles(input), std::move(config), faults);
  AnsweringWindows windows(input);
  RunUpdatePass(share, windows, variant);
  CheckCopies(share, windows);
  CheckClientFolder(share);
  CheckStart(share, faults.configUnreadable ? L"" : client);
  return 0;
}
