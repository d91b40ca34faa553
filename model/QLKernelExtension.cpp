#include "model/QLKernelExtension.h"

#include <functional>

#include "platform/Files.h"
#include "platform/PropertyList.h"

namespace tarnix {
namespace {

constexpr std::size_t kPlistLimit = 4u << 20;  // kext lists are a few kilobytes

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

platform::Plist loadDictionary(const std::string& path) {
  const auto bytes = platform::readFile(path, kPlistLimit);
  return bytes ? platform::parseDictionary(*bytes) : platform::Plist();
}

}  // namespace

QLKernelExtension QLKernelExtension::initWithPathURL(std::string fileURL) {
  return QLKernelExtension(std::move(fileURL));
}

QLKernelExtension QLKernelExtension::fromPath(const std::string& path) {
  return QLKernelExtension(fileURLForPath(path));
}

std::string fileURLForPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::string_view("/-._~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
    if (plain) {
      url.push_back(static_cast<char>(c));
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 15]);
    }
  }
  return url;
}

std::string QLKernelExtension::path() const {
  if (url_.size() <= 7) return {};
  return percentDecoded(std::string_view(url_).substr(7));
}

std::string QLKernelExtension::name() const {
  std::string full = path();
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  const auto slash = full.rfind('/');
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::optional<std::string> QLKernelExtension::version() const {
  const std::string base = path();
  const auto info = loadDictionary(base + infoPlistPath);
  const auto versionList = loadDictionary(base + versionPlistPath);
  return versionFrom(info.get(), versionList.get());
}

std::optional<std::string> QLKernelExtension::versionFrom(plist_t info, plist_t versionList) {
  const std::pair<plist_t, const char*> candidates[] = {
      {versionList, "CFBundleShortVersionString"},
      {info, "CFBundleShortVersionString"},
      {versionList, "CFBundleVersion"},
      {info, "CFBundleVersion"},
  };
  for (const auto& [dict, key] : candidates) {
    if (!dict) continue;
    if (auto value = platform::dictString(dict, key)) return value;
  }
  return std::nullopt;
}

std::size_t QLKernelExtension::hashValue() const { return std::hash<std::string>{}(path()); }

}  // namespace tarnix
