// The platform's worker primitives: the auto-reset event and the message
// worker thread the marching-cubes engine splits its frames over.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/workers.h"

namespace {

TEST(WorkerEvent, EachWaitTakesOneSignal) {
  AutoResetEvent event;
  EXPECT_FALSE(event.tryWait());  // starts lowered
  event.signal();
  EXPECT_TRUE(event.tryWait());
  EXPECT_FALSE(event.tryWait());  // taken by the first
  // Signals do not pile up.
  event.signal();
  event.signal();
  event.wait();
  EXPECT_FALSE(event.tryWait());
}

TEST(WorkerEvent, WaitBlocksUntilAnotherThreadSignals) {
  AutoResetEvent event;
  std::atomic<bool> written{false};
  std::thread other([&] {
    written = true;
    event.signal();
  });
  event.wait();
  EXPECT_TRUE(written);
  other.join();
  EXPECT_FALSE(event.tryWait());
}

// Records what reaches a worker's handler; 'gate' holds the handler on the
// first message until released, 'seen' is signalled on kLast.
struct Recorder {
  static constexpr unsigned kLast = 0x4FF;
  std::mutex mutex;
  std::vector<WorkerMessage> messages;
  AutoResetEvent gate, seen;
  bool holdFirst = false;

  void handle(const WorkerMessage& m) {
    bool first;
    {
      std::lock_guard<std::mutex> lock(mutex);
      first = messages.empty();
      messages.push_back(m);
    }
    if (first && holdFirst) gate.wait();
    if (m.message == kLast) seen.signal();
  }
  std::vector<WorkerMessage> taken() {
    std::lock_guard<std::mutex> lock(mutex);
    return messages;
  }
};

TEST(WorkerThread, HandlesEverythingPostedInOrderEvenWhileBusy) {
  Recorder recorder;
  recorder.holdFirst = true;
  int payload[3];
  {
    MessageWorker worker([&](const WorkerMessage& m) { recorder.handle(m); });
    // Posted straight after construction, and far more than the ring's first
    // size while the handler sits on the first one.
    for (unsigned i = 0; i < 100; ++i) worker.post(0x401 + i % 2, i, &payload[i % 3]);
    worker.post(Recorder::kLast, 7, nullptr);
    recorder.gate.signal();
    recorder.seen.wait();
  }
  const std::vector<WorkerMessage> got = recorder.taken();
  ASSERT_EQ(got.size(), 101u);
  for (unsigned i = 0; i < 100; ++i) {
    EXPECT_EQ(got[i].message, 0x401 + i % 2);
    EXPECT_EQ(got[i].wParam, i);
    EXPECT_EQ(got[i].lParam, &payload[i % 3]);
  }
  EXPECT_EQ(got[100].wParam, 7u);
}

TEST(WorkerThread, OnlyQuitEndsTheLoop) {
  Recorder recorder;
  {
    MessageWorker worker([&](const WorkerMessage& m) { recorder.handle(m); });
    // Messages no handler knows reach it and the thread carries on.
    worker.post(0, 0, nullptr);
    worker.post(0xFFFFFFFFu, 1, nullptr);
    worker.post(Recorder::kLast, 2, nullptr);
    recorder.seen.wait();
    EXPECT_EQ(recorder.taken().size(), 3u);

    // Quit never reaches the handler, and what follows it is dropped.
    worker.post(MessageWorker::kQuitMessage, 3, nullptr);
    worker.post(Recorder::kLast, 4, nullptr);
  }  // joins: the thread has ended
  const std::vector<WorkerMessage> got = recorder.taken();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[2].wParam, 2u);
}

TEST(WorkerThread, DestroyedAtOnceEndsCleanly) {
  std::atomic<int> handled{0};
  for (int round = 0; round < 20; ++round) {
    MessageWorker worker([&](const WorkerMessage&) { ++handled; });
    worker.post(0x401, 0, nullptr);
  }
  // Each worker took its one message before the quit its destructor posted.
  EXPECT_EQ(handled, 20);
}

}  // namespace
