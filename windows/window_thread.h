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

// Runs `work` on a thread of its own while this thread, the window thread, dispatches whatever
// arrives for it, and returns when the work is done, throwing what it threw. One thread for the
// whole update: no piece of it pays for handing work over.
void RunOffWindowThread(const std::function<void()>& work);

// Calls that other threads make to run on the window thread, which alone may create, fill, show
// and destroy its windows. The caller waits until the call is done, as if it had made it itself.
class WindowThreadCalls {
 public:
  explicit WindowThreadCalls(HINSTANCE instance);  // made on the window thread
  WindowThreadCalls(const WindowThreadCalls&) = delete;
  WindowThreadCalls& operator=(const WindowThreadCalls&) = delete;

  // Runs `call` on the window thread (at once when called there) and throws what it threw.
  void run(const std::function<void()>& call) const;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  DWORD windowThread_;
  UniqueWindow window_;  // message-only: never shown, there to receive the calls
};

}  // namespace dravelin::win
