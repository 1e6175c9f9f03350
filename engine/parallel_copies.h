// Copies made several at once. Each copy waits for round trips to the server (an open, each read,
// the end of the file, a close) however small the file; over a far server (a branch office's WAN,
// tens of milliseconds a trip) copies one after another add those waits up file by file, while
// copies in flight together wait for them once. Each copy keeps everything it has alone: its own
// handles and buffer, the checks of the listed version, the flush before its rename, the patience
// with held files, and the error rule (a failed copy leaves its file as it was; the others go on).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dravelin {

class ParallelCopies {
 public:
  // At most `inFlight` copies run at once, each on a thread of its own, made as copies come.
  explicit ParallelCopies(int inFlight) : inFlight_(inFlight) {}
  // Lets any copies still queued be made, then ends the threads.
  ~ParallelCopies();
  ParallelCopies(const ParallelCopies&) = delete;
  ParallelCopies& operator=(const ParallelCopies&) = delete;

  // Starts every thread now, to wait for copies: a thread takes milliseconds to start, which
  // the first copies would wait for otherwise.
  void startAll();

  // Queues `copy`, which must not throw (each copy is a step under the error rule).
  void add(std::function<void()> copy);

  // Waits until every copy queued has been made or has failed. The threads stay, idle, until the
  // object goes: under Wine each thread's end costs the process a few milliseconds of requests to
  // the Wine server, which whatever comes next (the client's start) need not wait for.
  void finish();

 private:
  // Under the lock: false when the system gives no thread.
  bool startThread();
  void work();

  int inFlight_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable copiesDone_;
  std::deque<std::function<void()>> waiting_;
  bool closing_ = false;
  int idle_ = 0;     // threads waiting for a copy
  int copying_ = 0;  // copies taken from the queue and not yet done
  std::vector<std::thread> threads_;
};

}  // namespace dravelin
