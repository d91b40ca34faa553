// The helper's pool: what one user's waiting or flooding leaves to the others.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "helper/QLHelperWorkQueue.h"

namespace tarnix {
namespace {

using namespace std::chrono_literals;

// Work that waits until the test opens its gate, as an operation waiting for a password would.
class Gate {
 public:
  std::function<void()> work(std::atomic<int>& started) {
    return [this, &started] {
      ++started;
      std::unique_lock lock(mutex_);
      opened_.wait(lock, [this] { return open_; });
    };
  }
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

constexpr uid_t kRoot = 0, kAlice = 1000, kBob = 1001, kCarol = 1002;

TEST(QLHelperWorkQueue, OneUsersWaitingWorkLeavesOthersServed) {
  QLHelperWorkQueue queue({.workers = 4, .runningPerUser = 2, .untrustedWorkers = 3, .waitingPerUser = 32});
  Gate alicesDialogs, bobsDialog, carolsWork;
  std::atomic<int> alice = 0, bob = 0, carol = 0, root = 0;
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(queue.submit(kAlice, false, alicesDialogs.work(alice)));
  ASSERT_TRUE(eventually([&] { return alice == 2; }));
  ASSERT_TRUE(queue.submit(kBob, false, bobsDialog.work(bob)));
  ASSERT_TRUE(eventually([&] { return bob == 1; })) << "another user runs beside the first one's waiting work";

  // Users who are not trusted now hold all the workers they may: the last one is root's.
  ASSERT_TRUE(queue.submit(kCarol, false, carolsWork.work(carol)));
  ASSERT_TRUE(queue.submit(kRoot, true, [&] { ++root; }));
  EXPECT_TRUE(eventually([&] { return root == 1; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(carol, 0);
  EXPECT_EQ(alice, 2) << "one user runs at most two at a time";

  bobsDialog.open();
  EXPECT_TRUE(eventually([&] { return carol == 1; })) << "a freed place goes to the next user waiting";
  carolsWork.open();
  alicesDialogs.open();
  EXPECT_TRUE(eventually([&] { return alice == 10; }));
}

TEST(QLHelperWorkQueue, RefusesWorkBeyondAUsersShareAndTakesUsersInTurn) {
  QLHelperWorkQueue queue({.workers = 1, .runningPerUser = 1, .untrustedWorkers = 1, .waitingPerUser = 4});
  Gate first;
  std::atomic<int> started = 0;
  ASSERT_TRUE(queue.submit(kAlice, false, first.work(started)));
  ASSERT_TRUE(eventually([&] { return started == 1; }));

  std::mutex mutex;
  std::vector<uid_t> order;
  const auto record = [&](uid_t user) {
    return [&, user] {
      std::lock_guard lock(mutex);
      order.push_back(user);
    };
  };
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.submit(kAlice, false, record(kAlice)));
  EXPECT_FALSE(queue.submit(kAlice, false, record(kAlice))) << "the fifth waiting is refused";
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(queue.submit(kBob, false, record(kBob)));

  first.open();
  ASSERT_TRUE(eventually([&] {
    std::lock_guard lock(mutex);
    return order.size() == 6;
  }));
  // Bob's work waited behind one of Alice's at a time, not behind all of hers.
  EXPECT_EQ(order, (std::vector<uid_t>{kAlice, kBob, kAlice, kBob, kAlice, kAlice}));
}

}  // namespace
}  // namespace tarnix
