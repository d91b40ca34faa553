#include "bootconfig/QLRootlessValueLine.h"

#include "bootconfig/QLRootlessLocalization.h"

namespace tarnix {

QLRootlessValueLine QLRootlessValueLine::make(const QLRootlessConfig& current, const QLRootlessConfig* newer) {
  QLRootlessValueLine line;
  line.currentHex = current.hexValue().value_or("0x00");
  line.currentDecimal = current.decimalValue().value_or(0);
  line.newHex = newer ? newer->hexValue().value_or("0x0") : "0x0";
  line.newDecimal = newer ? newer->decimalValue().value_or(0) : 0;
  return line;
}

std::string QLRootlessValueLine::text(const std::function<std::string(std::string_view key)>& localized) const {
  return localized(kQLMainAbstractRootlessVCCurrentValue.key) + currentHex + " (" + std::to_string(currentDecimal) +
         ")  \t" + localized(kQLMainAbstractRootlessVCNewValue.key) + newHex + " (" + std::to_string(newDecimal) + ")";
}

std::string QLRootlessValueLine::text() const {
  return text([](std::string_view key) {
    if (key == kQLMainAbstractRootlessVCCurrentValue.key)
      return std::string(kQLMainAbstractRootlessVCCurrentValue.english);
    return std::string(kQLMainAbstractRootlessVCNewValue.english);
  });
}

QLBootloaderWordLine QLBootloaderWordLine::make(std::string_view path, QLBootloaderWord word) {
  const std::size_t slash = path.rfind('/');
  return {std::string(slash == std::string_view::npos ? path : path.substr(slash + 1)), word};
}

std::string QLBootloaderWordLine::text(const std::function<std::string(std::string_view key)>& localized) const {
  std::string shown;
  switch (word.state) {
    case QLBootloaderWord::State::value:
      shown = QLHexString(word.value) + " (" + std::to_string(word.value) + ")";
      break;
    case QLBootloaderWord::State::notSet: shown = localized(kQLMainAbstractRootlessVCConfigWordNotSet.key); break;
    case QLBootloaderWord::State::unreadable:
      shown = localized(kQLMainAbstractRootlessVCConfigWordUnreadable.key);
      break;
    case QLBootloaderWord::State::notSupported:
      shown = localized(kQLMainAbstractRootlessVCConfigWordNotSupported.key);
      break;
  }
  return fileName + ": " + shown;
}

std::string QLBootloaderWordLine::text() const {
  return text([](std::string_view key) {
    for (const QLLocalizedKey& known :
         {kQLMainAbstractRootlessVCConfigWordNotSet, kQLMainAbstractRootlessVCConfigWordUnreadable,
          kQLMainAbstractRootlessVCConfigWordNotSupported})
      if (known.key == key) return std::string(known.english);
    return std::string(key);
  });
}

}  // namespace tarnix
