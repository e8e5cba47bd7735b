#include "platform/workers.h"

#include <utility>

void AutoResetEvent::signal() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  raised_.notify_one();
}

void AutoResetEvent::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  raised_.wait(lock, [this] { return signalled_; });
  signalled_ = false;
}

bool AutoResetEvent::tryWait() {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool was = signalled_;
  signalled_ = false;
  return was;
}

MessageWorker::MessageWorker(Handler handler) : handler_(std::move(handler)), ring_(16) {
  // The ring is in place before the thread starts: early posts just queue.
  thread_ = std::thread(&MessageWorker::run, this);
}

MessageWorker::~MessageWorker() {
  post(kQuitMessage, 0, nullptr);
  thread_.join();
}

void MessageWorker::post(unsigned message, uintptr_t wParam, void* lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == ring_.size()) {
      // Full: unroll into a ring twice the size, oldest first.
      std::vector<WorkerMessage> larger(ring_.size() * 2);
      for (size_t i = 0; i < count_; ++i) larger[i] = ring_[(head_ + i) % ring_.size()];
      ring_.swap(larger);
      head_ = 0;
    }
    ring_[(head_ + count_) % ring_.size()] = WorkerMessage{message, wParam, lParam};
    ++count_;
  }
  posted_.notify_one();
}

void MessageWorker::run() {
  for (;;) {
    WorkerMessage next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      posted_.wait(lock, [this] { return count_ > 0; });
      next = ring_[head_];
      head_ = (head_ + 1) % ring_.size();
      --count_;
    }
    if (next.message == kQuitMessage) return;
    handler_(next);
  }
}
