#include "background_work.h"

#include <utility>

#include "last_error.h"

namespace dravelin::win {

BackgroundWork::BackgroundWork() {
  done_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));  // auto-reset
  if (!done_) ThrowLastError("CreateEventW");
}

BackgroundWork::~BackgroundWork() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void BackgroundWork::run(const std::function<void()>& work,
                         const std::function<void()>& onMessages) {
  if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
  {
    const std::lock_guard lock(mutex_);
    work_ = &work;
  }
  wake_.notify_one();
  const HANDLE done = done_.get();
  for (;;) {
    // MWMO_INPUTAVAILABLE: wake for messages already in the queue too, not only for new ones.
    const DWORD woke =
        ::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_OBJECT_0 + 1) {
      onMessages();
      continue;
    }
    // The work still uses what the caller lent it: it must end before this returns.
    const DWORD error = ::GetLastError();
    ::WaitForSingleObject(done, INFINITE);
    throw RuntimeError("MsgWaitForMultipleObjectsEx", static_cast<long>(error));
  }
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void BackgroundWork::waitForWork(const std::function<void()>*& work) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [&] { return work_ != nullptr || stopping_; });
  work = std::exchange(work_, nullptr);
}

void BackgroundWork::serve() {
  for (;;) {
    const std::function<void()>* work = nullptr;
    waitForWork(work);
    if (work == nullptr) return;  // stopping
    try {
      (*work)();
    } catch (...) {
      failure_ = std::current_exception();
    }
    ::SetEvent(done_.get());
  }
}

}  // namespace dravelin::win
