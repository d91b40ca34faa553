#include "engine/RZWorkerPool.h"

#include <algorithm>
#include <thread>

namespace tarnix {

std::vector<RZChunk> chunksFor(std::size_t count, long numThreads) {
  std::vector<RZChunk> chunks;
  if (count == 0) return chunks;
  const std::size_t n = std::min<std::size_t>(count, static_cast<std::size_t>(std::max(1L, numThreads)));
  const std::size_t size = count / n;
  chunks.reserve(n);
  for (std::size_t i = 0; i < n; ++i) chunks.push_back({size * i, i + 1 == n ? count - 1 : size * (i + 1) - 1});
  return chunks;
}

void runChunks(const std::vector<RZChunk>& chunks, const std::function<void(std::size_t, const RZChunk&)>& task) {
  if (chunks.empty()) return;
  std::vector<std::thread> workers;
  workers.reserve(chunks.size() - 1);
  for (std::size_t i = 1; i < chunks.size(); ++i) workers.emplace_back([&task, &chunks, i] { task(i, chunks[i]); });
  // The calling thread would only wait; it takes the first chunk itself.
  task(0, chunks.front());
  for (auto& worker : workers) worker.join();
}

}  // namespace tarnix
