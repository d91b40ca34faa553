#pragma once
// The logic shared by the SIP and booter panes: check boxes, value line, refresh, choosing a
// bootloader file and applying through it. Apart from the background recognition of a chosen
// file, every call is made and every callback delivered on the main thread.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bootconfig/QLBootloaderConfigManager.h"
#include "bootconfig/QLRootlessConfigManager.h"
#include "bootconfig/QLRootlessPaneView.h"
#include "model/QLBootEnvironmentType.h"
#include "model/QLOSVersion.h"
#include "model/QLPreferences.h"

namespace tarnix {

using QLTask = std::function<void()>;
using QLTaskRunner = std::function<void(QLTask)>;

struct QLRootlessPaneContext {
  QLRootlessConfigManager& rootless;
  QLBootloaderConfigManager& bootloader;
  QLBootEnvironmentType environment = QLBootEnvironmentType::Unknown;
  // The macOS the words are meant for; nothing when it is not known.
  std::optional<QLOSVersion> systemVersion;
  // For the open panel's starting folder; may be null.
  const QLPreferences* preferences = nullptr;
  // Run work off the main thread, and bring results back to it. Both run inline when empty.
  QLTaskRunner runInBackground;
  QLTaskRunner runOnMain;
  // The bootloader files of this machine that the chooser offers; nothing offered when empty.
  std::function<QLBootloaderConfigSearchResult()> searchBootloaderConfigs{};
  // The mounted file systems, to tell why the helper could not write a variable; none when empty.
  std::function<std::vector<platform::Mount>()> mounts{};
};

// The shared managers, the detected boot environment and the system of the volume at "/", or
// of the selected target volume when "/" holds no macOS (a Linux rescue system); the search of
// the mounted EFI partitions and of the macOS volumes (the selected one first), and the
// system's mounts. The two runners are left for the application to fill.
QLRootlessPaneContext sharedRootlessPaneContext(const QLPreferences* preferences);

class QLMainAbstractRootlessPresenter {
 public:
  QLMainAbstractRootlessPresenter(QLRootlessPaneView& view, QLRootlessPaneContext context);
  virtual ~QLMainAbstractRootlessPresenter() = default;
  QLMainAbstractRootlessPresenter(const QLMainAbstractRootlessPresenter&) = delete;
  QLMainAbstractRootlessPresenter& operator=(const QLMainAbstractRootlessPresenter&) = delete;

  // Stops the indicator, titles the controls and renders the check boxes and value line.
  void viewDidLoad();
  // Enables applying through a file exactly when one has been chosen, and shows it with its
  // own word as it is on disk now.
  void viewDidAppear();
  // Drops the value being edited and renders the current one again.
  void refresh();
  // Sets flag `tag` (0 to 8) of the value being edited, which is made from NVRAM first when
  // there is none. Any other tag ends the process: no check box carries one.
  void actionButtonRootlessFlag(int tag, bool on);
  virtual void applyViaNVRAM() = 0;
  void applyViaConfig();

  // Starts the indicator and describes the open panel to show.
  QLBootloaderOpenPanel selectBooterConfiguration();
  // The panel's answer: nothing when cancelled, else the chosen file, recognised off the main thread.
  void didChooseBooterConfiguration(std::optional<std::string> path);

  // The check boxes and value line as they are rendered now.
  std::array<QLRootlessFlagBox, 9> flagBoxes() const;
  QLRootlessValueLine valueLine() const;
  QLRootlessPaneOutlets outlets() const;

 protected:
  struct Kind {
    QLLocalizedKey box;
    const std::array<QLLocalizedKey, 9>* flagLabels;
    QLLocalizedKey newValueMissing;
    QLLocalizedKey savedViaConfig;
    QLLocalizedKey failedToSaveViaConfig;
    const char* fatalWhere;  // "QLSIPConfigVC::actionButtonRootlessFlag:"
  };
  virtual const Kind& kind() const = 0;
  virtual const QLRootlessConfig& current() const = 0;
  // Null while nothing is being edited.
  virtual const QLRootlessConfig* edited() const = 0;
  virtual void setEditedFlag(int bit, bool on) = 0;
  virtual void dropEdited() = 0;
  virtual bool flagEnabled(int bit) const;
  // The chosen file's word of the pane's kind, as it is on disk.
  virtual QLBootloaderWord configWord(const QLBootloaderConfig& config) const = 0;
  // Applies the edited value to the chosen file (the booter pane refuses Chameleon first): 0,
  // or the errno value of the bootloader manager's apply.
  virtual std::optional<QLRootlessMessage> refuseViaConfig() const { return std::nullopt; }
  virtual int applyEditedToConfig() = 0;

  void renderFlags();
  void renderValues();
  // The chosen file (path, picture and own word), or nothing when none is chosen.
  void renderBootloaderConfig();
  void present(const QLRootlessMessage& message) { view_.present(message); }
  static QLRootlessMessage alert(QLLocalizedKey contents, std::optional<QLLocalizedText> detail = std::nullopt);
  static QLRootlessMessage message(QLLocalizedKey contents, std::optional<QLLocalizedText> detail = std::nullopt);
  // Posts tasks to the main thread from any thread; a task posted after the presenter has
  // gone is dropped there.
  using PaneTask = std::function<void(QLMainAbstractRootlessPresenter&)>;
  std::function<void(PaneTask)> mainThreadPoster() const;

  QLRootlessPaneView& view_;
  QLRootlessPaneContext context_;

 private:
  std::shared_ptr<QLMainAbstractRootlessPresenter*> alive_;
};

}  // namespace tarnix
