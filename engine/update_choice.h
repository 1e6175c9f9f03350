// modUpdate: the user's standing answer, shared by the confirmation dialog (which writes it from
// its button handlers) and the update pass (which reads it after the modal show returns).
// Everything runs on the one GUI thread, so a plain variable is enough.
#pragma once

#include <cstdint>

namespace dravelin::modUpdate {

enum Choice : std::int16_t {
  ChoiceNone = 0,     // set before the scan and whenever the dialog loads; not copied, asked again
  ChoiceReplace = 1,  // copied, asked again
  ChoiceSkip = 2,     // not copied, asked again
  ChoiceReplaceAll = 3,  // copied, later candidates copied without asking
  ChoiceSkipAll = 4,     // not copied, later candidates skipped without asking
};

inline std::int16_t UpdateChoice = ChoiceNone;

}  // namespace dravelin::modUpdate
