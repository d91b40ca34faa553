// The checks every argument from a client passes, and whom the daemon serves: tables of the
// values a hostile or careless client sends.
#include <gtest/gtest.h>

#include <string>

#include "helper/QLHelperPeerPolicy.h"
#include "operations/QLHelperArguments.h"

namespace tarnix {
namespace {

using namespace std::string_literals;

TEST(HelperArguments, PlainAbsolutePaths) {
  const struct {
    std::string path;
    bool plain;
  } cases[] = {
      {"/", true},
      {"/Library/Extensions", true},
      {"/Library/Extensions/", true},
      {"/a//b", true},
      {"/a/.hidden/b..c/...", true},
      {"", false},
      {"Library/Extensions", false},
      {"./Library", false},
      {"/Library/..", false},
      {"/Library/../etc", false},
      {"/./etc", false},
      {"/etc/.", false},
      {"/etc\0/passwd"s, false},
      {"/" + std::string(4096, 'a'), false},
  };
  for (const auto& [path, plain] : cases) EXPECT_EQ(arguments::isPlainAbsolutePath(path), plain) << path;
}

TEST(HelperArguments, KextFoldersAreTheThreeRawValuesExactly) {
  for (const char* folder : {"/System/Library/Extensions/", "/Library/Extensions/", "/Extra/Extensions/"})
    EXPECT_EQ(arguments::kextFolder(folder), std::optional<std::string>(folder)) << folder;
  for (const char* folder : {"", "/", "/Library/Extensions", "/library/extensions/", "/Library/Extensions/../",
                             "/Library/Extensions//", "/tmp/", "//Library/Extensions/", "Library/Extensions/",
                             "QLKextFolderAskMeEveryTime", "QLKextFolderUseSmartTable"})
    EXPECT_FALSE(arguments::kextFolder(folder)) << folder;
}

TEST(HelperArguments, KextNamesAreOneComponentEndingInKext) {
  const struct {
    std::string name;
    bool valid;
  } cases[] = {
      {"FakeSMC.kext", true},
      {"a.kext", true},
      {"..kext", true},  // one component, not ".."
      {std::string(250, 'a') + ".kext", true},
      {std::string(251, 'a') + ".kext", false},  // longer than a file name may be
      {".kext", false},
      {"", false},
      {"FakeSMC", false},
      {"FakeSMC.kext/", false},
      {"../FakeSMC.kext", false},
      {"/FakeSMC.kext", false},
      {"FakeSMC.KEXT", false},
      {"Fake\0SMC.kext"s, false},
  };
  for (const auto& [name, valid] : cases) EXPECT_EQ(arguments::isKextName(name), valid) << name;
}

TEST(HelperArguments, InstallableKextsAreFileURLsOfPlainPaths) {
  const struct {
    const char* url;
    bool installable;
  } cases[] = {
      {"file:///tmp/FakeSMC.kext", true},
      {"file:///tmp/FakeSMC.kext/", true},
      {"file:///tmp/Fake%20SMC.kext", true},
      {"file:///tmp/A.kext%2F..%2F", false},  // an escaped slash decodes to a ".." name
      {"file:///tmp/../etc/A.kext", false},
      {"file:///tmp/A%00.kext", false},
      {"file://host/tmp/A.kext", false},
      {"file://", false},
      {"", false},
      {"https:/tmp/A.kext", false},  // not a file URL, though its tail looks like a path
      {"ftp://h/tmp/A.kext", false},
      {"file:///tmp/Info.plist", false},
  };
  for (const auto& [url, installable] : cases)
    EXPECT_EQ(arguments::isInstallableKext(QLKernelExtension::initWithPathURL(url)), installable) << url;
}

TEST(PeerPolicy, WhomADaemonServesAndTrusts) {
  const struct {
    uid_t daemon;
    std::optional<uid_t> peer;  // nothing: the kernel could not say who it is
    bool allowed;
    bool trusted;
  } cases[] = {
      {0, 0, true, true},       {0, 1000, true, false}, {0, 65534, true, false},    {0, std::nullopt, false, false},
      {1000, 1000, true, true}, {1000, 0, true, true},  {1000, 1001, false, false}, {1000, std::nullopt, false, false},
  };
  for (const auto& [daemon, peer, allowed, trusted] : cases) {
    const QLHelperPeerPolicy policy(daemon);
    std::optional<platform::PeerCredentials> credentials;
    if (peer) {
      credentials.emplace();
      credentials->uid = *peer;
      credentials->gid = *peer;
    }
    SCOPED_TRACE("daemon " + std::to_string(daemon) + ", peer " + (peer ? std::to_string(*peer) : "unknown"));
    EXPECT_EQ(policy.allows(credentials), allowed);
    EXPECT_EQ(credentials && policy.trusts(*credentials), trusted);
  }
}

}  // namespace
}  // namespace tarnix
