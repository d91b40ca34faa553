// The real daemon fed what a hostile local client would send: frames built to blow up the
// parser, text built to forge lines of the daemon's log, connections that stall, floods of
// calls, output nobody reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>

#include <atomic>
#include <iostream>
#include <sstream>
#include <thread>

#include "BinaryPlist.h"
#include "HelperHarness.h"
#include "SystemHarness.h"
#include "cli/SampleVolume.h"
#include "helper/QLHelperWorkQueue.h"
#include "helper/protocol/QLWireCalls.h"

namespace tarnix {
namespace {

using test::HelperDaemon;
using test::RawClient;

std::string callFrame(std::uint64_t id, std::string_view selector, platform::Plist arguments) {
  return wire::frame(wire::encodeMessage(wire::Kind::call, id, selector, std::move(arguments)));
}

// `test:` on a fresh connection, as any client would ask it.
std::optional<std::int64_t> askTest(const HelperDaemon& daemon) {
  RawClient client(daemon.socket());
  client.send(callFrame(1, "test:", wire::pack()));
  const auto body = client.readFrame();
  if (!body) return std::nullopt;
  const auto reply = wire::decodeMessage(*body, wire::kMaxReplyFrame);
  if (!reply) return std::nullopt;
  const auto value = wire::unpack<std::int64_t>(reply->arguments);
  return value ? std::optional(std::get<0>(*value)) : std::nullopt;
}

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(daemon.started()) << daemon.log(); }
  std::optional<QLOSVolume> sampleVolume(std::size_t files) {
    const std::string path = daemon.dir() / "volume";
    cli::SampleVolumeSummary summary;
    std::string error;
    EXPECT_TRUE(cli::makeSampleVolume({path, files}, summary, error)) << error;
    return QLOSVolume::initWithMountPoint(path);
  }
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
    const long before = daemon.status("VmHWM");
    RawClient attacker(daemon.socket());
    ASSERT_TRUE(attacker.connected()) << name;
    const auto start = std::chrono::steady_clock::now();
    attacker.send(wire::frame(body));
    const auto received = attacker.readUntilClosed();
    const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(received) << name << ": the daemon kept the connection open";
    EXPECT_TRUE(received->empty()) << name;
    EXPECT_EQ(askTest(daemon), 1234567890) << name;
    const long grown = daemon.status("VmHWM") - before;
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
  client.send(callFrame(1, "rebuildCachesOnTargetVolume:reply:", wire::pack(volume)));
  ASSERT_TRUE(test::waitFor([&] { return daemon.logContains("/nowhere\\nQLXPCHelperListener::run() FORGED\\r"); }))
      << daemon.log();
  std::istringstream lines(daemon.log());
  for (std::string line; std::getline(lines, line);) {
    EXPECT_NE(line.rfind("QLXPCHelperListener::run() FORGED", 0), 0u) << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << line;
  }
}

// Runs `body` in a child process as uid and gid 65534 (nobody), which writes its lines to
// `report`; the child's pid.
pid_t forkAsNobody(const std::function<void(int report)>& body, int report) {
  const pid_t child = ::fork();
  if (child != 0) return child;
  const gid_t nobody = 65534;
  if (::setgroups(1, &nobody) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(126);
  body(report);
  ::_exit(0);
}

std::string readLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// Unchecked, 64 connections that each announced a frame and sent one byte held every slot of
// the daemon for as long as they liked: root's own calls were refused.
TEST_F(HostileInput, StalledConnectionsOfOneUserLockOutNobody) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as two users";
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  const std::string socket = daemon.socket();
  const pid_t attacker = forkAsNobody(
      [&socket](int report) {
        std::vector<std::unique_ptr<RawClient>> stalled;
        std::string header = wire::frame(std::string(1u << 20, 'x')).substr(0, 5);  // 1 MiB announced, 1 byte sent
        for (int i = 0; i < 64; ++i) {
          stalled.push_back(std::make_unique<RawClient>(socket));
          stalled.back()->send(header);
        }
        (void)!::write(report, "stalled\n", 8);
        const auto start = std::chrono::steady_clock::now();
        int closed = 0;
        for (auto& client : stalled) closed += client->readUntilClosed(30000).has_value();
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        const std::string line = std::to_string(closed) + " " + std::to_string(took.count()) + "\n";
        (void)!::write(report, line.data(), line.size());
      },
      fds[1]);
  ::close(fds[1]);
  ASSERT_EQ(readLine(fds[0]), "stalled");

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(askTest(daemon), 1234567890);
  const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  // Milliseconds in practice (printed below); the limit leaves room for a loaded machine.
  EXPECT_LT(took, 5000) << "root waited for the stalled connections";
  // Another ordinary user is not locked out either.
  EXPECT_EQ(test::askHelperAs(1, 1, socket, {"test"}), "1234567890 -");

  // Every stalled connection is closed: refused at once beyond the user's share, the others
  // once their frame is overdue.
  std::istringstream report(readLine(fds[0]));
  ::close(fds[0]);
  int closed = 0;
  long closing = 0;
  report >> closed >> closing;
  ASSERT_EQ(::waitpid(attacker, nullptr, 0), attacker);
  EXPECT_EQ(closed, 64);
  EXPECT_LT(closing, 15000);
  EXPECT_TRUE(daemon.logContains("that user has too many connections"));
  std::cout << "root's test: answered in " << took << " ms beside 64 stalled connections of one user; all " << closed
            << " closed within " << closing << " ms\n";
}

TEST_F(HostileInput, SilentAndStalledConnectionsEndButAQuietClientStays) {
  RawClient silent(daemon.socket());
  RawClient quiet(daemon.socket()), stalling(daemon.socket());
  for (auto* client : {&quiet, &stalling}) {
    client->send(callFrame(1, "test:", wire::pack()));
    ASSERT_TRUE(client->readFrame());
  }
  const auto start = std::chrono::steady_clock::now();
  stalling.send(std::string(2, '\0'));  // half a frame's header, after a valid frame

  EXPECT_EQ(silent.readUntilClosed(30000), "") << "a connection that never sends a frame is closed";
  EXPECT_EQ(stalling.readUntilClosed(30000), "") << "a frame that never completes is closed";
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::seconds(4));
  EXPECT_LT(took, std::chrono::seconds(15));
  for (const char* reason : {"no valid frame within 5 s of connecting", "a frame did not arrive whole within 5 s"})
    EXPECT_TRUE(test::waitFor([&] { return daemon.logContains(reason); })) << reason;
  // Past both limits, an application's connection that is merely quiet between calls is served.
  std::this_thread::sleep_until(start + std::chrono::seconds(6));
  quiet.send(callFrame(2, "test:", wire::pack()));
  EXPECT_TRUE(quiet.readFrame());
}

// A client that pipelines calls and never reads their replies is dropped before its replies
// take more than the daemon's limit of memory.
TEST_F(HostileInput, AClientThatNeverReadsIsDropped) {
  const long before = daemon.status("VmHWM");
  RawClient flood(daemon.socket());
  const timeval patience{10, 0};  // a daemon that stopped reading without closing fails the test, not hangs it
  ::setsockopt(flood.fd(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  std::string burst;
  for (std::uint64_t id = 1; id <= 1000; ++id) burst += callFrame(id, "getVersion:", wire::pack());
  std::size_t sent = 0;
  const auto start = std::chrono::steady_clock::now();
  while (sent < (1ull << 30) && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    const ssize_t written = ::send(flood.fd(), burst.data(), burst.size(), MSG_NOSIGNAL);
    if (written < 0) break;  // the daemon closed the connection
    sent += static_cast<std::size_t>(written);
  }
  const long grown = daemon.status("VmHWM") - before;
  // Beyond its share of memory, or (on a slow machine, before that) after 30 s of reading nothing.
  EXPECT_TRUE(test::waitFor([&] {
    return daemon.logContains("bytes unread") || daemon.logContains("the peer read nothing for 30 s");
  })) << daemon.log();
  if (!test::kSanitized) {
    EXPECT_LT(grown, 200 * 1024) << "kB";
  }
  EXPECT_EQ(askTest(daemon), 1234567890);
  std::cout << "a client that never read was dropped after sending " << sent / 1024 << " kB of calls; peak memory +"
            << grown << " kB\n";
}

// A client that asks for a repair's results in parts, then floods calls and reads nothing: the
// repair, waiting for the client to read, must not outlive the connection nor hold the user's
// share of the pool.
TEST_F(HostileInput, AClientThatAsksForPartsAndReadsNothingHoldsNothingUp) {
  const auto volume = sampleVolume(30000);
  ASSERT_TRUE(volume);
  const auto repairFrame = [&](std::uint64_t id, bool parts) {
    return wire::frame(wire::encodeMessage(
        wire::Kind::call, id, "repairDiskPermissionsOnTargetVolume:reply:", wire::pack(*volume), std::nullopt, parts));
  };

  RawClient flood(daemon.socket());
  const timeval patience{10, 0};
  ::setsockopt(flood.fd(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  flood.send(repairFrame(1, true));
  std::string burst;
  for (std::uint64_t id = 2; id <= 1000; ++id) burst += callFrame(id, "getVersion:", wire::pack());
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    if (::send(flood.fd(), burst.data(), burst.size(), MSG_NOSIGNAL) < 0) break;  // dropped
  }
  EXPECT_TRUE(test::waitFor([&] {
    return daemon.logContains("bytes unread") || daemon.logContains("the peer read nothing for 30 s");
  })) << daemon.log();
  EXPECT_EQ(askTest(daemon), 1234567890);

  // The same user's next repair runs and is answered: nothing of the first is left waiting.
  RawClient next(daemon.socket());
  next.send(repairFrame(1, false));
  std::optional<wire::Message> reply;
  while (!reply || reply->kind != wire::Kind::reply) {  // progress comes first
    const auto body = next.readFrame(120000);
    ASSERT_TRUE(body) << daemon.log();
    reply = wire::decodeMessage(*body, wire::kMaxReplyFrame);
    ASSERT_TRUE(reply);
  }
  EXPECT_FALSE(reply->refusal);
  // The first repair ran to its end though nobody took its results: this one finds it done.
  EXPECT_TRUE(wire::unpack<std::vector<QLRepairPermissionsRepresentableResult>>(reply->arguments)) << daemon.log();
}

// Each call once started a thread of its own, and replies queued without bound: 300 pipelined
// repairs made 601 threads and took 5 GB more.
TEST_F(HostileInput, PipelinedRepairsKeepThreadsAndMemoryBounded) {
  const auto volume = sampleVolume(300);
  ASSERT_TRUE(volume);

  const long memoryBefore = daemon.status("VmHWM");
  std::atomic<bool> done = false;
  std::atomic<long> mostThreads = 0;
  std::thread sampler([&] {
    while (!done) {
      mostThreads = std::max(mostThreads.load(), daemon.status("Threads"));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  RawClient client(daemon.socket());
  std::string calls;
  for (std::uint64_t id = 1; id <= 300; ++id)
    calls += callFrame(id, "repairDiskPermissionsOnTargetVolume:reply:", wire::pack(*volume));
  client.send(calls);
  int replies = 0;
  for (; replies < 300; ++replies) {
    const auto body = client.readFrame();
    if (!body || !wire::decodeMessage(*body, wire::kMaxReplyFrame)) break;
  }
  done = true;
  sampler.join();
  const long grown = daemon.status("VmHWM") - memoryBefore;

  EXPECT_EQ(replies, 300) << "every call is answered";
  int refused = 0;
  const std::string log = daemon.log();
  for (auto at = log.find("operations waiting already"); at != std::string::npos;
       at = log.find("operations waiting already", at + 1))
    ++refused;
  const QLHelperWorkQueue::Limits pool;
  const int repaired = 300 - refused;
  EXPECT_GE(repaired, static_cast<int>(pool.runningPerUser + pool.waitingPerUser));
  EXPECT_GT(refused, 0);
  // The loop, the pool, and each running repair's own workers (one per processor at most).
  const long processors = static_cast<long>(std::thread::hardware_concurrency());
  const long bound = 1 + pool.workers + pool.workers * processors + 2;
  EXPECT_LE(mostThreads.load(), bound);
  if (!test::kSanitized) {
    EXPECT_LT(grown, 100 * 1024) << "kB";
  }
  std::cout << "300 pipelined repairs: " << repaired << " run, the rest refused at once; at most " << mostThreads.load()
            << " threads (bound " << bound << "), peak memory +" << grown << " kB\n";
}

}  // namespace
}  // namespace tarnix
