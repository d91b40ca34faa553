#pragma once
#include <cstdint>

#include "engine/QLRepairPermissionsTypes.h"

namespace tarnix {

class QLFileSystemResource;

// Hears of every attribute change a repair is about to make, before it is made (a journal
// writes it down first). Called on the worker thread making the change, several workers at
// once, each for items of its own.
class RZChangeObserver {
 public:
  virtual ~RZChangeObserver() = default;
  // `before` and `after` are ids, or permission digits. Answering false holds the change
  // back: the attribute is left as it is and reported failed.
  virtual bool willChange(const QLFileSystemResource& resource, QLFileSystemResourceAttributeMismatchedType attribute,
                          std::int64_t before, std::int64_t after) = 0;
};

}  // namespace tarnix
