// What the share tests share: the whole runs of the programs, the share, and the start of a long
// copy from it.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "program_session.h"
#include "share_server.h"
#include "uidriver.h"

namespace dravelin::uitest::sharetest {

// The client holds `name` as `localBytes` from November, the share as `serverBytes` from
// December, and the client's configuration names the share's folder.
inline void LayOutANewerCopy(const SharedFolder& server, const ClientFolder& client,
                             std::wstring_view name, std::string_view serverBytes,
                             std::string_view localBytes) {
  server.write(name, serverBytes, {kDecember});
  client.writeLocal(name, localBytes, kNovember);
  client.writeConfigNaming(server.prefix());
}

// Answers the run's first question with Replace and returns once the copy is under way.
inline void ReplaceAndAwaitTheCopy(ProgramRun& run, const ClientFolder& client) {
  const HWND question = run.nextQuestion();
  ASSERT_NE(question, nullptr);
  run.answer(question, Answer::Replace);
  ASSERT_TRUE(WaitForACopyUnderWay(client)) << "the copy never began";
}

}  // namespace dravelin::uitest::sharetest
