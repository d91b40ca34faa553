#include "engine/RZSerialWorkingQueue.h"

namespace tarnix {

RZSerialWorkingQueue& RZSerialWorkingQueue::shared() {
  static RZSerialWorkingQueue queue;
  return queue;
}

}  // namespace tarnix
