#pragma once
// Property lists compared as trees: dictionaries by their keys in any order, arrays in order.
#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/PropertyList.h"

namespace tarnix::test {

inline bool sameTree(plist_t a, plist_t b) {
  if (!a || !b) return a == b;
  const plist_type type = plist_get_node_type(a);
  if (type != plist_get_node_type(b)) return false;
  if (type == PLIST_DICT) {
    if (plist_dict_get_size(a) != plist_dict_get_size(b)) return false;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(a, &it);
    bool same = true;
    for (;;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(a, it, &key, &value);
      if (!key) break;
      same = same && sameTree(value, plist_dict_get_item(b, key));
      std::free(key);
    }
    std::free(it);
    return same;
  }
  if (type == PLIST_ARRAY) {
    const std::uint32_t size = plist_array_get_size(a);
    if (size != plist_array_get_size(b)) return false;
    for (std::uint32_t i = 0; i < size; ++i)
      if (!sameTree(plist_array_get_item(a, i), plist_array_get_item(b, i))) return false;
    return true;
  }
  return plist_compare_node_value(a, b) != 0;
}

}  // namespace tarnix::test
