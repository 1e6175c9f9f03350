// The pass's windows, played by a script: each question's captions are recorded and the question
// answered as the script says.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fake_runtime.h"
#include "questions.h"
#include "update_pass.h"

namespace dravelin::testing {

// Decides the answer to a question; may also act on the world while the dialog is up.
using Script = std::function<Answer(const Question&)>;

inline Script AnswerAlways(Answer answer) {
  return [answer](const Question&) { return answer; };
}

// Answers by the end of the server path; a question about any other file fails the test.
inline Script AnswerByName(std::map<std::wstring, Answer> answers) {
  return [answers = std::move(answers)](const Question& question) {
    for (const auto& [name, answer] : answers) {
      if (question.fileName.ends_with(name)) return answer;
    }
    ADD_FAILURE() << "unexpected question about " << ::testing::PrintToString(question.fileName);
    return Answer::CloseFrame;
  };
}

// Answers in turn; more questions than answers fails the test.
inline Script AnswerInTurn(std::vector<Answer> answers) {
  return [answers = std::move(answers), next = std::size_t{0}](const Question&) mutable {
    if (next < answers.size()) return answers[next++];
    ADD_FAILURE() << "more questions than scripted answers";
    return Answer::CloseFrame;
  };
}

class ScriptedWindows final : public QuestionsOnly {
 public:
  // `unmade`: the question (counted from 1) whose dialog cannot be made, as on a terminal server
  // out of desktop heap.
  ScriptedWindows(EventLog& log, Script script, int unmade = 0)
      : log_(log), script_(std::move(script)), unmade_(unmade) {}

  const std::vector<Question>& questions() const { return questions_; }

  dravelin::Answer ask(const Question& question) override {
    if (++made_ == unmade_) throw RuntimeError("CreateWindowExW (test: no desktop heap)", 8);
    questions_.push_back(question);
    log_.push_back(L"question " + question.fileName);
    switch (script_(question)) {
      case Answer::Replace:
        return dravelin::Answer::Replace;
      case Answer::Skip:
        return dravelin::Answer::Skip;
      case Answer::ReplaceAll:
        return dravelin::Answer::ReplaceAll;
      case Answer::SkipAll:
        return dravelin::Answer::SkipAll;
      case Answer::CloseFrame:
        break;
    }
    return dravelin::Answer::None;
  }
  void waitingForAnotherRun(bool waiting) override {
    log_.push_back(waiting ? L"waits for another run" : L"goes first");
  }
  void unloadProgressWindow() override { log_.push_back(L"unload progress window"); }

 private:
  EventLog& log_;
  Script script_;
  int unmade_;
  int made_ = 0;
  std::vector<Question> questions_;
};

}  // namespace dravelin::testing
