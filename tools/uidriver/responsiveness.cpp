// Whether a window answers, asked the way Windows asks before it greys a window as "Not
// Responding": a message sent with a time limit, which only the window's thread can answer.
#include <thread>

#include "uidriver.h"

namespace dravelin::uidriver {

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

std::optional<Milliseconds> Probe(HWND window, Milliseconds timeout) {
  const auto sent = Clock::now();
  DWORD_PTR result = 0;
  // SMTO_ABORTIFHUNG would give up at once on a thread that has been busy for 5 s already; the
  // probe should wait out its own time limit instead, and say how long the answer took.
  if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()),
                             &result)) {
    return std::nullopt;
  }
  return std::chrono::duration_cast<Milliseconds>(Clock::now() - sent);
}

ProbeSummary ProbeUntilGone(HWND window, Milliseconds interval, Milliseconds timeout) {
  ProbeSummary summary;
  while (::IsWindow(window)) {
    const auto sent = Clock::now();
    const std::optional<Milliseconds> answer = Probe(window, timeout);
    const auto waited = std::chrono::duration_cast<Milliseconds>(Clock::now() - sent);
    // Gone at once after the send: no answer was owed. Gone after a wait without answering: the
    // window never answered before it went, which counts as a probe lost.
    if (!answer && !::IsWindow(window) && waited < interval) break;
    ++summary.probes;
    if (!answer) ++summary.lost;
    if (waited > summary.longest) summary.longest = waited;
    if (!::IsWindow(window)) break;
    std::this_thread::sleep_until(sent + interval);
  }
  return summary;
}

}  // namespace dravelin::uidriver
