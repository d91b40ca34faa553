#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLXPCHelperContextProxy.h"
#include "helper/protocol/QLXPCHelperContextStub.h"

namespace tarnix {
namespace {

// The protocol's one message: small enough to need no table.
constexpr std::string_view kUpdateWithNewContext = "updateWithNewContext:";

}  // namespace

void QLXPCHelperContextProxy::updateWithNewContext(QLXPCHelperContext context) {
  sender_.sendOneway(kUpdateWithNewContext, wire::pack(context));
}

bool QLXPCHelperContextStub::dispatch(const wire::Message& message) {
  if (message.kind != wire::Kind::oneway || message.selector != kUpdateWithNewContext) return false;
  auto values = wire::unpack<QLXPCHelperContext>(message.arguments);
  if (!values) return false;
  exported_.updateWithNewContext(std::move(std::get<0>(*values)));
  return true;
}

}  // namespace tarnix
