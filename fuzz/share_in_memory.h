// A client folder and a server directory held in memory, as the runtime that the update pass runs
// on, each request failing where the fuzz input says. It keeps what the pass did (the copies with
// what they were told, the starts, the turns) for the checks of pass_fuzzer.cpp, and stops at
// once on a request that reaches outside the two folders or a copy it must not make. Its copies
// keep the system copy's promises: whole or not at all, only of the version listed, never onto a
// folder or onto another file that the name reaches.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "listing_in_memory.h"
#include "played_clock.h"
#include "runtime.h"
#include "runtime_error.h"

namespace dravelin::fuzzing {

// Reports a broken promise the way a crash is reported: libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "pass_fuzzer: %s\n", what);
  std::abort();
}

inline constexpr wchar_t kClientFolder[] = L"/client";
inline constexpr wchar_t kServerFolder[] = L"/server";
inline constexpr wchar_t kOtherFolder[] = L"/elsewhere";  // configured, and empty

using testing::CaselessKey;

// A file or folder as a directory holds it. `contents` tells one file's bytes from another's.
struct StoredEntry {
  std::wstring name;
  std::wstring shortName;  // another name that a lookup reaches it by, or empty
  FileVersion version;     // what is there now (a server file may have changed since its listing)
  FileVersion listed;      // what the server's listing shows
  std::uint32_t contents = 0;
  bool folder = false;
  bool copyFails = false;  // a server file whose copy fails (the share went away, a held file)
  bool lookUpFails = false;
};

// What fails besides single files.
struct Faults {
  bool configUnreadable = false, localListingFails = false, turnFails = false;
  bool workTurnTaken = false, workTurnFails = false, roomUnknown = false;
  bool notWritable = false, writableUnknown = false, leftoversStay = false, startFails = false;
  std::size_t serverListingEndsAfter = SIZE_MAX;
  std::uint64_t room = UINT64_MAX;
};

struct MadeCopy {
  std::wstring name;
  FileVersion listed;
  ListedDestination found;
};

class ShareInMemory final : public Runtime {
 public:
  ShareInMemory(std::vector<StoredEntry> server, std::vector<StoredEntry> client,
                std::string config, Faults faults)
      : server_(std::move(server)),
        client_(std::move(client)),
        before_(client_),
        config_(std::move(config)),
        faults_(faults) {}

  const std::vector<StoredEntry>& client() const { return client_; }
  const std::vector<StoredEntry>& before() const { return before_; }
  const std::vector<StoredEntry>& server() const { return server_; }
  const std::vector<MadeCopy>& copies() const { return copies_; }
  const std::vector<std::wstring>& starts() const { return starts_; }
  bool turnHeldAtStart() const { return turnHeldAtStart_; }
  std::size_t copiesWhenStarted() const { return copiesWhenStarted_; }

  std::wstring programDirectory() override { return kClientFolder; }
  std::unique_ptr<Turn> waitForTurn(const std::wstring& directory,
                                    const TurnNotice& firstLook) override {
    InClient(directory);
    if (faults_.turnFails) throw RuntimeError("waitForTurn (fuzz)", 5);
    firstLook(false);
    turnHeld_ = true;
    return std::make_unique<RunTurn>(turnHeld_);
  }
  std::unique_ptr<Turn> tryWorkTurn(const std::wstring& directory) override {
    InClient(directory);
    if (faults_.workTurnFails) throw RuntimeError("tryWorkTurn (fuzz)", 5);
    if (faults_.workTurnTaken) return nullptr;
    return std::make_unique<Turn>();
  }
  Clock& clock() override { return clock_; }
  std::unique_ptr<Listing> listFiles(const std::wstring& pattern) override {
    std::vector<DirEntry> listed;
    if (pattern == std::wstring(kOtherFolder) + L"/*.*") return std::make_unique<Listed>(listed);
    if (pattern != std::wstring(kServerFolder) + L"/*.*") Fail("listed files outside the server");
    for (const StoredEntry& entry : server_) {
      listed.push_back({entry.name, entry.listed.modified, entry.listed.bytes});
    }
    return std::make_unique<Listed>(std::move(listed), faults_.serverListingEndsAfter);
  }
  std::unique_ptr<Listing> listEverything(const std::wstring& directory) override {
    InClient(directory);
    std::vector<DirEntry> listed;
    for (const StoredEntry& entry : client_) listed.push_back(Shown(entry));
    const std::size_t failsAfter = faults_.localListingFails ? listed.size() / 2 : SIZE_MAX;
    return std::make_unique<Listed>(std::move(listed), failsAfter);
  }
  std::wstring fileNameKey(const std::wstring& name) override { return CaselessKey(name); }
  std::optional<DirEntry> lookUp(const std::wstring& path) override {
    const std::lock_guard lock(mutex_);
    const std::wstring name = NameInClient(path);
    if (FailsLookUp(name)) throw RuntimeError("lookUp (fuzz)", 53);
    const StoredEntry* entry = Reached(name);
    if (!entry) return std::nullopt;
    return Shown(*entry);
  }
  std::uint64_t freeSpace(const std::wstring& directory) override {
    InClient(directory);
    if (faults_.roomUnknown) throw RuntimeError("freeSpace (fuzz)", 21);
    return faults_.room;
  }
  void copyFile(const std::wstring& source, const std::wstring& destination,
                const FileVersion& listed, ListedDestination found) override;
  bool canWriteIn(const std::wstring& directory) override {
    InClient(directory);
    if (faults_.writableUnknown) throw RuntimeError("canWriteIn (fuzz)", 21);
    return !faults_.notWritable;
  }
  void removeLeftovers(const std::wstring& directory) override {
    InClient(directory);
    if (faults_.leftoversStay) throw RuntimeError("removeLeftovers (fuzz)", 32);
  }
  void startProgram(const std::wstring& path, NativeWindow) override {
    const std::lock_guard lock(mutex_);
    starts_.push_back(path);
    copiesWhenStarted_ = copies_.size();
    turnHeldAtStart_ = turnHeld_;
    if (faults_.startFails) throw RuntimeError("startProgram (fuzz)", 2);
  }
  std::unique_ptr<TextInput> openTextInput(const std::wstring& path) override;

 private:
  using Listed = testing::ListingInMemory;
  struct RunTurn final : Turn {
    explicit RunTurn(bool& held) : held(held) {}
    ~RunTurn() override { held = false; }
    bool& held;
  };

  static DirEntry Shown(const StoredEntry& entry) {
    return {entry.name, entry.version.modified, entry.version.bytes, entry.folder};
  }
  static void InClient(const std::wstring& directory) {
    if (directory != kClientFolder) Fail("a request outside the client folder");
  }
  static std::wstring NameIn(const std::wstring& path, const wchar_t* folder) {
    const std::wstring prefix = std::wstring(folder) + L"/";
    if (!path.starts_with(prefix)) Fail("a path outside both folders");
    std::wstring name = path.substr(prefix.size());
    if (name.empty() || name == L"." || name == L".." || name.find(L'/') != std::wstring::npos) {
      Fail("a path that is not a file of its folder");
    }
    return name;
  }
  static std::wstring NameInClient(const std::wstring& path) { return NameIn(path, kClientFolder); }
  bool FailsLookUp(const std::wstring& name) const;
  StoredEntry* Reached(const std::wstring& name);

  std::mutex mutex_;
  std::vector<StoredEntry> server_, client_, before_;
  std::string config_;
  Faults faults_;
  testing::PlayedClock clock_;  // the pass's waits (for the work turn) played at once
  std::vector<MadeCopy> copies_;
  std::vector<std::wstring> starts_;
  std::size_t copiesWhenStarted_ = 0;
  bool turnHeld_ = false, turnHeldAtStart_ = false;
};

}  // namespace dravelin::fuzzing
