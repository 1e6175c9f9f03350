#include "parallel_copies.h"

#include <system_error>
#include <utility>

namespace dravelin {

ParallelCopies::~ParallelCopies() {
  {
    const std::lock_guard lock(mutex_);
    closing_ = true;
  }
  queued_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ParallelCopies::finish() {
  std::unique_lock lock(mutex_);
  copiesDone_.wait(lock, [this] { return waiting_.empty() && copying_ == 0; });
}

void ParallelCopies::startAll() {
  const std::lock_guard lock(mutex_);
  while (!closing_ && static_cast<int>(threads_.size()) < inFlight_ && startThread()) {
  }
}

void ParallelCopies::add(std::function<void()> copy) {
  std::unique_lock lock(mutex_);
  // A thread more only where none is free to take it: a scan that finds few files to copy
  // starts few threads.
  const bool wanted = idle_ == 0 && static_cast<int>(threads_.size()) < inFlight_;
  if (wanted && !startThread() && threads_.empty()) {
    // No thread to be had at all (address space or handles short): the copy is made here, and
    // the copies go one after another as they did before.
    lock.unlock();
    copy();
    return;
  }
  waiting_.push_back(std::move(copy));
  lock.unlock();
  queued_.notify_one();
}

bool ParallelCopies::startThread() {
  try {
    threads_.emplace_back([this] { work(); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void ParallelCopies::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    queued_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
    --idle_;
    if (waiting_.empty()) return;  // closing, and nothing left
    std::function<void()> copy = std::move(waiting_.front());
    waiting_.pop_front();
    ++copying_;
    lock.unlock();
    copy();
    copy = nullptr;  // what the copy held goes before it counts as done
    lock.lock();
    if (--copying_ == 0 && waiting_.empty()) copiesDone_.notify_all();
  }
}

}  // namespace dravelin
