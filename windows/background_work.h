// A thread of the program's own for work that would otherwise keep the window thread from its
// messages for long: a copy of gigabytes, or a server that stops answering in the middle of one.
// The window thread hands one piece of work over and goes on dispatching its messages until the
// work is done, so that its windows repaint and answer the system, and Windows never marks them
// "Not Responding" (and offers to end the program half-way through the update).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "handles.h"

namespace dravelin::win {

class BackgroundWork {
 public:
  BackgroundWork();
  ~BackgroundWork();  // ends the thread, which is idle whenever no run() is under way
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // Runs `work` on the thread and returns when it is done, throwing what it threw. Meanwhile
  // `onMessages` is called on this thread each time messages arrive for it. The thread is made
  // at the first run and serves every later one: a copy of many small files costs no thread each.
  void run(const std::function<void()>& work, const std::function<void()>& onMessages);

 private:
  void serve();
  void waitForWork(const std::function<void()>*& work);

  std::mutex mutex_;
  std::condition_variable wake_;
  const std::function<void()>* work_ = nullptr;  // handed over, not yet taken
  bool stopping_ = false;
  std::exception_ptr failure_;  // of the last work; read once `done_` is set
  UniqueKernelHandle done_;     // set by the thread when a piece of work is done
  std::thread thread_;
};

}  // namespace dravelin::win
