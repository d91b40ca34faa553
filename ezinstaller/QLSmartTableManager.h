#pragma once
// The EZ installer's table from kext bundle names to kext folders. A default ships in the
// application's information list; allocate copies it into the support folder (replacing an
// older copy), load reads that copy whenever a batch is installed from the table.
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "model/QLKernelExtensionFolder.h"
#include "platform/PropertyList.h"

namespace tarnix::ezinstaller {

enum class QLSmartTableManagerError {
  failedToFindDefaultSmartTable,
  failedToAllocateDefaultSmartTable,
  failedToFindLocalTableVersion,
  failedToFindInternalTableVersion,
};

const char* errorName(QLSmartTableManagerError error);

class QLSmartTableManager {
 public:
  static QLSmartTableManager& shared();
  QLSmartTableManager();

  static constexpr const char* kDefaultSmartTableKey = "QLDefaultSmartTable";

  std::string fileName = "QLUserDefaultSmartTable.plist";
  // The folder the local table lives in; the EZ installer's support folder.
  std::string supportFolder;
  // The application's information list (a dictionary), read on each allocate.
  std::function<platform::Plist()> informationList;

  const std::optional<std::string>& version() const { return version_; }
  const std::map<std::string, std::string>& table() const { return table_; }

  std::string localTablePath() const { return supportFolder + "/" + fileName; }

  // Makes sure an up-to-date local table exists: written from the built-in one when missing
  // or when its version sorts (as a string) below the built-in version. Nothing on success.
  std::optional<QLSmartTableManagerError> allocate();
  // Replaces the table and its version from the file; an unreadable or incomplete file leaves
  // the table empty.
  void load(const std::string& path);
  // The table a batch is installed with: the local file, or the built-in one when the local
  // file is unusable (set by the application after a failed allocate).
  void loadForInstallation();
  bool useBuiltInTable = false;

  // The folder the table names for a kext bundle file name ("Foo.kext"). A name that is not in
  // the table, or whose value is not one of the three kext folders, gives /Library/Extensions/.
  QLKernelExtensionFolder folderForKext(const std::string& bundleName) const;

 private:
  void loadDictionary(plist_t dict);
  std::optional<std::string> version_;
  std::map<std::string, std::string> table_;
};

// The built-in information list compiled into the application.
platform::Plist applicationInformationList();
// "Tarnix EZInstaller" in the user's application-data folder.
std::string ezInstallerSupportFolder();

}  // namespace tarnix::ezinstaller
