// The real daemon fed what a hostile local client would send: frames built to blow up the
// parser, and text built to forge lines of the daemon's log.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "BinaryPlist.h"
#include "HelperHarness.h"
#include "helper/protocol/QLWireCalls.h"

namespace tarnix {
namespace {

using test::HelperDaemon;
using test::RawClient;

// A figure of /proc/PID/status, in kB.
long statusKilobytes(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// `test:` on a fresh connection, as any client would ask it.
std::optional<std::int64_t> askTest(const HelperDaemon& daemon) {
  RawClient client(daemon.socket());
  client.send(wire::frame(wire::encodeMessage(wire::Kind::call, 1, "test:", wire::pack())));
  const auto body = client.readFrame();
  if (!body) return std::nullopt;
  const auto reply = wire::decodeMessage(*body, wire::kMaxReplyFrame);
  if (!reply) return std::nullopt;
  const auto value = wire::unpack<std::int64_t>(reply->arguments.get());
  return value ? std::optional(std::get<0>(*value)) : std::nullopt;
}

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(daemon.started()) << daemon.log(); }
  HelperDaemon daemon;
};

// Unchecked, the first made libplist build 2^25 nodes (2 GB) and the second overflowed its stack.
TEST_F(HostileInput, FramesThatWouldExplodeAreRefusedAndTheDaemonCarriesOn) {
  const std::tuple<const char*, std::string, const char*> frames[] = {
      {"doubling", test::doublingPlist(24), "values once expanded"},
      {"deep", test::deepPlist(120000), "nested deeper than"},
  };
  for (const auto& [name, body, logged] : frames) {
    ASSERT_LE(body.size(), wire::kMaxRequestFrame) << name;
    const long before = statusKilobytes(daemon.pid(), "VmHWM");
    RawClient attacker(daemon.socket());
    ASSERT_TRUE(attacker.connected()) << name;
    const auto start = std::chrono::steady_clock::now();
    attacker.send(wire::frame(body));
    const auto received = attacker.readUntilClosed();
    const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(received) << name << ": the daemon kept the connection open";
    EXPECT_TRUE(received->empty()) << name;
    EXPECT_EQ(askTest(daemon), 1234567890) << name;
    const long grown = statusKilobytes(daemon.pid(), "VmHWM") - before;
    EXPECT_LT(grown, 50 * 1024) << name << ": the daemon's peak memory grew by " << grown << " kB";
    EXPECT_TRUE(test::waitFor([&] { return daemon.logContains(logged); })) << name << "\n" << daemon.log();
    std::cout << name << ": " << body.size() << "-byte frame refused in " << took << " ms, peak memory +" << grown
              << " kB\n";
  }
}

TEST_F(HostileInput, AVolumePathCannotForgeALogLine) {
  const auto volume = QLOSVolume::fromArchive("/nowhere\nQLXPCHelperListener::run() FORGED\r",
                                              QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65"));
  RawClient client(daemon.socket());
  client.send(wire::frame(wire::encodeMessage(wire::Kind::call, 1, "rebuildCachesOnTargetVolume:reply:",
                                              wire::pack(volume))));
  ASSERT_TRUE(test::waitFor([&] { return daemon.logContains("/nowhere\\nQLXPCHelperListener::run() FORGED\\r"); }))
      << daemon.log();
  std::istringstream lines(daemon.log());
  for (std::string line; std::getline(lines, line);) {
    EXPECT_NE(line.rfind("QLXPCHelperListener::run() FORGED", 0), 0u) << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace tarnix
