#include "update_pass.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>

#include "candidate_rules.h"
#include "config.h"
#include "error_rule.h"
#include "local_times.h"
#include "parallel_copies.h"
#include "server_files.h"
#include "timestamp.h"
#include "work_folder.h"
#include "work_turn.h"

namespace dravelin {

namespace {

using error_rule::Attempt;
using error_rule::Guard;

constexpr wchar_t kServerDirectoryKey[] = L"Server_directory";
constexpr wchar_t kExeProgramKey[] = L"Exe_Program";
constexpr wchar_t kEveryFile[] = L"*.*";
// Copies in flight after Replace All: enough to hide the round trips of a far server (measured:
// bench/far-server: 8 took half the time of 4), and a buffer each.
constexpr int kCopiesInFlight = 8;

// The dialog reads: this server file; its local copy of <date> (or: there is none); to be
// replaced by the server copy of <date>; replace?
constexpr wchar_t kOldDateParticle[] = L"을";
constexpr wchar_t kNewDateParticle[] = L"로";
constexpr wchar_t kNoLocalCopy[] = L"해당화일은 존재하지 않습니다.";

bool IsSeparator(wchar_t c) { return c == kPathSeparator || c == L'/'; }

// The server directory is a prefix of every server path. Written without its closing separator it
// would run into the file names and match nothing, so the separator is supplied.
std::wstring AsDirectoryPrefix(std::wstring directory) {
  if (!directory.empty() && !IsSeparator(directory.back())) directory += kPathSeparator;
  return directory;
}

class UpdatePass {
 public:
  UpdatePass(Runtime& runtime, PassWindows& windows, const Variant& variant)
      : runtime_(runtime),
        windows_(windows),
        variant_(variant),
        work_([this] { return runtime_.tryWorkTurn(requireProgramDirectory()); },
              runtime_.clock()) {}

  // Every statement below is a step under the error rule (error_rule.h).
  void run() {
    Attempt([&] { programDirectory_ = runtime_.programDirectory(); });
    // Another run in the same folder (a second start, another user) goes first: its questions are
    // not asked twice, and its copies under way are not cleared away as leftovers. This run then
    // goes on as if started now. Where the turn cannot be had, the run goes on alone.
    bool told = false;
    const TurnNotice tell = [&](bool othersFirst) {
      told = true;
      Attempt([&] { windows_.waitingForAnotherRun(othersFirst); });
    };
    std::unique_ptr<Turn> turn;
    Attempt([&] { turn = runtime_.waitForTurn(requireProgramDirectory(), tell); });
    if (!told) tell(false);
    Attempt([&] { serverDirectory_ = AsDirectoryPrefix(setting(kServerDirectoryKey)); });
    Attempt([&] { exeProgram_ = setting(kExeProgramKey); });
    // The program directory is listed while the windows are still being set up, the server
    // directory only once they are: under Wine a listing holds up every other listing of the
    // process while it lasts, and a server that stalls must not catch the progress window half
    // made.
    LocalTimes localTimes(runtime_, programDirectory_);
    if (!serverDirectory_.empty()) localTimes.list();
    // A run that was ended half-way (killed, logged off) left its temporary copy behind.
    const bool workFolderListed = serverDirectory_.empty() || Guard([&] {
                                    return localTimes.holds(std::wstring(kWorkFolderName));
                                  });
    if (workFolderListed) removeLeftovers();
    Attempt([&] { windows_.awaitWindowSetUp(); });
    scan(localTimes);
    // A second start waits for the turn no longer than it must: not through the client's start,
    // which may wait for the user's consent.
    turn.reset();
    startClient();
    Attempt([&] { windows_.unloadProgressWindow(); });
    // Also the program file that this run replaced, if the system lets it go while it runs. This
    // run made the work folder where it found out whether the folder is writable. After the
    // client's start: the clean-up may wait for another user's run, and the client need not.
    if (workFolderListed || writable_.has_value()) removeLeftovers();
  }

 private:
  const std::wstring& requireProgramDirectory() const {
    if (programDirectory_.empty()) throw std::logic_error("program directory unknown");
    return programDirectory_;
  }

  std::wstring localPath(std::wstring_view name) const {
    std::wstring path = requireProgramDirectory() + kPathSeparator;
    return path += name;
  }
  std::wstring serverPath(std::wstring_view name) const {
    std::wstring path = serverDirectory_;
    return path += name;
  }

  // Started while the progress window is up, and so while this program is in front: Windows lets
  // only the program in front give the front to another, and a consent prompt owned by a window
  // in front comes up in front. The window goes right after, before the client's own shows.
  void startClient() {
    NativeWindow owner = nullptr;
    Attempt([&] { owner = windows_.prepareClientStart(); });
    Attempt([&] { runtime_.startProgram(localPath(exeProgram_), owner); });
  }

  std::wstring setting(const wchar_t* key) {
    return GetConfigValue(runtime_, localPath(std::wstring(variant_.configFileName)), key);
  }

  void scan(LocalTimes& localTimes) {
    // Without a server directory there is nothing to list: a bare "*.*" would list whatever
    // directory the process happens to run in, and offer its files as server files.
    if (serverDirectory_.empty()) return;
    const ServerFiles files = ListServerFiles(runtime_, serverDirectory_ + kEveryFile);
    std::size_t next = 0;
    std::optional<ListedDestination> answeredAll;
    while (next < files.size() && !answeredAll) {
      answeredAll = visit(files[next++], localTimes);
    }
    if (!answeredAll) return;
    // Replace All: nothing is asked any more, and the file it was given for and those still to
    // come are copied several at once (parallel_copies.h), all of them under one work turn.
    work_.around([&] {
      copyInFlight(files[next - 1], *answeredAll);
      for (; next < files.size(); ++next) {
        const ServerFile& file = files[next];
        if (const std::optional<ListedDestination> found = candidate(file, localTimes)) {
          copyInFlight(file, *found);
        }
      }
      copies_.finish();
    });
  }

  void copyInFlight(const ServerFile& file, ListedDestination found) {
    inFlight_ += file.listed.bytes;
    copies_.add([this, file, found] {
      copy(file, found);
      inFlight_ -= file.listed.bytes;
    });
  }

  // One server file, in the listing's order, while the user is asked. A file answered with
  // Replace All is not copied here but returned, with what the listing showed under its name, to
  // go first among the copies in flight, whose threads start while the user reads the question.
  std::optional<ListedDestination> visit(const ServerFile& file, LocalTimes& localTimes) {
    CandidateDates dates;
    const std::optional<ListedDestination> found = candidate(file, localTimes, &dates);
    if (!found) return std::nullopt;
    copies_.startAll();
    standing_ = ask(serverPath(file.name), dates);
    if (standing_ == Answer::ReplaceAll) return found;
    if (standing_ == Answer::Replace) work_.around([&] { copy(file, *found); });
    return std::nullopt;
  }

  // What the listing showed under the file's name when it is to be asked about or copied
  // (candidate_rules.h), nullopt when not: Present also where the lookup failed. Its time comes
  // with the listing, the local time from the one listing of the program directory; the dates
  // that the question shows go to `dates` where given.
  std::optional<ListedDestination> candidate(const ServerFile& file, LocalTimes& localTimes,
                                             CandidateDates* dates = nullptr) {
    Weighing weighing{file.listed.modified, {}, variant_.newerRule, standing_};
    ListedDestination found = ListedDestination::Present;
    Attempt([&] {
      const std::wstring name(file.name);
      weighing.local = localTimes.of(name, runtime_.fileNameKey(name));
      if (!weighing.local.inTheWay && !weighing.local.modified) {
        found = ListedDestination::Missing;
      }
    });
    std::optional<CandidateDates> weighed = WeighCandidate(weighing, [&] {
      if (!fitsTheRoom(file.listed.bytes)) return false;
      // A folder that this user may not write (Program Files for a standard user, a read-only
      // medium): every question would lead nowhere, at every start. Found out at the first file.
      if (!writable_) {
        writable_ = Guard([&] { return runtime_.canWriteIn(requireProgramDirectory()); });
      }
      return *writable_;
    });
    if (!weighed) return std::nullopt;
    if (dates) *dates = std::move(*weighed);
    return found;
  }

  // A file larger than the room left on the client's disk would be read until the disk is full,
  // at every start; the copies in flight will take their share of the room too. While the user is
  // asked, the room is read for each file. After Replace All a reading for each file would be one
  // more request to the system beside each copy's own: the room is read again only for a file
  // that does not fit what the last reading left, less the copies started since, so that a file
  // is passed over only against a fresh reading. Room that cannot be read passes the file.
  bool fitsTheRoom(std::uint64_t bytes) {
    if (!roomLeft_ || bytes > *roomLeft_) {
      std::optional<std::uint64_t> room;
      Attempt([&] { room = runtime_.freeSpace(requireProgramDirectory()); });
      roomLeft_.reset();
      if (!room) return true;
      roomLeft_ = *room - std::min(*room, inFlight_.load());
    }
    if (bytes > *roomLeft_) return false;
    if (standing_ == Answer::ReplaceAll) {
      *roomLeft_ -= bytes;
    } else {
      roomLeft_.reset();
    }
    return true;
  }

  // Under Wine, looking for a folder that is not there reads the whole directory, which can hold
  // thousands of files: the run looks only where the listing showed one, or where it made one.
  void removeLeftovers() {
    Attempt([&] { work_.around([&] { runtime_.removeLeftovers(requireProgramDirectory()); }); });
  }

  // A file that the windows hold (the progress window's clip) is let go of for its copy.
  void copy(const ServerFile& file, ListedDestination found) {
    Attempt([&] {
      const std::wstring destination = localPath(file.name);
      windows_.replacing(destination, [&] {
        runtime_.copyFile(serverPath(file.name), destination, file.listed, found);
      });
    });
  }

  // A question that cannot be asked (its dialog cannot be made on a terminal server out of
  // desktop heap) has no answer: the file is not copied, and nothing of an earlier answer stands.
  Answer ask(const std::wstring& sourcePath, const CandidateDates& dates) {
    std::wstring oldDate = kNoLocalCopy;
    if (dates.local != kNoTimestamp) Attempt([&] { oldDate = dates.local + kOldDateParticle; });
    Answer answer = Answer::None;
    Attempt([&] { answer = windows_.ask({sourcePath, oldDate, dates.server + kNewDateParticle}); });
    return answer;
  }

  Runtime& runtime_;
  PassWindows& windows_;
  const Variant& variant_;
  std::wstring programDirectory_;
  std::wstring serverDirectory_;  // with its closing separator, or "" when not configured
  std::wstring exeProgram_;
  std::optional<bool> writable_;
  // The answer to the last question: Replace All and Skip All stand for every later file.
  Answer standing_ = Answer::None;  // whether files can be made in the program directory
  // The bytes of the copies in flight after Replace All, until each is done or has failed. Their
  // room is counted whole, also what they have written, which the disk's room already shows.
  std::atomic<std::uint64_t> inFlight_ = 0;
  // After Replace All, the room that the last reading left for the copies still to start.
  std::optional<std::uint64_t> roomLeft_;
  WorkTurns work_;  // with the runs of other sessions in the same folder
  // Last, so that it goes first: its idle threads end after the client's start, when the pass
  // itself goes.
  ParallelCopies copies_{kCopiesInFlight};
};

}  // namespace

void RunUpdatePass(Runtime& runtime, PassWindows& windows, const Variant& variant) {
  UpdatePass(runtime, windows, variant).run();
}

}  // namespace dravelin
