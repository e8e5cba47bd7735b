#pragma once
// Worker primitives for the engine's per-frame parallel work.
//
// AutoResetEvent: a flag one thread raises and another waits for. It starts
// lowered; signal() raises it; wait() blocks until it is raised and lowers it
// again, so each wait takes one signal. Signals do not pile up: raising a
// raised flag changes nothing (two signals before a wait let one wait through).
//
// MessageWorker: a thread with its own message queue and a handler. post()
// queues (message, wParam, lParam) and returns at once; the thread hands each
// message to the handler in the order posted. kQuitMessage ends the thread
// (it never reaches the handler, and whatever was posted after it is
// dropped); every other message goes to the handler, which ignores the ones
// it does not know. The queue exists from construction, so nothing posted
// before the thread first waits is lost. The destructor posts quit and joins,
// so a worker always ends cleanly at teardown. The queue is a ring that only
// grows when more messages are pending than ever before: posting allocates
// nothing once it has grown.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class AutoResetEvent {
 public:
  AutoResetEvent() = default;
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void signal();
  void wait();
  // Takes the signal if there is one, without waiting.
  bool tryWait();

 private:
  std::mutex mutex_;
  std::condition_variable raised_;
  bool signalled_ = false;
};

struct WorkerMessage {
  unsigned message;
  uintptr_t wParam;
  void* lParam;
};

class MessageWorker {
 public:
  static constexpr unsigned kQuitMessage = 0x0012;
  using Handler = std::function<void(const WorkerMessage&)>;

  explicit MessageWorker(Handler handler);
  ~MessageWorker();
  MessageWorker(const MessageWorker&) = delete;
  MessageWorker& operator=(const MessageWorker&) = delete;

  void post(unsigned message, uintptr_t wParam, void* lParam);

 private:
  void run();

  Handler handler_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<WorkerMessage> ring_;
  size_t head_ = 0;   // the oldest pending message
  size_t count_ = 0;  // pending messages
  std::thread thread_;
};
