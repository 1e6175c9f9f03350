// The copy of the update and the cleaning up after it, as each system's runtime does them
// (win32/copy.cpp, posix/copy.cpp).
#pragma once

#include <functional>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "patience.h"
#include "runtime.h"
#include "work_folder.h"

namespace dravelin {

// The source is not the version that the listing showed, or stopped being it while it was read:
// it was replaced, cut short or rewritten (an administrator publishing a new version), or its
// reading ended before its end (a share that went away). No copy of it is put in place.
class SourceChanged : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The steps of replacing the running program's own file, which the system will not overwrite
// but lets be renamed: move it aside, then put the new copy in its place. Should that fail, the
// old file goes back, by rename or else by copy, so that no run ends with no program file under
// its name, which no later run could repair. Each step throws when it fails.
struct ProgramReplacement {
  std::function<void()> moveAside;
  std::function<void()> placeNew;
  std::function<void()> moveBack;
  std::function<void()> copyBack;
};
// Throws what `placeNew` threw when the new copy did not take the program's place.
void ReplaceProgram(const ProgramReplacement& steps);

// The copies of a run and the work folder they go through (work_folder.h). Keeps what every copy
// needs alike from one copy to the next: the work folder once it is made, and a buffer for each
// thread that copies. Copies may run on several threads at once.
class FileCopier {
 public:
  // Waits with `patience` for files that other programs hold: the source, the destination, the
  // temporary copies and the work folder.
  explicit FileCopier(Patience& patience, const CopyCalls& calls = SystemCopyCalls())
      : patience_(patience), calls_(calls) {}

  // Copies `source` over `destination` by way of a temporary file in the work folder of the
  // destination's directory, which then replaces the destination in one rename. The copy is put
  // in place only when it is whole and of one version: the version `listed`, unchanged from the
  // copy's start to its end as the open source tells, all of its bytes read. Its data and its
  // last-modified time (the source's) are on the disk before the rename. On any failure the old
  // destination is left whole and the temporary file is removed. On Windows, the running
  // program's own file, which cannot be overwritten, is first moved aside into the work folder;
  // should the new copy then fail to take its place, it is moved back.
  void copyOver(const std::wstring& source, const std::wstring& destination,
                const FileVersion& listed, ListedDestination found);

  // Runtime::canWriteIn, tried with a file in the folder where the copies go, every time: a work
  // folder that is there already may still refuse this user's files (an administrator's run left
  // it in Program Files). The work folder it makes is the one the copies then use.
  bool canWriteIn(const std::wstring& directory);

  // Removes what earlier runs left in the work folder of `directory`, and the folder itself.
  // A file that another program holds for a moment is waited for; one still in use stays, and the
  // first failure is thrown once everything else is done.
  void removeLeftovers(const std::wstring& directory);

 private:
  // Where the temporary copies for `directory` are made: its work folder, made when missing, or
  // the directory itself when a file in the folder's place keeps it from being made.
  std::wstring temporaryDirectory(const std::wstring& directory);
  // The work folder went (a copy found it missing): the next copy makes it again.
  void forgetWorkFolder();
  // What `make` gives in the temporary directory of `directory`. A work folder that went after it
  // was made (the clean-up of another user's run found it empty) is made again, and `make` tried
  // once more.
  template <typename Make>
  auto inTemporaryDirectory(const std::wstring& directory, Make&& make) {
    for (int attempt = 1;; ++attempt) {
      try {
        return make(temporaryDirectory(directory));
      } catch (const RuntimeError& failure) {
        forgetWorkFolder();
        if (attempt == kWorkFolderAttempts || !IsMissingFolder(failure)) throw;
      }
    }
  }
  static constexpr int kWorkFolderAttempts = 3;
  // The copying thread's own buffer: copies run several at once.
  static std::vector<char>& buffer();

  Patience& patience_;
  const CopyCalls& calls_;
  std::mutex mutex_;                   // for what follows: copies run several at once
  std::wstring destinationDirectory_;  // whose temporary directory is known
  std::wstring temporaryDirectory_;
  std::wstring cleared_;  // whose work folder was found gone or emptied, and not used since
  // Held by each copy that is put in place: shared, but alone by one whose name may be a short
  // 8.3 name of another file, which is checked right before (Windows).
  std::shared_mutex placing_;
};

}  // namespace dravelin
