#include <gtest/gtest.h>

#include <cerrno>

#include "bootconfig/QLBooterConfig.h"
#include "bootconfig/QLSIPConfig.h"
#include "platform/FakeFirmwareVariables.h"

namespace tarnix {
namespace {

using platform::FakeFirmwareVariables;

TEST(RootlessConfig, FlagsFollowTheWordReadAtConstruction) {
  FakeFirmwareVariables nvram;
  nvram.set("csr-active-config", {0x67, 0x00, 0x00, 0x00});
  nvram.set("bootercfg", {0x28, 0x00});
  const QLSIPConfig sip(nvram);
  EXPECT_EQ(sip.hexValue(), "0x67");
  EXPECT_EQ(sip.options().rawValue, 0x67);
  const bool expected[] = {true, true, true, false, false, true, true, false, false};
  for (int bit = 0; bit < 9; ++bit) EXPECT_EQ(sip.flag(bit), expected[bit]) << "bit " << bit;
  EXPECT_TRUE(sip.b5SIPAllowUnrestrictedDtrace());
  EXPECT_FALSE(sip.b8SIPPlaceholderBaseSystem());

  const QLBooterConfig booter(nvram);
  EXPECT_EQ(booter.decimalValue(), 0x28);
  EXPECT_TRUE(booter.b3EnableCSRActiveConfig() && booter.b5EnableCSRBoot());
  EXPECT_FALSE(booter.b0EnableRebootOnPanic() || booter.b4EnableCSRConfigMode());
}

TEST(RootlessConfig, NegativeWordsAreMaskedLikeAnyOther) {
  FakeFirmwareVariables nvram;
  nvram.set("csr-active-config", {0xFF, 0xFF, 0xFF, 0xFF});
  nvram.set("bootercfg", {0xFF, 0xFF});
  EXPECT_EQ(QLSIPConfig(nvram).readFromNVRAM(), -1);
  EXPECT_EQ(QLSIPConfig(nvram).decimalValue(), 0x1ff);
  EXPECT_EQ(QLBooterConfig(nvram).decimalValue(), 0x1ff);
}

TEST(RootlessConfig, ChangingAFlagMakesAnAbsentValuePresent) {
  FakeFirmwareVariables nvram;
  QLSIPConfig sip(nvram);
  ASSERT_FALSE(sip.decimalValue());
  EXPECT_FALSE(sip.hexValue());

  sip.setB1SIPAllowUnrestrictedFileSystem(false);  // already clear
  EXPECT_EQ(sip.decimalValue(), 0);
  EXPECT_EQ(sip.hexValue(), "0x0");

  sip.setB8SIPPlaceholderBaseSystem(true);
  EXPECT_EQ(sip.decimalValue(), 0x100);
  EXPECT_EQ(sip.hexValue(), "0x100");
  sip.setB0SIPAllowUntrustedKexts(true);
  sip.setB8SIPPlaceholderBaseSystem(false);
  EXPECT_EQ(sip.decimalValue(), 0x1);
  EXPECT_EQ(sip.options().rawValue, 0x1);
}

TEST(RootlessConfig, SettingTheNumberKeepsFlagsAndValueTogether) {
  FakeFirmwareVariables nvram;
  QLBooterConfig booter(nvram);
  booter.setDecimalValue(0x3ff);
  EXPECT_EQ(booter.decimalValue(), 0x1ff);
  EXPECT_TRUE(booter.b8EnableInstallUI());
  booter.setDecimalValue(std::nullopt);
  EXPECT_FALSE(booter.decimalValue());
  EXPECT_FALSE(booter.b8EnableInstallUI());
}

TEST(RootlessConfig, WritesLittleEndianInTheWidthOfEachName) {
  FakeFirmwareVariables nvram;
  QLSIPConfig sip(nvram);
  for (int bit = 0; bit < 9; ++bit) sip.setFlag(bit, true);
  ASSERT_TRUE(sip.writeToNVRAM());
  EXPECT_EQ(nvram.read(platform::kAppleBootVariablesGuid, "csr-active-config"),
            (std::vector<std::uint8_t>{0xFF, 0x01, 0x00, 0x00}));

  QLBooterConfig booter(nvram);
  booter.setFlag(3, true);
  booter.setFlag(5, true);
  ASSERT_TRUE(booter.writeToNVRAM());
  EXPECT_EQ(nvram.read(platform::kAppleBootVariablesGuid, "bootercfg"), (std::vector<std::uint8_t>{0x28, 0x00}));
}

TEST(RootlessConfig, WritesFailCleanly) {
  FakeFirmwareVariables nvram;
  nvram.set("csr-active-config", {0x67, 0, 0, 0});

  QLSIPConfig absent(nvram);
  absent.setDecimalValue(std::nullopt);
  EXPECT_FALSE(absent.writeToNVRAM()) << "no value";
  EXPECT_FALSE(QLRootlessConfig().writeToNVRAM()) << "no name";
  EXPECT_FALSE(QLRootlessConfig().readFromNVRAM());

  QLSIPConfig refused(nvram);
  refused.setFlag(0, false);
  nvram.failWrites(EACCES);
  EXPECT_FALSE(refused.writeToNVRAM());
  EXPECT_EQ(QLSIPConfig(nvram).decimalValue(), 0x67) << "a refused write leaves the variable";

  nvram.failWrites(0);
  nvram.setSupported(false);
  EXPECT_FALSE(QLSIPConfig(nvram).decimalValue()) << "no firmware variables: absent";
  EXPECT_FALSE(refused.writeToNVRAM());
}

}  // namespace
}  // namespace tarnix
