// One run of dialog-host: the questions it asks, the dialog it shows, the answers it prints.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "builds.h"
#include "questions.h"
#include "uidriver.h"
#include "variant.h"
#include "win32/handles.h"

namespace dravelin::uitest {

// What all the tests share (tests/support), as the UI tests name it.
using testing::BuildName;
using testing::ForEachBuild;
using testing::kBuilds;
using testing::Question;

inline constexpr std::wstring_view kDialogCaption = L"Update Check Windows";
inline constexpr std::wstring_view kOwnerCaption = L"dialog-host owner";

// An ordinary question with Korean texts, as the update pass fills it.
Question SampleQuestion();

class HostSession {
 public:
  HostSession(Build build, const std::vector<Question>& questions);
  ~HostSession();  // ends the host if a failed test left it running

  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // The dialog of the current question, on screen and ready for input.
  HWND waitForDialog() const;

  // Waits for the host to end and returns what it printed, one entry per line (the first is
  // "dpi=N"). Throws when the host does not end in time or ends with a failure status.
  std::vector<std::string> finish();

 private:
  void readAvailable();

  win::UniqueKernelHandle process_;
  win::UniqueFile output_;
  std::string printed_;
};

// The printed "choice=N" values, in order.
std::vector<int> Choices(const std::vector<std::string>& lines);

// A control of a window of the host, by its control ID.
HWND Control(HWND dialog, int id);

}  // namespace dravelin::uitest
