#pragma once
#include <cstddef>
#include <string>

namespace tarnix {

// What the helper pushes to the application while it works.
class QLXPCHelperContext {
 public:
  static QLXPCHelperContext initWith(std::string status, double progress, std::string phase = {}) {
    QLXPCHelperContext context(std::move(status), progress);
    context.phase = std::move(phase);
    return context;
  }

  std::string status;     // "Progress" while a permission repair runs
  double progress = 0.0;  // per cent, as the repair job reports it
  // What the repair is doing: "receipts", "resources", "repair", then "transfer" while its
  // results travel; empty when the sender did not say.
  std::string phase;

  // The hash of status + "_" + the shortest decimal form of progress ("Progress_0.5").
  std::size_t hashValue() const;

 private:
  QLXPCHelperContext(std::string statusText, double value) : status(std::move(statusText)), progress(value) {}
};

}  // namespace tarnix
