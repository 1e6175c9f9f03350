// Which server files the pass asks about or copies: the rules that weigh one file, apart from
// the pass that walks the listing, so that each can be read, and tested, on its own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "answer.h"
#include "local_times.h"
#include "variant.h"

namespace dravelin {

// What the pass knows of one server file when it weighs it.
struct Weighing {
  FileTime serverTime;  // as the listing shows it
  LocalCopy local;      // what the program directory holds under its name
  NewerRule newerRule;  // the build's rule for "newer"
  Answer standing;      // the answer to the last question
};

// The dates that a candidate's question shows: the local copy's (kNoTimestamp where there is
// none) and the server copy's.
struct CandidateDates {
  std::wstring local;
  std::wstring server;
};

// The dates of a file to be asked about or copied, or nullopt for one that is passed over: a
// folder or another file is in the way of its name; its server time is one that a copy cannot
// carry or a question cannot show; it is not newer than the local copy by the build's rule (a
// file with no local copy always is); or Skip All was given. `takesIt` is asked last, and only
// for a file that passed every other rule: whether the client's disk and folder can take the
// copy, which costs the system requests. A step that fails goes on as the error rule says.
std::optional<CandidateDates> WeighCandidate(const Weighing& file,
                                             const std::function<bool()>& takesIt);

}  // namespace dravelin
