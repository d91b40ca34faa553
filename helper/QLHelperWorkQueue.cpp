#include "helper/QLHelperWorkQueue.h"

#include <algorithm>

namespace tarnix {

QLHelperWorkQueue::QLHelperWorkQueue(Limits limits) : limits_(limits) {
  workers_.reserve(limits_.workers);
  for (unsigned i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { serve(); });
}

QLHelperWorkQueue::~QLHelperWorkQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (auto& worker : workers_) worker.join();
}

bool QLHelperWorkQueue::submit(std::uint32_t user, bool trusted, std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    Lane& lane = lanes_[user];
    if (lane.waiting.size() >= limits_.waitingPerUser) return false;
    lane.trusted = trusted;
    if (lane.waiting.empty()) turns_.push_back(user);
    lane.waiting.push_back(std::move(work));
  }
  changed_.notify_one();
  return true;
}

QLHelperWorkQueue::Lane* QLHelperWorkQueue::nextLane(std::uint32_t& user) {
  for (auto turn = turns_.begin(); turn != turns_.end(); ++turn) {
    Lane& lane = lanes_[*turn];
    if (lane.running >= limits_.runningPerUser) continue;
    if (!lane.trusted && untrustedRunning_ >= limits_.untrustedWorkers) continue;
    user = *turn;
    turns_.erase(turn);
    return &lane;
  }
  return nullptr;
}

void QLHelperWorkQueue::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    std::uint32_t user = 0;
    Lane* lane = nullptr;
    changed_.wait(lock, [&] { return stopping_ || (lane = nextLane(user)) != nullptr; });
    if (stopping_) return;
    std::function<void()> work = std::move(lane->waiting.front());
    lane->waiting.pop_front();
    // Round robin: a user with more waiting goes to the back of the line.
    if (!lane->waiting.empty()) turns_.push_back(user);
    ++lane->running;
    const bool trusted = lane->trusted;
    if (!trusted) ++untrustedRunning_;

    lock.unlock();
    work();
    work = nullptr;  // what it holds goes before the next is taken
    lock.lock();

    Lane& done = lanes_[user];
    --done.running;
    if (!trusted) --untrustedRunning_;
    if (done.running == 0 && done.waiting.empty()) lanes_.erase(user);
    // A worker or a lane may have been waiting on this one's place.
    changed_.notify_all();
  }
}

}  // namespace tarnix
