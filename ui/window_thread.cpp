#include "window_thread.h"

#include <exception>
#include <utility>

#include "error_rule.h"
#include "win32/last_error.h"
#include "window_class.h"

namespace dravelin::win {

namespace {

constexpr wchar_t kCallsWindowClass[] = L"DravelinWindowThreadCalls";
constexpr UINT kRunCall = WM_APP;

// One piece of work handed to another thread, and what it threw.
struct Handover {
  const std::function<void()>& work;
  std::exception_ptr failure = nullptr;
  bool ran = false;

  void runHere() noexcept {
    ran = true;
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  }
  void rethrow() {
    if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
  }
};

DWORD WINAPI WorkThread(void* handover) {
  static_cast<Handover*>(handover)->runHere();
  return 0;
}

// Everything waiting for this thread: messages posted and sent to it, input, paints. A quit
// request is not acted on: the update runs to its end and starts the client, as it must.
void DispatchWaiting() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

void RunOffWindowThread(const std::function<void()>& work, const std::function<void()>& meanwhile) {
  Handover handover{work};
  const UniqueKernelHandle thread(::CreateThread(nullptr, 0, WorkThread, &handover, 0, nullptr));
  if (!thread) ThrowLastError("CreateThread");
  const HANDLE done = thread.get();
  // The work goes on whatever happens here; it must end before this returns.
  Handover alongside{meanwhile};
  alongside.runHere();
  for (;;) {
    // MWMO_INPUTAVAILABLE: wake for messages already in the queue too, not only for new ones.
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_OBJECT_0 + 1) {
      DispatchWaiting();
      continue;
    }
    // The work uses what the caller lent it: it must end before this returns.
    const DWORD error = ::GetLastError();
    ::WaitForSingleObject(done, INFINITE);
    throw RuntimeError("MsgWaitForMultipleObjectsEx", static_cast<long>(error));
  }
  handover.rethrow();
  alongside.rethrow();
}

WindowThreadCalls::WindowThreadCalls(HINSTANCE instance)
    : instance_(instance),
      windowThread_(::GetCurrentThreadId()),
      opened_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {  // manual reset: stays open
  if (!opened_) ThrowLastError("CreateEventW");
}

void WindowThreadCalls::open() noexcept {
  // Without its window a call cannot be taken: it then fails, as any step of the update may, and
  // the update goes on; what matters here is that no caller is left waiting.
  error_rule::Attempt([&] {
    RegisterWindowClassOnce(instance_, kCallsWindowClass, Procedure);
    window_.reset(::CreateWindowExW(0, kCallsWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance_, nullptr));
  });
  // Cannot fail on the event this object made and holds.
  ::SetEvent(opened_.get());
}

void WindowThreadCalls::run(const std::function<void()>& call) const {
  if (::GetCurrentThreadId() == windowThread_) return call();
  if (::WaitForSingleObject(opened_.get(), INFINITE) != WAIT_OBJECT_0) {
    ThrowLastError("WaitForSingleObject (window thread)");
  }
  Handover handover{call};
  // SendMessage waits until the window thread has run the call: it takes it at its next look at
  // its messages, which it never stops taking while the update runs.
  ::SendMessageW(window_.get(), kRunCall, 0, reinterpret_cast<LPARAM>(&handover));
  if (!handover.ran) ThrowLastError("SendMessageW (call to the window thread)");
  handover.rethrow();
}

LRESULT CALLBACK WindowThreadCalls::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message != kRunCall) return ::DefWindowProcW(window, message, wParam, lParam);
  reinterpret_cast<Handover*>(lParam)->runHere();
  return 0;
}

}  // namespace dravelin::win
