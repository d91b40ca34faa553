#include "helper/protocol/QLArchiveCodec.h"

#include <cstdlib>
#include <cstring>

namespace tarnix::archive {
namespace {

using platform::Plist;

Plist object(const char* className) {
  Plist dict(plist_new_dict());
  plist_dict_set_item(dict.get(), kClassKey, plist_new_string(className));
  return dict;
}

void set(plist_t dict, const char* key, Plist value) { plist_dict_set_item(dict, key, value.release()); }

// The dictionary when `node` is an object of exactly `className`.
plist_t objectOf(plist_t node, const char* className) {
  if (!node || plist_get_node_type(node) != PLIST_DICT) return nullptr;
  const auto name = Codec<std::string>::decode(plist_dict_get_item(node, kClassKey));
  return name && *name == className ? node : nullptr;
}

std::optional<std::string> requiredString(plist_t dict, const char* key) {
  return Codec<std::string>::decode(plist_dict_get_item(dict, key));
}

// Absent reads 0; present and not an integer is refused.
bool optionalInteger(plist_t dict, const char* key, std::int64_t& out) {
  plist_t node = plist_dict_get_item(dict, key);
  if (!node) {
    out = 0;
    return true;
  }
  auto value = Codec<std::int64_t>::decode(node);
  if (!value) return false;
  out = *value;
  return true;
}

constexpr const char* kFileScheme = "file://";

}  // namespace

Plist Codec<std::string>::encode(const std::string& value) { return Plist(plist_new_string(value.c_str())); }
std::optional<std::string> Codec<std::string>::decode(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  // Not plist_get_string_val: it asserts, ending the process, on a string holding a NUL byte.
  std::uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  if (!text) return std::nullopt;
  // A string with a NUL byte reports a length beyond its text; no name, path or status of
  // this protocol holds one.
  const std::size_t actual = std::strlen(text);
  if (actual != length) return std::nullopt;
  return std::string(text, actual);
}

Plist Codec<std::int64_t>::encode(const std::int64_t& value) {
  return Plist(plist_new_uint(static_cast<std::uint64_t>(value)));
}
std::optional<std::int64_t> Codec<std::int64_t>::decode(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
  std::uint64_t raw = 0;
  plist_get_uint_val(node, &raw);
  // libplist keeps the 64 bits; a binary list stores negative numbers in two's complement.
  return static_cast<std::int64_t>(raw);
}

Plist Codec<bool>::encode(const bool& value) { return Plist(plist_new_bool(value ? 1 : 0)); }
std::optional<bool> Codec<bool>::decode(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_BOOLEAN) return std::nullopt;
  std::uint8_t value = 0;
  plist_get_bool_val(node, &value);
  return value != 0;
}

Plist Codec<double>::encode(const double& value) { return Plist(plist_new_real(value)); }
std::optional<double> Codec<double>::decode(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_REAL) return std::nullopt;
  double value = 0;
  plist_get_real_val(node, &value);
  return value;
}

Plist Codec<QLOSVersion>::encode(const QLOSVersion& version) {
  Plist dict = object("QLOSVersion");
  set(dict.get(), "kMajorVersion", archive::encode(version.majorVersion));
  set(dict.get(), "kMinorVersion", archive::encode(version.minorVersion));
  set(dict.get(), "kPatchVersion", archive::encode(version.patchVersion));
  set(dict.get(), "kVersion", archive::encode(version.version));
  set(dict.get(), "kBuildVersion", archive::encode(version.buildVersion));
  return dict;
}
std::optional<QLOSVersion> Codec<QLOSVersion>::decode(plist_t node) {
  plist_t dict = objectOf(node, "QLOSVersion");
  if (!dict) return std::nullopt;
  std::int64_t major = 0, minor = 0, patch = 0;
  if (!optionalInteger(dict, "kMajorVersion", major) || !optionalInteger(dict, "kMinorVersion", minor) ||
      !optionalInteger(dict, "kPatchVersion", patch))
    return std::nullopt;
  auto version = requiredString(dict, "kVersion");
  auto build = requiredString(dict, "kBuildVersion");
  if (!version || !build) return std::nullopt;
  return QLOSVersion::fromArchive(major, minor, patch, std::move(*version), std::move(*build));
}

Plist Codec<QLOSVolume>::encode(const QLOSVolume& volume) {
  Plist dict = object("QLOSVolume");
  set(dict.get(), "kMountPoint", archive::encode(volume.mountPoint));
  set(dict.get(), "kOSVersion", archive::encode(volume.osVersion));
  return dict;
}
std::optional<QLOSVolume> Codec<QLOSVolume>::decode(plist_t node) {
  plist_t dict = objectOf(node, "QLOSVolume");
  if (!dict) return std::nullopt;
  auto mountPoint = requiredString(dict, "kMountPoint");
  auto version = Codec<QLOSVersion>::decode(plist_dict_get_item(dict, "kOSVersion"));
  if (!mountPoint || !version) return std::nullopt;
  return QLOSVolume::fromArchive(std::move(*mountPoint), std::move(*version));
}

// The URL travels as its own object, as the platform's URL class archives it.
Plist Codec<QLKernelExtension>::encode(const QLKernelExtension& kext) {
  Plist url = object("NSURL");
  set(url.get(), "NS.string", archive::encode(kext.url()));
  Plist dict = object("QLKernelExtension");
  set(dict.get(), "url", std::move(url));
  return dict;
}
std::optional<QLKernelExtension> Codec<QLKernelExtension>::decode(plist_t node) {
  plist_t dict = objectOf(node, "QLKernelExtension");
  if (!dict) return std::nullopt;
  plist_t url = objectOf(plist_dict_get_item(dict, "url"), "NSURL");
  if (!url) return std::nullopt;
  auto text = requiredString(url, "NS.string");
  // Only file URLs name a bundle; the path is the URL without its scheme.
  if (!text || text->compare(0, std::strlen(kFileScheme), kFileScheme) != 0) return std::nullopt;
  return QLKernelExtension::initWithPathURL(std::move(*text));
}

Plist Codec<QLRepairPermissionsRepresentableResult>::encode(const QLRepairPermissionsRepresentableResult& result) {
  Plist dict = object("QLRepairPermissionsRepresentableResult");
  set(dict.get(), "identifier", archive::encode(result.identifier));
  set(dict.get(), "fileSystemResourcePath", archive::encode(result.fileSystemResourcePath));
  set(dict.get(), "attributeMismatchedTypeString", archive::encode(result.attributeMismatchedTypeString));
  set(dict.get(), "currentAttribute", archive::encode(result.currentAttribute));
  set(dict.get(), "correctAttribute", archive::encode(result.correctAttribute));
  set(dict.get(), "newAttribute", archive::encode(result.newAttribute));
  set(dict.get(), "attributeStatusString", archive::encode(result.attributeStatusString));
  return dict;
}
std::optional<QLRepairPermissionsRepresentableResult> Codec<QLRepairPermissionsRepresentableResult>::decode(
    plist_t node) {
  plist_t dict = objectOf(node, "QLRepairPermissionsRepresentableResult");
  if (!dict) return std::nullopt;
  auto identifier = requiredString(dict, "identifier");
  auto path = requiredString(dict, "fileSystemResourcePath");
  auto mismatch = requiredString(dict, "attributeMismatchedTypeString");
  auto status = requiredString(dict, "attributeStatusString");
  std::int64_t current = 0, correct = 0, applied = 0;
  if (!identifier || !path || !mismatch || !status || !optionalInteger(dict, "currentAttribute", current) ||
      !optionalInteger(dict, "correctAttribute", correct) || !optionalInteger(dict, "newAttribute", applied))
    return std::nullopt;
  return QLRepairPermissionsRepresentableResult(std::move(*identifier), std::move(*path), std::move(*mismatch), current,
                                                correct, applied, std::move(*status));
}

Plist Codec<QLXPCHelperContext>::encode(const QLXPCHelperContext& context) {
  Plist dict = object("QLXPCHelperContext");
  set(dict.get(), "kStatus", archive::encode(context.status));
  set(dict.get(), "kProgress", archive::encode(context.progress));
  if (!context.phase.empty()) set(dict.get(), "kPhase", archive::encode(context.phase));
  return dict;
}
std::optional<QLXPCHelperContext> Codec<QLXPCHelperContext>::decode(plist_t node) {
  plist_t dict = objectOf(node, "QLXPCHelperContext");
  if (!dict) return std::nullopt;
  auto status = requiredString(dict, "kStatus");
  if (!status) return std::nullopt;
  double progress = 0;
  if (plist_t value = plist_dict_get_item(dict, "kProgress")) {
    auto real = Codec<double>::decode(value);
    if (!real) return std::nullopt;
    progress = *real;
  }
  std::string phase;
  if (plist_t value = plist_dict_get_item(dict, "kPhase")) {
    auto text = Codec<std::string>::decode(value);
    if (!text) return std::nullopt;
    phase = std::move(*text);
  }
  return QLXPCHelperContext::initWith(std::move(*status), progress, std::move(phase));
}

}  // namespace tarnix::archive
