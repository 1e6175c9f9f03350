// The pass's windows, played by a script: the confirmation dialog loads on the first label touch,
// records the three captions it was given, and answers each question as the script says. Its load
// leaves UpdateChoice alone (the real dialog's sets it to ChoiceNone, which the dialog's own tests
// show), so that the pass's own reset before each question is what the tests see.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fake_runtime.h"
#include "questions.h"
#include "update_choice.h"
#include "update_pass.h"

namespace dravelin::testing {

// A question as the scripted dialog showed it: its captions, and UpdateChoice as the modal show
// began.
struct ShownQuestion : Question {
  std::int16_t choiceWhenShown;
};

// Decides the answer to a question; may also act on the world while the dialog is up.
using Script = std::function<Answer(const ShownQuestion&)>;

inline Script AnswerAlways(Answer answer) {
  return [answer](const ShownQuestion&) { return answer; };
}

// Answers by the end of the server path; a question about any other file fails the test.
inline Script AnswerByName(std::map<std::wstring, Answer> answers) {
  return [answers = std::move(answers)](const ShownQuestion& question) {
    for (const auto& [name, answer] : answers) {
      if (question.fileName.ends_with(name)) return answer;
    }
    ADD_FAILURE() << "unexpected question about " << ::testing::PrintToString(question.fileName);
    return Answer::CloseFrame;
  };
}

// Answers in turn; more questions than answers fails the test.
inline Script AnswerInTurn(std::vector<Answer> answers) {
  return [answers = std::move(answers), next = std::size_t{0}](const ShownQuestion&) mutable {
    if (next < answers.size()) return answers[next++];
    ADD_FAILURE() << "more questions than scripted answers";
    return Answer::CloseFrame;
  };
}

class ScriptedWindows final : public PassWindows {
 public:
  // `unmade`: the question (counted from 1) whose dialog cannot be made, as on a terminal server
  // out of desktop heap: each of its calls fails.
  ScriptedWindows(EventLog& log, Script script, int unmade = 0)
      : log_(log), script_(std::move(script)), unmade_(unmade) {}

  const std::vector<ShownQuestion>& questions() const { return questions_; }

  void setFileName(const std::wstring& text) override { load().fileName = text; }
  void setOldDate(const std::wstring& text) override { load().oldDate = text; }
  void setNewDate(const std::wstring& text) override { load().newDate = text; }

  void showQuestion() override {
    ShownQuestion& shown = load();
    shown.choiceWhenShown = modUpdate::UpdateChoice;
    questions_.push_back(shown);
    log_.push_back(L"question " + shown.fileName);
    // A button writes its value and then unloads the dialog; the frame's close only unloads it.
    switch (script_(shown)) {
      case Answer::Replace:
        modUpdate::UpdateChoice = modUpdate::ChoiceReplace;
        break;
      case Answer::Skip:
        modUpdate::UpdateChoice = modUpdate::ChoiceSkip;
        break;
      case Answer::ReplaceAll:
        modUpdate::UpdateChoice = modUpdate::ChoiceReplaceAll;
        break;
      case Answer::SkipAll:
        modUpdate::UpdateChoice = modUpdate::ChoiceSkipAll;
        break;
      case Answer::CloseFrame:
        break;
    }
    loaded_ = false;
  }
  void unloadQuestion() override {
    loaded_ = false;
    failing_ = false;
  }
  void waitingForAnotherRun(bool waiting) override {
    log_.push_back(waiting ? L"waits for another run" : L"goes first");
  }
  void awaitWindowSetUp() override {}
  void pumpEvents() override {}
  void replacing(const std::wstring&, const std::function<void()>& copy) override { copy(); }
  NativeWindow prepareClientStart() override { return nullptr; }
  void unloadProgressWindow() override { log_.push_back(L"unload progress window"); }

 private:
  // The dialog as the pass touches it: a fresh one when none is loaded.
  ShownQuestion& load() {
    if (!loaded_ && !failing_ && ++made_ == unmade_) failing_ = true;
    if (failing_) throw RuntimeError("CreateWindowExW (test: no desktop heap)", 8);
    if (!loaded_) {
      loaded_ = true;
      current_ = ShownQuestion{{L"File Name", L"Old Date 파일을", L"New Date 파일로 "}, -1};
    }
    return current_;
  }

  EventLog& log_;
  Script script_;
  int unmade_;
  int made_ = 0;
  bool failing_ = false;
  bool loaded_ = false;
  ShownQuestion current_{};
  std::vector<ShownQuestion> questions_;
};

}  // namespace dravelin::testing
