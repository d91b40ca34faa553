#pragma once
// Stands in for a pane this build does not have yet, under that pane's identifier.
#include "app/QLMainAbstractViewController.h"

namespace tarnix {

class QLPlaceholderViewController final : public QLMainAbstractViewController {
  Q_OBJECT
 public:
  QLPlaceholderViewController(const QString& identifier, const QString& title, QWidget* parent = nullptr);
};

}  // namespace tarnix
