// Writes one well-formed message for every selector and reply type into the folder given, and
// frames of shared, cyclic and nested objects for the bounds check, and XML property lists.
#include <fstream>
#include <string>

#include "BinaryPlist.h"
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireResults.h"

using namespace tarnix;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  const auto volume = QLOSVolume::fromArchive("/Volumes/Mac", QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65"));
  const std::vector kexts{QLKernelExtension::fromPath("/src/My Kexts/FakeSMC.kext")};
  const std::string folderArg = "/Library/Extensions/";
  const QLRepairPermissionsRepresentableResult result("id", "/usr/bin/sudo", "Permissions mismatched", 755, 4755, 4755,
                                                      "Fixed");
  using wire::Kind;
  using wire::pack;
  const std::pair<std::string, std::string> seeds[] = {
      {"test", wire::encodeMessage(Kind::call, 1, "test:", pack())},
      {"terminate", wire::encodeMessage(Kind::oneway, 0, "terminate", pack())},
      {"folder", wire::encodeMessage(Kind::call, 2, "repairWithFolder:onTargetVolume:reply:", pack(folderArg, volume))},
      {"repair", wire::encodeMessage(Kind::call, 3, "repairDiskPermissionsOnTargetVolume:reply:", pack(volume))},
      {"install", wire::encodeMessage(Kind::call, 4, "installWithKernelExtensions:toDestinationFolder:onTargetVolume:reply:",
                                      pack(kexts, folderArg, volume))},
      {"backup", wire::encodeMessage(Kind::call, 5,
                                     "backupWithKernelExtensions:installedInFolder:onTargetVolume:toDestinationFolder:reply:",
                                     pack(kexts, folderArg, volume, std::string("/home/a/Desktop/")))},
      {"threads", wire::encodeMessage(Kind::call, 6, "changeMaximumThreadsNumber:reply:", pack(std::int64_t{4}))},
      {"booter", wire::encodeMessage(Kind::call, 7, "applyBooterConfigViaNVRAMWithNewBooterConfig:reply:",
                                     pack(std::int64_t{0x28}))},
      {"context", wire::encodeMessage(Kind::oneway, 0, "updateWithNewContext:",
                                      pack(QLXPCHelperContext::initWith("Progress", 42.5)))},
      {"results", wire::encodeMessage(Kind::reply, 3, "", pack(std::vector{result, result}))},
      {"results-part",
       wire::encodeResultsMessage(
           Kind::part, 3,
           std::vector{result, QLRepairPermissionsRepresentableResult("é", "/Système/🎉", "Owner ID Mismatched", -1,
                                                                      0, 65536, "Failed")})},
      {"kexts", wire::encodeMessage(Kind::reply, 4, "", pack(kexts))},
      {"doubling", test::doublingPlist(24)},
      {"deep", test::deepPlist(40)},
      {"cycle", [] {
         test::BinaryPlist plist;
         const auto loop = plist.raw("");
         plist.replace(loop, plist.arrayBytes({plist.ascii("x"), loop}));
         return plist.bytes(plist.call("test:", loop));
       }()},
  };
  for (const auto& [name, body] : seeds) std::ofstream(folder + "/" + name + ".bplist", std::ios::binary) << body;
  // XML as a volume's files hold it: every kind of markup the check skips, and nesting.
  const std::pair<std::string, std::string> xmlSeeds[] = {
      {"info",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><dict><!-- a <key> -->"
       "<key>CFBundleVersion</key><string><![CDATA[1.0<>]]></string><key>n</key><integer>3</integer>"
       "<key>a</key><array><true/><data>AAE=</data><real>1.5</real></array></dict></plist>\n"},
      {"nested",
       "<!DOCTYPE x [ <!ENTITY a \"]>\"> ]><plist><array><array a=\">\"><array><string/></array>"
       "</array></array></plist>"},
  };
  for (const auto& [name, body] : xmlSeeds) std::ofstream(folder + "/" + name + ".plist", std::ios::binary) << body;
  return 0;
}
