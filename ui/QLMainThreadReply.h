#pragma once
// The helper answers on its connection's thread; widgets live on the GUI thread. This brings
// an answer there.
#include <QCoreApplication>
#include <QPointer>
#include <optional>
#include <utility>

#include "helper/protocol/QLXPCHelperProtocol.h"
#include "helper/protocol/QLXPCHelperRefusal.h"

namespace tarnix {

// A reply block that hands its value, and the refusal the helper told while the block ran
// (nothing when it did the work), to `then(value, refusal)` on the GUI thread, and only while
// `owner` lives. The hop goes through the application object, never through `owner`, which
// the GUI thread may be deleting meanwhile.
template <typename T, typename F>
QLReply<T> replyOnMainThread(QObject* owner, F then) {
  return [owner = QPointer<QObject>(owner), then = std::move(then)](T value) mutable {
    std::optional<QLXPCHelperRefusal> refusal = QLXPCHelperRefusal::current();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [owner, then, value = std::move(value), refusal = std::move(refusal)]() mutable {
          if (owner) then(std::move(value), std::move(refusal));
        },
        Qt::QueuedConnection);
  };
}

}  // namespace tarnix
