// A question of the update pass as the user meets it, and the ways to leave it: shared by the
// pass tests, whose scripted windows answer it, and the UI tests, which answer the real dialog.
#pragma once

#include "answer.h"

namespace dravelin::testing {

// One of the four buttons, or closing the dialog through its frame.
enum class Answer { Replace, Skip, ReplaceAll, SkipAll, CloseFrame };

// The three captions that the pass fills in.
using dravelin::Question;

}  // namespace dravelin::testing
