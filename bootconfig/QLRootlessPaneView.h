#pragma once
// What the SIP and booter panes display; the widgets implement it, the presenters drive it.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "bootconfig/QLBootloaderConfigSearch.h"

#include "bootconfig/QLLocalizedKey.h"
#include "bootconfig/QLRootlessMessage.h"
#include "bootconfig/QLRootlessValueLine.h"

namespace tarnix {

struct QLRootlessPaneOutlets {
  std::string_view image;  // image resource of the image button
  QLLocalizedKey mainTitle;
  QLLocalizedKey refresh;
  QLLocalizedKey applyViaNVRAM;
  QLLocalizedKey applyViaConfig;
  QLLocalizedKey box;
  std::array<QLLocalizedKey, 9> flags;  // by bit number, which is also the check box's tag
};

struct QLRootlessFlagBox {
  bool checked = false;
  bool enabled = true;
  friend bool operator==(const QLRootlessFlagBox&, const QLRootlessFlagBox&) = default;
};

// The open panel that chooses a bootloader configuration file: one plist file, packages not
// entered; and the search that offers the files found on this machine first (none when empty).
// The search reads the disks: it is run off the main thread.
struct QLBootloaderOpenPanel {
  QLLocalizedKey prompt;
  std::string directory;
  std::string_view allowedType;
  std::function<QLBootloaderConfigSearchResult()> search;
};

class QLRootlessPaneView {
 public:
  virtual ~QLRootlessPaneView() = default;
  virtual void showLocalizedOutlets(const QLRootlessPaneOutlets& outlets) = 0;
  virtual void showFlags(const std::array<QLRootlessFlagBox, 9>& boxes) = 0;
  virtual void showValueLine(const QLRootlessValueLine& line) = 0;
  virtual void setApplyViaConfigEnabled(bool enabled) = 0;
  // The chosen configuration file: its path in the path field, its icon on the image button.
  virtual void showBootloaderConfig(const std::string& path, std::string_view image) = 0;
  // That file's own word of the pane's kind, beside the value line; nothing before a file is
  // chosen.
  virtual void showBootloaderWord(const std::optional<QLBootloaderWordLine>& line) = 0;
  virtual void startProgress() = 0;
  virtual void stopProgress() = 0;
  virtual void present(const QLRootlessMessage& message) = 0;
};

}  // namespace tarnix
