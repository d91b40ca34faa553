#pragma once
// Property lists compared as trees: arrays in order, dictionaries by their keys in any order,
// or (`ordered`) key by key in the same order.
#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/PropertyList.h"

namespace tarnix::test {

inline bool sameTree(plist_t a, plist_t b, bool ordered = false) {
  if (!a || !b) return a == b;
  const plist_type type = plist_get_node_type(a);
  if (type != plist_get_node_type(b)) return false;
  if (type == PLIST_DICT) {
    if (plist_dict_get_size(a) != plist_dict_get_size(b)) return false;
    plist_dict_iter it = nullptr;
    plist_dict_iter other = nullptr;
    plist_dict_new_iter(a, &it);
    plist_dict_new_iter(b, &other);
    bool same = true;
    for (;;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(a, it, &key, &value);
      char* otherKey = nullptr;
      plist_t otherValue = nullptr;
      plist_dict_next_item(b, other, &otherKey, &otherValue);
      if (!key) {
        std::free(otherKey);
        break;
      }
      if (ordered) same = same && otherKey && std::string(key) == otherKey;
      same = same && sameTree(value, ordered ? otherValue : plist_dict_get_item(b, key), ordered);
      std::free(key);
      std::free(otherKey);
    }
    std::free(it);
    std::free(other);
    return same;
  }
  if (type == PLIST_ARRAY) {
    const std::uint32_t size = plist_array_get_size(a);
    if (size != plist_array_get_size(b)) return false;
    for (std::uint32_t i = 0; i < size; ++i)
      if (!sameTree(plist_array_get_item(a, i), plist_array_get_item(b, i), ordered)) return false;
    return true;
  }
  return plist_compare_node_value(a, b) != 0;
}

}  // namespace tarnix::test
