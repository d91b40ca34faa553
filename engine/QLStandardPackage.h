#pragma once
// A receipt whose files the permission repair covers: one in a repair group.
#include "engine/QLPackage.h"

namespace tarnix {

inline constexpr std::string_view kRepairGroupA = "com.apple.snowleopard-repair-permissions.pkg-group";
inline constexpr std::string_view kRepairGroupB = "com.apple.FindSystemFiles.pkg-group";

class QLStandardPackage : public QLPackage {
 public:
  static std::optional<QLStandardPackage> make(const std::string& path, const std::string& mountPoint = {});
  static std::optional<QLStandardPackage> fromPackage(QLPackage package);
  static bool isInRepairGroup(const std::vector<std::string>& groups);

 private:
  explicit QLStandardPackage(QLPackage package) : QLPackage(std::move(package)) {}
};

}  // namespace tarnix
