#pragma once
#include <optional>

#include "bootconfig/QLLocalizedKey.h"

namespace tarnix {

// What a pane asks its window to show: a warning alert or an information message.
struct QLRootlessMessage {
  enum class Form { alert, message };
  Form form;
  QLLocalizedKey title;
  QLLocalizedKey contents;
  // Said after the contents: why it failed, or what was kept.
  std::optional<QLLocalizedText> detail{};
  friend constexpr bool operator==(const QLRootlessMessage&, const QLRootlessMessage&) = default;
};

}  // namespace tarnix
