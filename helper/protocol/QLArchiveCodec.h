#pragma once
// The archive form of every value that crosses the helper connection. Objects are property-list
// dictionaries {"$class": bare class name, archive keys...}; the C++ type a value is decoded as
// is its allowed class, so a decoder accepts exactly one class per position and nothing else.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "helper/protocol/QLXPCHelperContext.h"
#include "model/QLKernelExtension.h"
#include "model/QLOSVersion.h"
#include "model/QLOSVolume.h"
#include "platform/PropertyList.h"

namespace tarnix::archive {

inline constexpr const char* kClassKey = "$class";
// More elements than any honest call or reply carries is refused before anything is built.
inline constexpr std::uint32_t kMaxArrayCount = 4u << 20;

template <typename T>
struct Codec;

#define TARNIX_DECLARE_CODEC(Type)                \
  template <>                                     \
  struct Codec<Type> {                            \
    static platform::Plist encode(const Type& v); \
    static std::optional<Type> decode(plist_t n); \
  }

TARNIX_DECLARE_CODEC(std::string);
TARNIX_DECLARE_CODEC(std::int64_t);
TARNIX_DECLARE_CODEC(bool);
TARNIX_DECLARE_CODEC(double);
TARNIX_DECLARE_CODEC(QLOSVersion);
TARNIX_DECLARE_CODEC(QLOSVolume);
TARNIX_DECLARE_CODEC(QLKernelExtension);
TARNIX_DECLARE_CODEC(QLRepairPermissionsRepresentableResult);
TARNIX_DECLARE_CODEC(QLXPCHelperContext);
#undef TARNIX_DECLARE_CODEC

// Arrays allow the array class and their element's class only.
template <typename T>
struct Codec<std::vector<T>> {
  static platform::Plist encode(const std::vector<T>& values) {
    platform::Plist array(plist_new_array());
    for (const auto& value : values) plist_array_append_item(array.get(), Codec<T>::encode(value).release());
    return array;
  }
  static std::optional<std::vector<T>> decode(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_ARRAY) return std::nullopt;
    const std::uint32_t count = plist_array_get_size(node);
    if (count > kMaxArrayCount) return std::nullopt;
    std::vector<T> values;
    values.reserve(count);
    for (plist_t item : platform::arrayItems(node)) {
      auto value = Codec<T>::decode(item);
      if (!value) return std::nullopt;
      values.push_back(std::move(*value));
    }
    return values;
  }
};

template <typename T>
platform::Plist encode(const T& value) {
  return Codec<T>::encode(value);
}
template <typename T>
std::optional<T> decode(plist_t node) {
  return Codec<T>::decode(node);
}

}  // namespace tarnix::archive
