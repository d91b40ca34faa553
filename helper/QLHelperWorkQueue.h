#pragma once
// The fixed pool of threads the helper's operations run on. Work queues per user: each user
// runs a few operations at a time and may queue a bounded number more; users the daemon does
// not trust never hold every worker together. So one user's flood, or one user's calls waiting
// for a password dialog (which can take minutes), leaves other users, and root, served.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnix {

class QLHelperWorkQueue {
 public:
  struct Limits {
    unsigned workers = 4;             // threads, started with the queue
    unsigned runningPerUser = 2;      // operations of one user running at the same time
    unsigned untrustedWorkers = 3;    // workers users other than trusted ones may hold together
    std::size_t waitingPerUser = 32;  // operations of one user waiting for a worker
  };

  explicit QLHelperWorkQueue(Limits limits);
  // Lets running work end; work still waiting is dropped.
  ~QLHelperWorkQueue();
  QLHelperWorkQueue(const QLHelperWorkQueue&) = delete;
  QLHelperWorkQueue& operator=(const QLHelperWorkQueue&) = delete;

  // Queues `work` as `user`'s (trusted: root, or the user the daemon runs as). False, and
  // nothing queued, when that user already has as many waiting as the limit allows.
  bool submit(std::uint32_t user, bool trusted, std::function<void()> work);

  const Limits& limits() const { return limits_; }

 private:
  struct Lane {
    std::deque<std::function<void()>> waiting;
    unsigned running = 0;
    bool trusted = false;
  };
  void serve();
  // The lane whose turn it is among those that may start one more now; null when none may.
  // Called with the mutex held.
  Lane* nextLane(std::uint32_t& user);

  const Limits limits_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::uint32_t, Lane> lanes_;
  std::deque<std::uint32_t> turns_;  // users with work waiting, the one served longest ago first
  unsigned untrustedRunning_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tarnix
