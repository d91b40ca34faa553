#pragma once
// Why the helper refused a call without acting on it. It travels beside the reply's value
// (the call's own false or all-failed answer), so an application that knows of it can say
// "not authorized" or what to do about the volume, and one that does not sees a failure.
#include <optional>
#include <string_view>

#include "platform/PropertyList.h"
#include "platform/VolumeHandle.h"

namespace tarnix {

struct QLXPCHelperRefusal {
  enum class Reason { notAuthorized, untrustedVolume };
  Reason reason = Reason::notAuthorized;
  platform::VolumeRefusal volumeProblem = platform::VolumeRefusal::unreachable;  // with untrustedVolume

  static QLXPCHelperRefusal notAuthorized() { return {}; }
  static QLXPCHelperRefusal untrustedVolume(platform::VolumeRefusal problem) {
    return {Reason::untrustedVolume, problem};
  }

  // {"reason": "notAuthorized"}, or {"reason": "untrustedVolume", "volume": "missingNosuidNodev"}.
  platform::Plist encode() const;
  // Nothing for anything else.
  static std::optional<QLXPCHelperRefusal> decode(plist_t value);
  static std::string_view keyword(platform::VolumeRefusal problem);

  // The refusal of the reply being sent or handled on this thread (see QLRefusalScope).
  static const std::optional<QLXPCHelperRefusal>& current();

  bool operator==(const QLXPCHelperRefusal&) const = default;
};

// Sets the refusal of the reply being sent or handled on this thread while it lives. The
// helper sets it around calling a reply block, whose sending carries it; on the application's
// side it is set while a reply block runs.
class QLRefusalScope {
 public:
  explicit QLRefusalScope(std::optional<QLXPCHelperRefusal> refusal);
  ~QLRefusalScope();
  QLRefusalScope(const QLRefusalScope&) = delete;
  QLRefusalScope& operator=(const QLRefusalScope&) = delete;

 private:
  std::optional<QLXPCHelperRefusal> previous_;
};

}  // namespace tarnix
