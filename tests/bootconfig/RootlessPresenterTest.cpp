#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>

#include "TestSupport.h"
#include "bootconfig/QLBooterConfigPresenter.h"
#include "bootconfig/QLNVRAMWriteFailure.h"
#include "bootconfig/QLRootlessLocalization.h"
#include "bootconfig/QLSIPConfigPresenter.h"
#include "model/QLMemoryPreferenceStore.h"
#include "platform/FakeFirmwareVariables.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace tarnix {
namespace {

using Form = QLRootlessMessage::Form;
using Bytes = std::vector<std::uint8_t>;

class RecordingView final : public QLRootlessPaneView {
 public:
  void showLocalizedOutlets(const QLRootlessPaneOutlets& shown) override { outlets = shown; }
  void showFlags(const std::array<QLRootlessFlagBox, 9>& shown) override { boxes = shown; }
  void showValueLine(const QLRootlessValueLine& shown) override { line = shown; }
  void setApplyViaConfigEnabled(bool enabled) override { applyViaConfigEnabled = enabled; }
  void showBootloaderConfig(const std::string& shownPath, std::string_view shownImage) override {
    path = shownPath;
    image = shownImage;
  }
  void showBootloaderWord(const std::optional<QLBootloaderWordLine>& shown) override { word = shown; }
  void startProgress() override { ++progressStarts; }
  void stopProgress() override { ++progressStops; }
  void present(const QLRootlessMessage& message) override { messages.push_back(message); }

  std::optional<QLRootlessPaneOutlets> outlets;
  std::array<QLRootlessFlagBox, 9> boxes{};
  QLRootlessValueLine line;
  std::optional<bool> applyViaConfigEnabled;
  std::string path;
  std::string image;
  std::optional<QLBootloaderWordLine> word;
  int progressStarts = 0;
  int progressStops = 0;
  std::vector<QLRootlessMessage> messages;
};

std::string english(std::string_view key) {
  if (key == kQLMainAbstractRootlessVCCurrentValue.key) return "Current: ";
  if (key == kQLMainAbstractRootlessVCNewValue.key) return "New: ";
  return "?";
}

QLOSVersion version(const char* productVersion) {
  const std::string list = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>") +
                           "<key>ProductName</key><string>Mac OS X</string><key>ProductVersion</key><string>" +
                           productVersion +
                           "</string><key>ProductBuildVersion</key><string>1A1</string></dict></plist>";
  auto parsed = QLOSVersion::fromPropertyList(list);
  EXPECT_TRUE(parsed) << productVersion;
  return *parsed;
}

class Panes : public ::testing::Test {
 protected:
  Panes() {
    nvram_.set("csr-active-config", {0x67, 0x00, 0x00, 0x00});
    rootless_.emplace(nvram_);
  }

  QLRootlessPaneContext context(QLBootEnvironmentType environment = QLBootEnvironmentType::Normal) {
    return QLRootlessPaneContext{*rootless_,
                                 bootloader_,
                                 environment,
                                 std::nullopt,
                                 &preferences_,
                                 {},
                                 [this](QLTask task) { main_.push_back(std::move(task)); },
                                 {},
                                 {}};
  }
  void drainMain() {
    while (!main_.empty()) {
      QLTask task = std::move(main_.front());
      main_.pop_front();
      task();
    }
  }
  std::string file(const std::string& name, const std::string& dictionary) {
    const std::string path = dir_ / name;
    platform::writeFile(path,
                        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + dictionary + "</plist>");
    return path;
  }
  void choose(QLMainAbstractRootlessPresenter& pane, const std::string& path) {
    pane.selectBooterConfiguration();
    pane.didChooseBooterConfiguration(path);
    drainMain();
  }

  platform::FakeFirmwareVariables nvram_;
  std::optional<QLRootlessConfigManager> rootless_;
  QLBootloaderConfigManager bootloader_;
  QLMemoryPreferenceStore store_;
  QLPreferences preferences_{store_};
  std::deque<QLTask> main_;
  test::TempDir dir_;
  RecordingView view_;
};

TEST_F(Panes, ValueLineShowsTheCurrentAndTheEditedWord) {
  QLSIPConfigPresenter sip(view_, context());
  sip.viewDidLoad();
  EXPECT_EQ(view_.line.text(english), "Current: 0x67 (103)  \tNew: 0x0 (0)");
  EXPECT_EQ(view_.line.text(), "Current value: 0x67 (103)  \tNew value: 0x0 (0)");

  // Nothing in NVRAM: the current word shows as 0x00, and editing starts from zero.
  RecordingView booterView;
  QLBooterConfigPresenter booter(booterView, context(), nullptr);
  booter.viewDidLoad();
  EXPECT_EQ(booterView.line.text(english), "Current: 0x00 (0)  \tNew: 0x0 (0)");
  for (const auto& box : booterView.boxes) EXPECT_FALSE(box.checked);
  booter.actionButtonRootlessFlag(0, true);
  EXPECT_EQ(booterView.line.text(english), "Current: 0x00 (0)  \tNew: 0x1 (1)");
}

TEST_F(Panes, TicksEditAWordMadeFromNVRAMAndRefreshDropsIt) {
  QLSIPConfigPresenter sip(view_, context());
  sip.viewDidLoad();
  const bool ticked[] = {true, true, true, false, false, true, true, false, false};
  for (int bit = 0; bit < 9; ++bit) EXPECT_EQ(view_.boxes[bit].checked, ticked[bit]);

  nvram_.set("csr-active-config", {0x00, 0x00, 0x00, 0x00});  // changed since the pane started
  sip.actionButtonRootlessFlag(8, true);
  EXPECT_EQ(view_.line.newHex, "0x100");
  EXPECT_EQ(view_.line.currentHex, "0x67") << "the current word is read once";
  sip.actionButtonRootlessFlag(8, false);
  EXPECT_EQ(view_.line.newHex, "0x0");
  ASSERT_TRUE(rootless_->newSIPConfig());

  sip.refresh();
  EXPECT_FALSE(rootless_->newSIPConfig());
  EXPECT_EQ(view_.line.text(english), "Current: 0x67 (103)  \tNew: 0x0 (0)");
  EXPECT_EQ(view_.boxes[0].checked, true);
}

TEST_F(Panes, TheTwoPanesAreTitledWithTheirOwnKeys) {
  QLSIPConfigPresenter sip(view_, context());
  sip.viewDidLoad();
  ASSERT_TRUE(view_.outlets);
  EXPECT_EQ(view_.outlets->image, "QLUIPlist");
  EXPECT_EQ(view_.outlets->mainTitle.key, "kQLMainAbstractRootlessVCSelectBootloaderConfiguration");
  EXPECT_EQ(view_.outlets->box.key, "kQLSIPConfigVCSIPStatusFull");
  EXPECT_EQ(view_.outlets->flags[4].key, "kQLSIPConfigVCB4AllowAppleInternal");
  EXPECT_EQ(view_.progressStops, 1);

  RecordingView booterView;
  QLBooterConfigPresenter booter(booterView, context(), nullptr);
  booter.viewDidLoad();
  EXPECT_EQ(booterView.outlets->box.key, "kQLBooterConfigVCBooterConfigStatusFull");
  EXPECT_EQ(booterView.outlets->flags[8].key, "kQLBooterConfigVCB8InstallUI");
  EXPECT_EQ(booterView.outlets->applyViaConfig.key, "kQLMainAbstractRootlessVCApplyViaConfig");
}

TEST_F(Panes, TheBaseSystemFlagNeedsMacOS1012OrLater) {
  const struct {
    std::optional<const char*> system;
    bool enabled;
  } cases[] = {{"10.11", false}, {"10.11.6", false}, {"10.12", true},
               {"10.15", true},  {"11.3", true},     {std::nullopt, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.system.value_or("unknown"));
    auto made = context();
    if (c.system) made.systemVersion = version(*c.system);
    RecordingView view;
    QLSIPConfigPresenter sip(view, made);
    sip.viewDidLoad();
    EXPECT_EQ(view.boxes[8].enabled, c.enabled);
    for (int bit = 0; bit < 8; ++bit) EXPECT_TRUE(view.boxes[bit].enabled);
  }
  QLBooterConfigPresenter booter(view_, context(), nullptr);
  booter.viewDidLoad();
  EXPECT_TRUE(view_.boxes[8].enabled);
}

TEST_F(Panes, ChoosingAFileIsSharedByBothPanes) {
  QLSIPConfigPresenter sip(view_, context());
  RecordingView booterView;
  QLBooterConfigPresenter booter(booterView, context(), nullptr);
  sip.viewDidAppear();
  EXPECT_EQ(view_.applyViaConfigEnabled, false);

  EXPECT_EQ(sip.selectBooterConfiguration().directory, "~/Desktop/");
  sip.didChooseBooterConfiguration(std::nullopt);
  store_.setValue(kQLPreferenceNavLastRootDirectory.name, std::string("/mnt/efi"));
  const auto panel = sip.selectBooterConfiguration();
  EXPECT_EQ(panel.directory, "/mnt/efi");
  EXPECT_EQ(panel.prompt.key, "kQLInstallationVCChoose");
  EXPECT_EQ(panel.allowedType, "plist");
  sip.didChooseBooterConfiguration(std::nullopt);
  EXPECT_EQ(view_.progressStarts, view_.progressStops);

  const std::string clover = file("config.plist", "<dict><key>SMBIOS</key><dict/></dict>");
  choose(sip, clover);
  EXPECT_EQ(view_.path, clover);
  EXPECT_EQ(view_.image, "QLUIClover");
  EXPECT_EQ(view_.applyViaConfigEnabled, true);
  EXPECT_EQ(view_.progressStarts, view_.progressStops);
  EXPECT_TRUE(view_.messages.empty());

  booter.viewDidAppear();
  EXPECT_EQ(booterView.applyViaConfigEnabled, true);
  EXPECT_EQ(booterView.path, clover);
}

TEST_F(Panes, AnUnrecognisedFileIsReportedAndTheChosenOneStays) {
  QLSIPConfigPresenter sip(view_, context());
  const std::string chameleon = file("org.chameleon.Boot.plist", "<dict><key>Timeout</key><string>3</string></dict>");
  choose(sip, chameleon);
  choose(sip, file("empty.plist", "<dict/>"));
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0],
            (QLRootlessMessage{Form::alert, kQLMainAbstractVCAnErrorOccured,
                               kQLMainAbstractRootlessVCUnsupportedBootloaderConfiguration, std::nullopt}));
  EXPECT_EQ(view_.path, chameleon);
  EXPECT_EQ(view_.image, "QLUIChameleon");
  EXPECT_EQ(view_.progressStarts, view_.progressStops);
}

// One row per situation of the panes' message table.
enum class Pane { sip, booter };
enum class Action { viaNVRAM, viaConfig };
enum class File { none, clover, chameleon, unsavable };
struct MessageCase {
  const char* situation;
  Pane pane;
  Action action;
  bool edited;
  QLBootEnvironmentType environment;
  File file;
  std::optional<bool> helperAnswer;  // nothing: no helper connection
  std::optional<QLRootlessMessage> expected;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.situation; }

QLRootlessMessage alertOf(QLLocalizedKey contents) {
  return {Form::alert, kQLMainAbstractVCAnErrorOccured, contents, std::nullopt};
}
QLRootlessMessage messageOf(QLLocalizedKey contents) {
  return {Form::message, kQLMainAbstractVCFinished, contents, std::nullopt};
}

class MessageTable : public Panes, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(MessageTable, ShowsTheMessageOfEachSituation) {
  const MessageCase& c = GetParam();
  if (c.file != File::none) {
    const std::string path = c.file == File::chameleon
                                 ? file("Boot.plist", "<dict><key>Timeout</key><string>3</string></dict>")
                                 : file("config.plist", "<dict><key>Boot</key><dict/></dict>");
    ASSERT_TRUE(bootloader_.loadConfig(path));
    if (c.file == File::unsavable) std::filesystem::remove_all(dir_.path());
  }
  std::vector<std::int64_t> helperCalls;
  QLApplyBooterConfigViaHelper helper;
  if (c.helperAnswer)
    helper = [&](std::int64_t value, std::function<void(bool)> reply) {
      helperCalls.push_back(value);
      reply(*c.helperAnswer);
    };
  std::unique_ptr<QLMainAbstractRootlessPresenter> pane;
  if (c.pane == Pane::sip)
    pane = std::make_unique<QLSIPConfigPresenter>(view_, context(c.environment));
  else
    pane = std::make_unique<QLBooterConfigPresenter>(view_, context(c.environment), helper);
  pane->viewDidLoad();
  if (c.edited) {
    pane->actionButtonRootlessFlag(3, true);
    pane->actionButtonRootlessFlag(5, true);
  }
  const std::size_t writesBefore = nvram_.writeCount();

  c.action == Action::viaNVRAM ? pane->applyViaNVRAM() : pane->applyViaConfig();
  drainMain();

  if (c.expected) {
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(view_.messages[0].form, c.expected->form);
    EXPECT_EQ(view_.messages[0].title.key, c.expected->title.key);
    EXPECT_EQ(view_.messages[0].contents.key, c.expected->contents.key);
  } else {
    EXPECT_TRUE(view_.messages.empty());
  }
  const bool wroteItself = c.action == Action::viaNVRAM && c.edited && c.environment == QLBootEnvironmentType::Recovery;
  EXPECT_EQ(nvram_.writeCount() - writesBefore, wroteItself ? 1u : 0u);
  const bool helperUsed = c.pane == Pane::booter && c.action == Action::viaNVRAM && c.edited &&
                          c.environment == QLBootEnvironmentType::Normal && c.helperAnswer;
  EXPECT_EQ(helperCalls, helperUsed ? std::vector<std::int64_t>{0x28} : std::vector<std::int64_t>{});
  // Applying never drops the edited word.
  EXPECT_EQ(c.edited, (c.pane == Pane::sip ? static_cast<const void*>(rootless_->newSIPConfig())
                                           : static_cast<const void*>(rootless_->newBooterConfig())) != nullptr);
}

using Env = QLBootEnvironmentType;
INSTANTIATE_TEST_SUITE_P(
    Situations, MessageTable,
    ::testing::Values(
        MessageCase{"SIP none",
                    Pane::sip,
                    Action::viaNVRAM,
                    false,
                    Env::Recovery,
                    File::none,
                    {},
                    alertOf(kQLSIPConfigVCNewSIPConfigNotExist)},
        MessageCase{"SIP normal",
                    Pane::sip,
                    Action::viaNVRAM,
                    true,
                    Env::Normal,
                    File::none,
                    {},
                    alertOf(kQLSIPConfigVCApplySIPViaNVRAMUnsupported)},
        MessageCase{"SIP recovery", Pane::sip, Action::viaNVRAM, true, Env::Recovery, File::none, {}, std::nullopt},
        MessageCase{"SIP single", Pane::sip, Action::viaNVRAM, true, Env::SingleUser, File::none, {}, std::nullopt},
        MessageCase{
            "SIP single rec", Pane::sip, Action::viaNVRAM, true, Env::SingleUserRecovery, File::none, {}, std::nullopt},
        MessageCase{"SIP file none",
                    Pane::sip,
                    Action::viaConfig,
                    false,
                    Env::Normal,
                    File::clover,
                    {},
                    alertOf(kQLSIPConfigVCNewSIPConfigNotExist)},
        MessageCase{"SIP saved",
                    Pane::sip,
                    Action::viaConfig,
                    true,
                    Env::Normal,
                    File::clover,
                    {},
                    messageOf(kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig)},
        MessageCase{"SIP chameleon",
                    Pane::sip,
                    Action::viaConfig,
                    true,
                    Env::Normal,
                    File::chameleon,
                    {},
                    messageOf(kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig)},
        MessageCase{"SIP unsaved",
                    Pane::sip,
                    Action::viaConfig,
                    true,
                    Env::Normal,
                    File::unsavable,
                    {},
                    alertOf(kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig)},
        MessageCase{"SIP no file",
                    Pane::sip,
                    Action::viaConfig,
                    true,
                    Env::Normal,
                    File::none,
                    {},
                    alertOf(kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig)},
        MessageCase{"booter none", Pane::booter, Action::viaNVRAM, false, Env::Normal, File::none, true,
                    alertOf(kQLBooterConfigVCNewBooterConfigNotExist)},
        MessageCase{"booter helper ok", Pane::booter, Action::viaNVRAM, true, Env::Normal, File::none, true,
                    messageOf(kQLBooterConfigVCBooterConfigAppliedViaNVRAM)},
        MessageCase{"booter helper failed", Pane::booter, Action::viaNVRAM, true, Env::Normal, File::none, false,
                    alertOf(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM)},
        MessageCase{"booter no helper", Pane::booter, Action::viaNVRAM, true, Env::Normal, File::none, std::nullopt,
                    alertOf(kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM)},
        MessageCase{"booter recovery", Pane::booter, Action::viaNVRAM, true, Env::Recovery, File::none, true,
                    std::nullopt},
        MessageCase{"booter unknown", Pane::booter, Action::viaNVRAM, true, Env::Unknown, File::none, true,
                    std::nullopt},
        MessageCase{"booter file none", Pane::booter, Action::viaConfig, false, Env::Normal, File::chameleon, true,
                    alertOf(kQLBooterConfigVCNewBooterConfigNotExist)},
        MessageCase{"booter chameleon", Pane::booter, Action::viaConfig, true, Env::Normal, File::chameleon, true,
                    alertOf(kQLBooterConfigVCBooterConfigNotSupportedByChameleon)},
        MessageCase{"booter saved", Pane::booter, Action::viaConfig, true, Env::Normal, File::clover, true,
                    messageOf(kQLBooterConfigVCNewBooterConfigSavedViaBootloaderConfig)},
        MessageCase{"booter unsaved", Pane::booter, Action::viaConfig, true, Env::Normal, File::unsavable, true,
                    alertOf(kQLBooterConfigVCNewBooterConfigFailedToSaveViaBootloaderConfig)}),
    [](const auto& row) {
      std::string name = row.param.situation;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// A failed write says why: the reason a write of this process met, or what this process can
// see of the helper's.
TEST_F(Panes, AFailedNVRAMWriteSaysWhy) {
  const struct {
    int error;
    QLLocalizedKey reason;
  } direct[] = {{EACCES, kQLMainAbstractRootlessVCNVRAMNotPermitted},
                {EPERM, kQLMainAbstractRootlessVCNVRAMNotPermitted},
                {ENOTSUP, kQLMainAbstractRootlessVCNVRAMUnsupported},
                {EROFS, kQLMainAbstractRootlessVCNVRAMReadOnly},
                {ENOSPC, kQLMainAbstractRootlessVCNVRAMFailed}};
  for (const auto& c : direct) {
    for (const bool sipPane : {true, false}) {
      SCOPED_TRACE(std::to_string(c.error) + (sipPane ? " SIP" : " booter"));
      RecordingView view;
      std::unique_ptr<QLMainAbstractRootlessPresenter> pane;
      if (sipPane)
        pane = std::make_unique<QLSIPConfigPresenter>(view, context(QLBootEnvironmentType::Recovery));
      else
        pane = std::make_unique<QLBooterConfigPresenter>(view, context(QLBootEnvironmentType::Recovery), nullptr);
      pane->actionButtonRootlessFlag(1, true);
      nvram_.failWrites(c.error);
      pane->applyViaNVRAM();
      nvram_.failWrites(0);
      ASSERT_EQ(view.messages.size(), 1u);
      EXPECT_EQ(view.messages[0].contents, sipPane ? kQLSIPConfigVCSIPConfigFailedToApplyViaNVRAM
                                                   : kQLBooterConfigVCBooterConfigFailedToApplyViaNVRAM);
      ASSERT_TRUE(view.messages[0].detail);
      EXPECT_EQ(view.messages[0].detail->key, c.reason);
    }
  }
  EXPECT_EQ(QLNVRAMWriteFailureReason(ENOSPC).english(), "The firmware refused the value (No space left on device).");

  // The helper's write: no firmware variables here, efivarfs read-only here, or its log.
  const auto helperFails = [](std::int64_t, std::function<void(bool)> reply) { reply(false); };
  const struct {
    bool supported;
    const char* mountInfo;
    QLLocalizedKey reason;
  } helper[] = {{false, "", kQLMainAbstractRootlessVCNVRAMUnsupported},
                {true, "30 1 0:30 / /sys/firmware/efi/efivars ro,nosuid - efivarfs efivarfs ro\n",
                 kQLMainAbstractRootlessVCNVRAMReadOnly},
                {true, "30 1 0:30 / /sys/firmware/efi/efivars rw,nosuid - efivarfs efivarfs rw\n",
                 kQLMainAbstractRootlessVCNVRAMHelperFailed}};
  for (const auto& c : helper) {
    SCOPED_TRACE(c.mountInfo);
    nvram_.setSupported(c.supported);
    auto made = context();
    made.mounts = [&] { return platform::parseMountInfo(c.mountInfo); };
    RecordingView view;
    QLBooterConfigPresenter booter(view, made, helperFails);
    booter.actionButtonRootlessFlag(1, true);
    booter.applyViaNVRAM();
    drainMain();
    ASSERT_EQ(view.messages.size(), 1u);
    ASSERT_TRUE(view.messages[0].detail);
    EXPECT_EQ(view.messages[0].detail->key, c.reason);
  }
  nvram_.setSupported(true);
  RecordingView view;
  QLBooterConfigPresenter unconnected(view, context(), nullptr);
  unconnected.actionButtonRootlessFlag(1, true);
  unconnected.applyViaNVRAM();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].detail->key, kQLMainAbstractRootlessVCNVRAMNoHelper);
}

// The chosen file's own word is shown beside the NVRAM one from the moment it is chosen, and
// follows what is saved into it.
TEST_F(Panes, TheChosenFilesOwnWordIsShown) {
  QLSIPConfigPresenter sip(view_, context());
  RecordingView booterView;
  QLBooterConfigPresenter booter(booterView, context(), nullptr);
  sip.viewDidAppear();
  EXPECT_FALSE(view_.word);

  const std::string openCore =
      file("config.plist",
           "<dict><key>Kernel</key><dict/><key>Misc</key><dict/><key>NVRAM</key><dict><key>Add</key><dict>"
           "<key>7C436110-AB2A-4BBB-A880-FE41995C9F82</key><dict><key>csr-active-config</key>"
           "<data>hwoAAA==</data></dict></dict></dict><key>PlatformInfo</key><dict/><key>UEFI</key><dict/></dict>");
  choose(sip, openCore);
  EXPECT_EQ(view_.image, "QLUIOpenCore");
  ASSERT_TRUE(view_.word);
  EXPECT_EQ(view_.word->text(), "config.plist: 0xa87 (2695)");
  booter.viewDidAppear();
  ASSERT_TRUE(booterView.word);
  EXPECT_EQ(booterView.word->text(), "config.plist: not set");

  sip.actionButtonRootlessFlag(3, true);  // 0x67 from NVRAM, and bit 3
  sip.applyViaConfig();
  EXPECT_EQ(view_.word->text(), "config.plist: 0x6f (111)");
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].contents, kQLSIPConfigVCNewSIPConfigSavedViaBootloaderConfig);
  ASSERT_TRUE(view_.messages[0].detail);
  EXPECT_EQ(view_.messages[0].detail->key, kQLMainAbstractRootlessVCPreviousFileKept);
  const std::string kept = dir_ / view_.messages[0].detail->arguments.at(0);
  EXPECT_NE(test::slurp(kept).find("hwoAAA=="), std::string::npos) << kept;

  // Chameleon has no booter word.
  choose(booter, file("Boot.plist",
                      "<dict><key>Timeout</key><string>3</string><key>CsrActiveConfig</key>"
                      "<string>103</string></dict>"));
  EXPECT_EQ(booterView.word->text(), "Boot.plist: not supported by this bootloader");
  sip.viewDidAppear();
  EXPECT_EQ(view_.word->text(), "Boot.plist: 0x67 (103)");
}

// A save that fails says why: the file's structure in the way, or the error of the write.
TEST_F(Panes, AFailedSaveSaysWhy) {
  QLSIPConfigPresenter sip(view_, context());
  sip.actionButtonRootlessFlag(0, true);
  const std::string inTheWay =
      file("config.plist",
           "<dict><key>Kernel</key><dict/><key>Misc</key><dict/><key>NVRAM</key><dict><key>Add</key><dict>"
           "</dict><key>Delete</key><string>x</string></dict><key>PlatformInfo</key><dict/><key>UEFI</key>"
           "<dict/></dict>");
  const std::string before = test::slurp(inTheWay);
  choose(sip, inTheWay);
  sip.applyViaConfig();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].contents, kQLSIPConfigVCNewSIPConfigFailedToSaveViaBootloaderConfig);
  ASSERT_TRUE(view_.messages[0].detail);
  EXPECT_EQ(view_.messages[0].detail->key, kQLMainAbstractRootlessVCFileInTheWay);
  EXPECT_EQ(test::slurp(inTheWay), before);

  choose(sip, file("Boot.plist", "<dict><key>Timeout</key><string>3</string></dict>"));
  std::filesystem::remove_all(dir_.path());
  sip.applyViaConfig();
  ASSERT_EQ(view_.messages.size(), 2u);
  ASSERT_TRUE(view_.messages[1].detail);
  EXPECT_EQ(view_.messages[1].detail->english(), "Boot.plist could not be written: No such file or directory.");
  EXPECT_EQ(view_.word->text(), "Boot.plist: not a readable value");
}

TEST_F(Panes, TheChooserSearchesThroughTheContext) {
  auto made = context();
  made.searchBootloaderConfigs = [] {
    QLBootloaderConfigSearchResult result;
    result.found.push_back({"/boot/efi/EFI/OC/config.plist", QLBootloaderConfigType::opencore});
    return result;
  };
  QLSIPConfigPresenter sip(view_, made);
  const auto panel = sip.selectBooterConfiguration();
  ASSERT_TRUE(panel.search);
  EXPECT_EQ(panel.search().found.at(0).path, "/boot/efi/EFI/OC/config.plist");
  EXPECT_FALSE(QLSIPConfigPresenter(view_, context()).selectBooterConfiguration().search);
}

TEST_F(Panes, TheSIPWordWrittenFromRecoveryIsTheEditedOne) {
  QLSIPConfigPresenter sip(view_, context(QLBootEnvironmentType::Recovery));
  sip.actionButtonRootlessFlag(8, true);
  sip.applyViaNVRAM();
  EXPECT_EQ(nvram_.read(platform::kAppleBootVariablesGuid, "csr-active-config"), (Bytes{0x67, 0x01, 0x00, 0x00}));
}

TEST_F(Panes, AHelperReplyAfterThePaneHasGoneIsDropped) {
  std::function<void(bool)> pending;
  auto pane = std::make_unique<QLBooterConfigPresenter>(
      view_, context(), [&](std::int64_t, std::function<void(bool)> reply) { pending = std::move(reply); });
  pane->actionButtonRootlessFlag(0, true);
  pane->applyViaNVRAM();
  ASSERT_TRUE(pending);
  pane.reset();
  pending(true);
  drainMain();
  EXPECT_TRUE(view_.messages.empty());
}

// Forked where it stands (gtest's default style): a re-executed child would make a folder of
// its own and die before removing it.
TEST_F(Panes, ATagOutsideTheNineBoxesEndsTheProcess) {
  QLSIPConfigPresenter sip(view_, context());
  QLBooterConfigPresenter booter(view_, context(), nullptr);
  // Diagnostics go to standard output; the death test reads standard error.
  EXPECT_DEATH(
      {
        platform::setLogSink(platform::LogSink::standardError);
        sip.actionButtonRootlessFlag(9, true);
      },
      "QLSIPConfigVC::actionButtonRootlessFlag: You should never reach at here.");
  EXPECT_DEATH(
      {
        platform::setLogSink(platform::LogSink::standardError);
        booter.actionButtonRootlessFlag(-1, true);
      },
      "QLBooterConfigVC::actionButtonRootlessFlag: You should never reach at here.");
}

}  // namespace
}  // namespace tarnix
