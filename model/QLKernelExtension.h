#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "platform/PropertyList.h"

namespace tarnix {

// A kext bundle chosen by the user. The file URL is the only stored state; everything else is
// derived from it on each access.
class QLKernelExtension {
 public:
  // No check is made that the URL names a kext or exists.
  static QLKernelExtension initWithPathURL(std::string fileURL);
  // A dropped path: its file URL, not marked as a directory (no trailing "/" added).
  static QLKernelExtension fromPath(const std::string& path);

  static constexpr const char* infoPlistPath = "/Contents/Info.plist";
  static constexpr const char* versionPlistPath = "/Contents/version.plist";

  const std::string& url() const { return url_; }
  void setUrl(std::string fileURL) { url_ = std::move(fileURL); }

  // The last path component ("Foo.kext"), trailing slashes ignored.
  std::string name() const;
  // The URL without its "file://" prefix, percent escapes decoded.
  std::string path() const;
  // The first present of: version list's CFBundleShortVersionString, information list's
  // CFBundleShortVersionString, version list's CFBundleVersion, information list's
  // CFBundleVersion. A value that is not a string counts as absent.
  std::optional<std::string> version() const;
  // The same rule over the two lists as read (either may be null).
  static std::optional<std::string> versionFrom(plist_t info, plist_t versionList);
  std::size_t hashValue() const;

  bool operator==(const QLKernelExtension& other) const { return hashValue() == other.hashValue(); }

 private:
  explicit QLKernelExtension(std::string fileURL) : url_(std::move(fileURL)) {}
  std::string url_;
};

// A file URL for an absolute path, percent-encoding what a URL path may not carry.
std::string fileURLForPath(const std::string& path);

}  // namespace tarnix
