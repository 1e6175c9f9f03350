// A question of the update pass about one file, and the user's answer to it.
#pragma once

#include <cstdint>
#include <string>

namespace dravelin {

// The three captions of the question: the server file, the local copy's date (or the text
// saying that there is none) and the server copy's date.
struct Question {
  std::wstring fileName;
  std::wstring oldDate;
  std::wstring newDate;
};

// Numbered as the dialog's buttons have always been, for whatever shows the number.
enum class Answer : std::int16_t {
  None = 0,        // closed without an answer, or never shown: not copied, asked again
  Replace = 1,     // copied, asked again
  Skip = 2,        // not copied, asked again
  ReplaceAll = 3,  // copied, and every later file copied without asking
  SkipAll = 4,     // not copied, and every later file passed over without asking
};

}  // namespace dravelin
