#pragma once
// A bootloader's property-list configuration file, held in memory as a dictionary and saved
// back whole.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "bootconfig/QLBootloaderConfigType.h"
#include "bootconfig/QLRootlessConfig.h"
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
  // The image resource of the bootloader's icon ("QLUIClover", "QLUIChameleon").
  virtual std::string_view image() const = 0;
  // The whole property list; borrowed, edited in place by the apply operations.
  plist_t data() const { return data_.get(); }
  virtual QLBootloaderConfigType type() const = 0;
  std::size_t hashValue() const;

  // Writes the dictionary back over the file as an XML property list, atomically: on failure
  // the file on disk is untouched. The in-memory dictionary keeps what was applied.
  bool save() const;
  bool save(const platform::AtomicReplaceHooks& hooks) const;

  // Put a new value into the dictionary; false when nothing was written (a value without a
  // number, or a bootloader that has no place for it).
  virtual bool applySIPConfig(const QLRootlessConfig& newSIPConfig) = 0;
  virtual bool applyBooterConfig(const QLRootlessConfig& newBooterConfig) = 0;

  // The file as a dictionary (XML or binary property list); nothing when it cannot be read
  // or its top level is not a dictionary.
  static platform::Plist loadDictionary(const std::string& path);

 protected:
  QLBootloaderConfig(std::string path, platform::Plist data) : path_(std::move(path)), data_(std::move(data)) {}

 private:
  std::string path_;
  platform::Plist data_;
};

}  // namespace tarnix
