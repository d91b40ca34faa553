#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "bootconfig/QLBootloaderConfig.h"

namespace tarnix {

// The configuration file the user chose last, shared by both panes. Recognition may run on a
// worker thread while the panes read the current configuration.
class QLBootloaderConfigManager {
 public:
  // The shared one journals each save in systemJournal() (the user's own journal when the
  // user is not root).
  static QLBootloaderConfigManager& shared();
  QLBootloaderConfigManager() = default;

  // Opens the journal run a save is recorded in (operation, target); none by default.
  using JournalOpener = std::function<std::unique_ptr<QLJournalRun>(std::string operation, std::string target)>;
  void setJournal(JournalOpener opener) { openJournal_ = std::move(opener); }

  std::shared_ptr<QLBootloaderConfig> currentConfig() const;

  // Which bootloader a dictionary belongs to, by its top-level keys: OpenCore's whole set of
  // sections, else a Clover section holding a dictionary, else a Chameleon key, else any Clover
  // section name.
  static QLBootloaderConfigType recognise(plist_t dictionary);

  // Opens a Clover, Chameleon or OpenCore file and makes it current. False, with the current one
  // kept, when the file is not a dictionary or belongs to none of them.
  bool loadConfig(const std::string& path);

  // Apply the value to the current configuration and save it, recorded in `journal` (or in a
  // run of the manager's own journal). False without a current configuration, when the value
  // cannot be applied, or when saving fails; `error` then tells which: ENOENT, EINVAL, or the
  // errno value of the save (EIO: it could not be journaled).
  bool applySIPConfig(const QLRootlessConfig& newSIPConfig, int* error = nullptr, QLJournalRun* journal = nullptr);
  bool applyBooterConfig(const QLRootlessConfig& newBooterConfig, int* error = nullptr,
                         QLJournalRun* journal = nullptr);

 private:
  bool apply(bool (QLBootloaderConfig::*write)(const QLRootlessConfig&), const QLRootlessConfig& value, int* error,
             QLJournalRun* journal);

  JournalOpener openJournal_;

  mutable std::mutex mutex_;
  std::shared_ptr<QLBootloaderConfig> currentConfig_;
  // Applying and saving edit the shared dictionary; one at a time.
  std::mutex applying_;
};

}  // namespace tarnix
