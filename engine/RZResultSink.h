#pragma once
#include <span>

#include "engine/QLRepairPermissionsResult.h"

namespace tarnix {

// Receives a run's results while it goes on, in the order of the whole list, a batch at a
// time (the results of at most a few hundred items): a report can be written, or results sent
// on, without holding them all. Calls come one at a time, from the engine's worker threads under the serial
// working queue or from the thread that runs the job.
class RZResultSink {
 public:
  virtual ~RZResultSink() = default;
  // The results are the sink's to keep (move them away) or to drop.
  virtual void didProduceResults(std::span<QLRepairPermissionsResult> results) = 0;
};

}  // namespace tarnix
