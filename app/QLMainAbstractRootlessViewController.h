#pragma once
// The widgets shared by the SIP and booter panes: the bootloader file (image button and path),
// nine flag check boxes in a box, the value line and the three buttons. The pane's presenter
// decides everything; this class only draws what it is told and forwards the user's clicks.
#include <QMessageBox>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>

#include "bootconfig/QLMainAbstractRootlessPresenter.h"
#include "bootconfig/QLRootlessPaneView.h"
#include "ui/QLMainAbstractViewController.h"

class QCheckBox;
class QGroupBox;

class QPushButton;

namespace tarnix {

class QLMainAbstractRootlessViewController : public QLMainAbstractViewController, public QLRootlessPaneView {
  Q_OBJECT
 public:
  explicit QLMainAbstractRootlessViewController(QWidget* parent = nullptr);
  ~QLMainAbstractRootlessViewController() override;

  QPushButton* outletButtonRefresh = nullptr;
  QPushButton* outletButtonApplyViaNVRAM = nullptr;
  QPushButton* outletButtonApplyViaConfig = nullptr;
  QGroupBox* boxRootlessStatus = nullptr;
  // By bit number; each carries its number as the "tag" property.
  std::array<QCheckBox*, 9> outletButtonRootlessFlags{};
  QLabel* outletFieldRootlessValue = nullptr;
  // The chosen bootloader file's own word, beside the value line; hidden until a file is chosen.
  QLabel* outletFieldBootloaderWord = nullptr;

  // The alert or message shown last, while it is open.
  QMessageBox* presentedMessage() const { return presentedMessage_; }

  // The shared managers and the detected boot environment, with the application's runners:
  // background work on the global thread pool, results queued to the GUI thread.
  static QLRootlessPaneContext defaultContext();

 public slots:
  void refresh();
  void applyViaNVRAM();
  void applyViaConfig();
  void selectBooterConfiguration();

 protected:
  // Subclasses make their presenter in their constructor, over `this` as its view.
  virtual QLMainAbstractRootlessPresenter& presenter() = 0;
  // Fills in the runners a caller left empty.
  static QLRootlessPaneContext withRunners(QLRootlessPaneContext context);

  void viewDidLoad() override;
  void showEvent(QShowEvent* event) override;

  // QLRootlessPaneView
  void showLocalizedOutlets(const QLRootlessPaneOutlets& outlets) override;
  void showFlags(const std::array<QLRootlessFlagBox, 9>& boxes) override;
  void showValueLine(const QLRootlessValueLine& line) override;
  void setApplyViaConfigEnabled(bool enabled) override;
  void showBootloaderConfig(const std::string& path, std::string_view image) override;
  void showBootloaderWord(const std::optional<QLBootloaderWordLine>& line) override;
  void startProgress() override;
  void stopProgress() override;
  void present(const QLRootlessMessage& message) override;

 private:
  QPointer<QMessageBox> presentedMessage_;
};

}  // namespace tarnix
