// The update pass's error rule, in one place.
//
// The pass runs at start-up, before the client, with nobody to read a message: a file that
// cannot be read, compared or copied must not keep the user from the rest of the update, nor
// from the client. So every step of the pass is a statement of its own, and a step that fails
// is dropped - its partial work with it - and the pass goes on with the next step. Nothing is
// shown or logged.
//
// Two shapes of step exist:
//   - an action (an assignment or a call): `Attempt` runs it and says whether it got through;
//   - a test that guards a branch: `Guard` gives its value, and when evaluating the test fails
//     the branch is entered, because the pass resumes with the first step after the test, which
//     is the first step the test guards.
#pragma once

#include <exception>
#include <utility>

namespace dravelin::error_rule {

template <typename Action>
bool Attempt(Action&& action) noexcept {
  try {
    std::forward<Action>(action)();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

template <typename Test>
bool Guard(Test&& test) noexcept {
  bool holds = true;
  Attempt([&] { holds = std::forward<Test>(test)(); });
  return holds;
}

}  // namespace dravelin::error_rule
