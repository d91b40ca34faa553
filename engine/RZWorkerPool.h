#pragma once
// Splitting a range of indices into contiguous chunks run at the same time.
#include <cstddef>
#include <functional>
#include <vector>

namespace tarnix {

struct RZChunk {
  std::size_t first = 0;  // inclusive
  std::size_t last = 0;   // inclusive
};

// n = min(count, numThreads) chunks of count / n indices each; the last one also takes the
// remainder. Empty for a count of 0.
std::vector<RZChunk> chunksFor(std::size_t count, long numThreads);

// Runs `task` on every chunk (with its index in `chunks`), each on a worker thread of its
// own, and returns when all are done.
void runChunks(const std::vector<RZChunk>& chunks, const std::function<void(std::size_t, const RZChunk&)>& task);

}  // namespace tarnix
