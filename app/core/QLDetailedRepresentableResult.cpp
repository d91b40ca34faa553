#include "app/core/QLDetailedRepresentableResult.h"

namespace tarnix {

QLDetailedRepresentableResult::QLDetailedRepresentableResult(QString imageName, QString titleText,
                                                             QString descriptionText,
                                                             std::vector<QLRepairPermissionsRepresentableResult> rows)
    : image(std::move(imageName)),
      title(std::move(titleText)),
      description(std::move(descriptionText)),
      results(std::move(rows)) {}

}  // namespace tarnix
