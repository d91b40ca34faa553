#pragma once
// A bootloader's property-list configuration file, held in memory as a dictionary and saved
// back whole.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "bootconfig/QLBootloaderConfigType.h"
#include "bootconfig/QLBootloaderWord.h"
#include "bootconfig/QLRootlessConfig.h"
#include "journal/QLJournal.h"
#include "platform/AtomicFile.h"
#include "platform/PropertyList.h"

namespace tarnix {

class QLBootloaderConfig {
 public:
  virtual ~QLBootloaderConfig() = default;
  QLBootloaderConfig(const QLBootloaderConfig&) = delete;
  QLBootloaderConfig& operator=(const QLBootloaderConfig&) = delete;

  // The file's URL ("file://" and the percent-encoded path) and its path as chosen.
  std::string url() const;
  const std::string& path() const { return path_; }
  // The image resource of the bootloader's icon ("QLUIClover", "QLUIChameleon", "QLUIOpenCore").
  virtual std::string_view image() const = 0;
  // The whole property list; borrowed, edited in place by the apply operations.
  plist_t data() const { return data_.get(); }
  virtual QLBootloaderConfigType type() const = 0;
  std::size_t hashValue() const;

  // Keeps the file as it is on disk under a dated name beside it, then writes the dictionary
  // over it as an XML property list, atomically: on failure the file on disk is untouched. The
  // in-memory dictionary keeps what was applied. With a journal, the save is recorded there
  // first (and not made when it cannot be).
  bool save(QLJournalRun* journal = nullptr);
  bool save(const platform::AtomicReplaceHooks& hooks, QLJournalRun* journal = nullptr);
  // The same for any file and contents: 0 or an errno value, the dated copy in `keptCopy`
  // (empty when there was no file to keep).
  static int saveFile(const std::string& path, std::string_view contents, QLJournalRun* journal, std::string& keptCopy,
                      const platform::AtomicReplaceHooks& hooks = {});
  // Where the last save kept the previous file; empty before the first save, or when there was
  // no file to keep.
  const std::string& keptCopy() const { return keptCopy_; }
  // Why the last save failed: an errno value, 0 after a save that succeeded.
  int saveError() const { return saveError_; }

  // Put a new value into the dictionary; false when nothing was written (a value without a
  // number or too wide for the file, a bootloader that has no place for it, or a file whose
  // structure is in the way).
  virtual bool applySIPConfig(const QLRootlessConfig& newSIPConfig) = 0;
  virtual bool applyBooterConfig(const QLRootlessConfig& newBooterConfig) = 0;

  // The words a dictionary of this bootloader holds.
  virtual QLBootloaderWord readSIPWord(plist_t dictionary) const = 0;
  virtual QLBootloaderWord readBooterWord(plist_t dictionary) const = 0;
  // The same, of the file as it is on disk now (unreadable when it cannot be read).
  QLBootloaderWord sipWordOnDisk() const;
  QLBootloaderWord booterWordOnDisk() const;

  // The file as a dictionary (XML or binary property list); nothing when it cannot be read
  // or its top level is not a dictionary.
  static platform::Plist loadDictionary(const std::string& path);

 protected:
  QLBootloaderConfig(std::string path, platform::Plist data) : path_(std::move(path)), data_(std::move(data)) {}

  // A word as bootloaders write it: an integer, a decimal or "0x" hexadecimal string, or data
  // read as a little-endian number of `width` bytes (a shorter value is zero-extended).
  // Missing: notSet; anything else: unreadable.
  static QLBootloaderWord wordFromNode(plist_t node, std::size_t width);

 private:
  std::string path_;
  platform::Plist data_;
  std::string keptCopy_;
  int saveError_ = 0;
};

}  // namespace tarnix
