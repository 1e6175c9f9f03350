// The update runs on a thread of its own, so that nothing it waits for (a server that answers
// slowly, a long copy, another run's turn) keeps the window thread from its messages: the windows
// repaint, animate and answer the system's "are you alive" probes throughout, and Windows never
// greys them as "Not Responding" and offers to end the program half-way through the update.
// The windows stay the window thread's own: what the update does with them is called over to it.
#pragma once

#include <windows.h>

#include <functional>

#include "win32/handles.h"

namespace dravelin::win {

// Runs `work` on a thread of its own; meanwhile this thread, the window thread, runs `meanwhile`
// and then dispatches whatever arrives for it. Returns when the work is done, throwing what it
// threw (or what `meanwhile` threw). One thread for the whole update: no piece of it pays for
// handing work over.
void RunOffWindowThread(const std::function<void()>& work, const std::function<void()>& meanwhile);

// Calls that other threads make to run on the window thread, which alone may create, fill, show
// and destroy its windows. The caller waits until the call is done, as if it had made it itself.
// Calls are taken only once the window thread has opened for them: until its windows are up, it
// may handle a message sent to it in the middle of making them (Wine's ShowWindow waits on the
// desktop process, and takes sent messages while it waits), where no call belongs.
class WindowThreadCalls {
 public:
  explicit WindowThreadCalls(HINSTANCE instance);  // made on the window thread
  WindowThreadCalls(const WindowThreadCalls&) = delete;
  WindowThreadCalls& operator=(const WindowThreadCalls&) = delete;

  // From here on, calls from other threads are taken; on the window thread. Makes the window
  // that receives them here rather than at the start: a process's first window costs tens of
  // milliseconds under Wine (the display driver is loaded), which the update need not wait for.
  void open() noexcept;

  // Runs `call` on the window thread (at once when called there) and throws what it threw.
  void run(const std::function<void()>& call) const;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  DWORD windowThread_;
  UniqueKernelHandle opened_;  // set once calls are taken
  UniqueWindow window_;        // message-only: never shown, there to receive the calls
};

}  // namespace dravelin::win
