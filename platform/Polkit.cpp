#include "platform/Polkit.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>

#include "platform/Log.h"

namespace tarnix::platform {
namespace {

constexpr std::uint32_t kAllowUserInteraction = 1;
// A person typing a password takes long; a dialog left open longer counts as a refusal.
constexpr std::uint64_t kAnswerTimeoutMicroseconds = 10ull * 60 * 1000 * 1000;

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageDeleter {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

// The subject: a "unix-process" with the pid, its start time and its uid, so that polkit
// checks the process that connected and not whatever holds its pid now; its pidfd too where
// the kernel gave one.
int appendSubject(sd_bus_message* call, const PeerCredentials& peer) {
  int rc = sd_bus_message_open_container(call, 'r', "sa{sv}");
  if (rc >= 0) rc = sd_bus_message_append(call, "s", "unix-process");
  if (rc >= 0) rc = sd_bus_message_open_container(call, 'a', "{sv}");
  if (rc >= 0) rc = sd_bus_message_append(call, "{sv}", "pid", "u", static_cast<std::uint32_t>(peer.pid));
  if (rc >= 0) rc = sd_bus_message_append(call, "{sv}", "start-time", "t", peer.startTime);
  if (rc >= 0) rc = sd_bus_message_append(call, "{sv}", "uid", "i", static_cast<std::int32_t>(peer.uid));
  if (rc >= 0 && peer.process) rc = sd_bus_message_append(call, "{sv}", "pidfd", "h", peer.process->fd());
  if (rc >= 0) rc = sd_bus_message_close_container(call);
  if (rc >= 0) rc = sd_bus_message_close_container(call);
  return rc;
}

}  // namespace

PolkitAnswer checkPolkitAuthorization(const PeerCredentials& peer, const std::string& actionId) {
  if (peer.pid <= 0 || peer.startTime == 0) {
    diagnostic("QLPolkit::checkAuthorization()", "Error: the caller's process cannot be identified.");
    return PolkitAnswer::unavailable;
  }
  sd_bus* opened = nullptr;
  int rc = sd_bus_open_system(&opened);
  Bus bus(opened);
  sd_bus_message* made = nullptr;
  if (rc >= 0)
    rc = sd_bus_message_new_method_call(bus.get(), &made, "org.freedesktop.PolicyKit1",
                                        "/org/freedesktop/PolicyKit1/Authority", "org.freedesktop.PolicyKit1.Authority",
                                        "CheckAuthorization");
  Message call(made);
  if (rc >= 0) rc = appendSubject(call.get(), peer);
  if (rc >= 0) rc = sd_bus_message_append(call.get(), "s", actionId.c_str());
  if (rc >= 0) rc = sd_bus_message_append(call.get(), "a{ss}", 0);
  if (rc >= 0) rc = sd_bus_message_append(call.get(), "us", kAllowUserInteraction, "");
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* answered = nullptr;
  if (rc >= 0) rc = sd_bus_call(bus.get(), call.get(), kAnswerTimeoutMicroseconds, &error, &answered);
  Message reply(answered);
  int authorized = 0, challenge = 0;
  if (rc >= 0) rc = sd_bus_message_enter_container(reply.get(), 'r', "bba{ss}");
  if (rc >= 0) rc = sd_bus_message_read(reply.get(), "bb", &authorized, &challenge);
  if (rc < 0) {
    diagnostic("QLPolkit::checkAuthorization()", std::string("Error: polkit did not answer: ") +
                                                     (error.message ? error.message
                                                      : error.name  ? error.name
                                                                    : "no system bus or a malformed answer") +
                                                     ".");
    sd_bus_error_free(&error);
    return PolkitAnswer::unavailable;
  }
  sd_bus_error_free(&error);
  return authorized ? PolkitAnswer::authorized : PolkitAnswer::notAuthorized;
}

}  // namespace tarnix::platform
