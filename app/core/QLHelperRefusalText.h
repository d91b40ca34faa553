#pragma once
// What the applications tell the person when the helper refused a call (nothing was changed):
// that they are not authorized, or why the volume cannot be worked on and what to do about it.
#include <QString>

#include "helper/protocol/QLXPCHelperRefusal.h"

namespace tarnix {

// `mountPoint` is the volume the call named, if any.
QString QLHelperRefusalText(const QLXPCHelperRefusal& refusal, const QString& mountPoint = QString());

}  // namespace tarnix
