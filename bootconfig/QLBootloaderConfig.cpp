#include "bootconfig/QLBootloaderConfig.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>

#include "model/QLPreferences.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {
// Far above any real bootloader configuration; keeps a wrong choice from filling memory.
constexpr std::size_t kLargestConfiguration = 16u << 20;
}  // namespace

std::string QLBootloaderConfig::url() const { return fileURLFromPath(path_); }

std::size_t QLBootloaderConfig::hashValue() const { return std::hash<std::string>{}(url()); }

platform::Plist QLBootloaderConfig::loadDictionary(const std::string& path) {
  const auto bytes = platform::readFile(path, kLargestConfiguration);
  if (!bytes) return {};
  return platform::parseDictionary(*bytes);
}

bool QLBootloaderConfig::save(QLJournalRun* journal) { return save(platform::AtomicReplaceHooks{}, journal); }

bool QLBootloaderConfig::save(const platform::AtomicReplaceHooks& hooks, QLJournalRun* journal) {
  keptCopy_.clear();
  saveError_ = 0;
  const std::string xml = platform::toXml(data_.get());
  if (xml.empty()) {
    platform::diagnostic("QLBootloaderConfig::save()",
                         "Error: the configuration could not be written as a property list.");
    saveError_ = EINVAL;
    return false;
  }
  saveError_ = saveFile(path_, xml, journal, keptCopy_, hooks);
  return saveError_ == 0;
}

int QLBootloaderConfig::saveFile(const std::string& path, std::string_view contents, QLJournalRun* journal,
                                 std::string& keptCopy, const platform::AtomicReplaceHooks& hooks) {
  keptCopy.clear();
  const auto before = platform::readFile(path, kLargestConfiguration);
  // The bootloader may not start with what we write; the user needs the file that worked.
  if (const int error = platform::keepDatedCopy(path, std::time(nullptr), keptCopy); error && error != ENOENT) {
    platform::diagnostic("QLBootloaderConfig::save()",
                         "Error: the previous " + path + " could not be kept: " + std::strerror(error));
    return error;
  }
  // The file is as it was: its copy would only be clutter.
  const auto dropCopy = [&] {
    if (!keptCopy.empty()) platform::removeFile(keptCopy);
    keptCopy.clear();
  };
  if (journal) {
    QLJournalChange change{QLJournalKind::file, path, {}, journalDigest(contents), keptCopy, {}};
    if (before) change.before = journalDigest(*before);
    if (!journal->record(change)) {
      dropCopy();
      return EIO;
    }
  }
  if (const int error = platform::replaceFileAtomically(path, contents, 0644, &hooks)) {
    platform::diagnostic("QLBootloaderConfig::save()", "Error: " + path + ": " + std::strerror(error));
    dropCopy();
    return error;
  }
  return 0;
}

QLBootloaderWord QLBootloaderConfig::sipWordOnDisk() const {
  const auto dictionary = loadDictionary(path_);
  return dictionary ? readSIPWord(dictionary.get()) : QLBootloaderWord{QLBootloaderWord::State::unreadable};
}

QLBootloaderWord QLBootloaderConfig::booterWordOnDisk() const {
  const auto dictionary = loadDictionary(path_);
  return dictionary ? readBooterWord(dictionary.get()) : QLBootloaderWord{QLBootloaderWord::State::unreadable};
}

QLBootloaderWord QLBootloaderConfig::wordFromNode(plist_t node, std::size_t width) {
  using State = QLBootloaderWord::State;
  constexpr QLBootloaderWord kUnreadable{State::unreadable};
  if (!node) return {State::notSet};
  switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
      std::uint64_t number = 0;
      plist_get_uint_val(node, &number);
      // libplist keeps negative integers as their two's complement.
      if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return kUnreadable;
      return {State::value, static_cast<std::int64_t>(number)};
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      if (!text || std::strlen(text) != length) return kUnreadable;
      std::string_view digits(text, static_cast<std::size_t>(length));
      while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
      while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
      unsigned base = 10;
      if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
      }
      if (digits.empty() || digits.size() > 16) return kUnreadable;
      std::uint64_t number = 0;
      for (const char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
          digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
          digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
          digit = static_cast<unsigned>(c - 'A' + 10);
        else
          return kUnreadable;
        number = number * base + digit;
        if (number > 0xFFFFFFFFull) return kUnreadable;  // wider than any boot word
      }
      return {State::value, static_cast<std::int64_t>(number)};
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      // As the firmware variable itself is read: at most 10 bytes, of which the first count.
      if (!bytes || length == 0 || length > 10) return kUnreadable;
      std::uint64_t number = 0;
      for (std::size_t i = 0; i < width && i < length; ++i)
        number |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
      return {State::value, static_cast<std::int64_t>(number)};
    }
    default: return kUnreadable;
  }
}

}  // namespace tarnix
