#pragma once
// The About pane: version, maker, compatibility, a close button and the maker's web page.
#include "ui/QLMainAbstractViewController.h"

class QPushButton;

namespace tarnix {

class QLMainAboutViewController final : public QLMainAbstractViewController {
  Q_OBJECT
 public:
  static constexpr const char* kIdentifier = "QLSBIDAbout";
  static constexpr const char* kMakerWebPage = "https://quillon.pl/";

  explicit QLMainAboutViewController(QWidget* parent = nullptr);

  QLabel* outletFieldVersion = nullptr;
  QLabel* outletFieldDeveloper = nullptr;
  QLabel* outletFieldCompatibility = nullptr;
  QPushButton* outletButtonClose = nullptr;
  QPushButton* outletButtonVisitWebPage = nullptr;

 protected:
  void viewDidLoad() override;
};

}  // namespace tarnix
