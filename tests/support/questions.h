// A question of the update pass as the user meets it, and the ways to leave it: shared by the
// pass tests, whose scripted windows answer it, and the UI tests, which answer the real dialog.
#pragma once

#include <string>

namespace dravelin::testing {

// One of the four buttons, or closing the dialog through its frame.
enum class Answer { Replace, Skip, ReplaceAll, SkipAll, CloseFrame };

// The three captions that the pass fills in: the server file, the local copy's date (or the text
// saying that there is none) and the server copy's date.
struct Question {
  std::wstring fileName;
  std::wstring oldDate;
  std::wstring newDate;
};

}  // namespace dravelin::testing
