#pragma once
#include <cstdint>

#include "engine/results/QLRepairPermissionsTypes.h"

namespace tarnix {

class QLFileSystemResource;

// Hears of every attribute change a repair is about to make, before it is made (a journal
// writes it down first). The changes of a group of items are told one by one, then commit()
// is asked, and only then are they made: a journal writes a whole group in one go. Called on
// the worker thread making the changes, several workers at once, each for items of its own.
class RZChangeObserver {
 public:
  virtual ~RZChangeObserver() = default;
  // `before` and `after` are ids, or permission digits. Answering false holds back every
  // change of that item: its attributes are left as they are and reported failed.
  virtual bool willChange(const QLFileSystemResource& resource, QLFileSystemResourceAttributeMismatchedType attribute,
                          std::int64_t before, std::int64_t after) = 0;
  // The changes told since the last commit are about to be made; false holds them all back.
  virtual bool commit() { return true; }
};

}  // namespace tarnix
