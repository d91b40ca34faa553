#pragma once
// What a pane hands to the detailed results window: a picture, a title, a description and the
// per-file results, one table row each in this order. Shared by the pane and the window.
#include <QString>
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"

namespace tarnix {

class QLDetailedRepresentableResult {
 public:
  // `image` names one of the application's images ("QLUIMain"); empty for none.
  QLDetailedRepresentableResult(QString image, QString title, QString description,
                                std::vector<QLRepairPermissionsRepresentableResult> results);

  QString image;
  QString title;
  QString description;
  std::vector<QLRepairPermissionsRepresentableResult> results;
};

}  // namespace tarnix
