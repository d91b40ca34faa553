#include "helper/protocol/QLXPCHelperRefusal.h"

#include <array>
#include <string>
#include <utility>

namespace tarnix {
namespace {

using platform::VolumeRefusal;

constexpr std::array<std::pair<VolumeRefusal, std::string_view>, 6> kVolumeProblems{{
    {VolumeRefusal::unreachable, "unreachable"},
    {VolumeRefusal::notAMountRoot, "notAMountRoot"},
    {VolumeRefusal::foreignMount, "foreignMount"},
    {VolumeRefusal::notBlockDevice, "notBlockDevice"},
    {VolumeRefusal::runningSystem, "runningSystem"},
    {VolumeRefusal::missingNosuidNodev, "missingNosuidNodev"},
}};

thread_local std::optional<QLXPCHelperRefusal> tCurrent;

}  // namespace

std::string_view QLXPCHelperRefusal::keyword(VolumeRefusal problem) {
  for (const auto& [value, word] : kVolumeProblems)
    if (value == problem) return word;
  return "unreachable";
}

platform::Plist QLXPCHelperRefusal::encode() const {
  platform::Plist dictionary(plist_new_dict());
  const bool volume = reason == Reason::untrustedVolume;
  plist_dict_set_item(dictionary.get(), "reason", plist_new_string(volume ? "untrustedVolume" : "notAuthorized"));
  if (volume)
    plist_dict_set_item(dictionary.get(), "volume", plist_new_string(std::string(keyword(volumeProblem)).c_str()));
  return dictionary;
}

std::optional<QLXPCHelperRefusal> QLXPCHelperRefusal::decode(plist_t value) {
  if (!value || plist_get_node_type(value) != PLIST_DICT) return std::nullopt;
  const auto reason = platform::dictString(value, "reason");
  if (reason == "notAuthorized") return notAuthorized();
  if (reason != "untrustedVolume") return std::nullopt;
  const auto problem = platform::dictString(value, "volume");
  for (const auto& [refusal, word] : kVolumeProblems)
    if (problem == word) return untrustedVolume(refusal);
  return std::nullopt;
}

const std::optional<QLXPCHelperRefusal>& QLXPCHelperRefusal::current() { return tCurrent; }

QLRefusalScope::QLRefusalScope(std::optional<QLXPCHelperRefusal> refusal) : previous_(std::move(tCurrent)) {
  tCurrent = std::move(refusal);
}

QLRefusalScope::~QLRefusalScope() { tCurrent = std::move(previous_); }

}  // namespace tarnix
