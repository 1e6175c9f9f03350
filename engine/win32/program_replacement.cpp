#include "program_replacement.h"

#include <windows.h>

#include "file_copy.h"
#include "file_failures.h"
#include "win32/handles.h"
#include "work_folder.h"

namespace dravelin {

namespace {

// The old program with the right to rename it, sharing everything: a program that holds the
// file without sharing its deletion (a scanner reading it) refuses this open until it lets go,
// and nothing can take such a hold while this one is open.
win::UniqueFile OpenToRename(const std::wstring& program) {
  win::UniqueFile file(CreateFileW(program.c_str(), DELETE | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
  if (!file) ThrowFailure("CreateFileW (program to rename)", program);
  return file;
}

// The old program file, held open from before it moves aside until the replacement is done.
class OldProgram {
 public:
  OldProgram(const std::wstring& program, Patience& patience, const CopyCalls& calls)
      : program_(program),
        calls_(calls),
        file_(patience.persist([&] { return OpenToRename(program); })) {}

  // Where a rename by handle is refused, the file is let go of and renamed by its path, which may
  // meet another program's hold, and then fails without moving anything.
  void moveTo(const std::wstring& aside) {
    if (file_) {
      if (RenameOpenFile(file_.get(), aside, false, calls_)) return;
      if (!RenameByHandleRefused(GetLastError())) {
        ThrowFailure("SetFileInformationByHandle (program aside)", program_);
      }
      file_.reset();
    }
    if (!MoveFileExW(program_.c_str(), aside.c_str(), 0)) ThrowFailure("MoveFileExW", program_);
  }

  // From `aside` back under the program's name, which nothing else may have taken meanwhile.
  void moveBack(const std::wstring& aside) {
    if (file_ ? !RenameOpenFile(file_.get(), program_, false, calls_)
              : !MoveFileExW(aside.c_str(), program_.c_str(), 0)) {
      ThrowFailure("rename (program back)", program_);
    }
  }

 private:
  const std::wstring& program_;
  const CopyCalls& calls_;
  win::UniqueFile file_;
};

}  // namespace

void ReplaceProgramFile(TemporaryFile& copy, const std::wstring& program,
                        const std::wstring& workFolder, Patience& patience,
                        const CopyCalls& calls) {
  OldProgram old(program, patience, calls);
  const std::wstring aside = PathIn(workFolder, TemporaryName());
  ReplaceProgram({
      [&] { old.moveTo(aside); },
      [&] { copy.placeAt(program, calls); },
      [&] { old.moveBack(aside); },
      [&] {
        // A copy of the old program: FAIL_IF_EXISTS, for a file that took the name meanwhile
        // is a program file too.
        if (!CopyFileW(aside.c_str(), program.c_str(), TRUE)) ThrowFailure("CopyFileW", program);
      },
  });
}

}  // namespace dravelin
