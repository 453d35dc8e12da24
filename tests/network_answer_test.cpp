// The Linux service's decisions, driven through a fake probe on a fake clock.
#include "platform/linux/network_answer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using platform::linux_os::AskNetwork;
using platform::linux_os::Clock;
using platform::linux_os::Echo;
using platform::linux_os::EchoOutcome;
using platform::linux_os::EchoWay;
using platform::linux_os::Reachability;

constexpr Clock::time_point kStart{};
constexpr std::uint32_t kMaxSpeed = 4294967295u;

struct SentEcho {
  EchoWay way;
  int payload;
  Clock::time_point deadline;
};

// Time passes only inside the probe's calls: a lookup or an echo that gets
// no answer lasts until its deadline.
class FakeProbe final : public platform::linux_os::NetworkProbe {
 public:
  Clock::time_point Now() override { return now; }

  std::vector<std::string> Resolve(const std::string& destination,
                                   Clock::time_point deadline) override {
    resolveDeadline = deadline;
    auto found = names.find(destination);
    if (found == names.end()) {
      now = deadline;
      return {};
    }
    now = std::min(now + resolveTime, deadline);
    return found->second;
  }

  std::optional<std::string> RouteInterface(const std::string& address) override {
    auto found = routes.find(address);
    if (found == routes.end()) return std::nullopt;
    return found->second;
  }

  std::int64_t LinkSpeed(const std::string& interface) override {
    return interface == "eth0" ? linkSpeed : 0;
  }

  Echo SendEcho(EchoWay way, const std::string& address, int payload,
                Clock::time_point deadline) override {
    echoes.push_back({way, payload, deadline});
    echoedAddresses.push_back(address);
    EchoOutcome outcome = WayOutcome(way);
    std::chrono::nanoseconds roundTrip = payload >= 1400 ? largeRoundTrip : smallRoundTrip;
    if (outcome == EchoOutcome::kReply && now + roundTrip <= deadline) {
      now += roundTrip;
      return {outcome, roundTrip};
    }
    if (outcome == EchoOutcome::kReply) outcome = EchoOutcome::kSilence;
    if (outcome == EchoOutcome::kSilence) now = deadline;
    return {outcome};
  }

  Clock::time_point now = kStart;
  std::map<std::string, std::vector<std::string>> names{{"192.0.2.1", {"192.0.2.1"}},
                                                        {"2001:db8::1", {"2001:db8::1"}}};
  std::map<std::string, std::string> routes{{"192.0.2.1", "eth0"}, {"2001:db8::1", "eth0"}};
  std::chrono::nanoseconds resolveTime = 0ns;
  std::map<EchoWay, EchoOutcome> ways;  // a way not listed is unavailable
  int silentEchoesFirst = 0;            // the usable way's first echoes go unanswered
  std::int64_t linkSpeed = 0;
  std::chrono::nanoseconds smallRoundTrip = 100us;
  std::chrono::nanoseconds largeRoundTrip = 110us;

  std::optional<Clock::time_point> resolveDeadline;
  std::vector<SentEcho> echoes;
  std::vector<std::string> echoedAddresses;

 private:
  EchoOutcome WayOutcome(EchoWay way) {
    auto found = ways.find(way);
    if (found == ways.end()) return EchoOutcome::kUnavailable;
    if (silentEchoesFirst > 0) {
      --silentEchoesFirst;
      return EchoOutcome::kSilence;
    }
    return found->second;
  }
};

std::vector<EchoWay> Ways(const std::vector<SentEcho>& echoes) {
  std::vector<EchoWay> ways;
  for (const SentEcho& echo : echoes) ways.push_back(echo.way);
  return ways;
}

TEST(AskNetwork, AnEmptyOrUnknownDestinationIsNotReachableAndSendsNothing) {
  for (const std::string destination : {"", "no.such.host"}) {
    FakeProbe probe;
    probe.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
    Reachability answer = AskNetwork(probe, destination, 5);
    EXPECT_FALSE(answer.reachable) << destination;
    EXPECT_TRUE(probe.echoes.empty()) << destination;
  }
}

TEST(AskNetwork, TheResolverGetsTwoSecondsAndAnEmptyTextNone) {
  FakeProbe probe;
  AskNetwork(probe, "slow.example", 5);
  EXPECT_EQ(probe.resolveDeadline, kStart + 2s);
  EXPECT_EQ(probe.now, kStart + 2s);

  FakeProbe untouched;
  AskNetwork(untouched, "", 5);
  EXPECT_FALSE(untouched.resolveDeadline.has_value());
}

TEST(AskNetwork, NoRouteIsNotReachableAtOnce) {
  FakeProbe probe;
  probe.routes.clear();
  probe.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
  EXPECT_FALSE(AskNetwork(probe, "192.0.2.1", 5).reachable);
  EXPECT_TRUE(probe.echoes.empty());
  EXPECT_EQ(probe.now, kStart);
}

TEST(AskNetwork, TheFirstRoutedAddressOfANameIsAsked) {
  FakeProbe probe;
  probe.names["server.example"] = {"198.51.100.9", "192.0.2.1"};
  probe.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
  EXPECT_TRUE(AskNetwork(probe, "server.example", 5).reachable);
  EXPECT_EQ(probe.echoedAddresses.front(), "192.0.2.1");
}

TEST(AskNetwork, EchoWaysAreTriedInOrderUntilOneCanBeUsed) {
  struct Case {
    std::map<EchoWay, EchoOutcome> ways;
    EchoOutcome outcome;  // of the usable way
    bool reachable;
    std::vector<EchoWay> tried;
  };
  const auto ping = EchoWay::kPingSocket, raw = EchoWay::kRawSocket,
             program = EchoWay::kPingProgram;
  const auto reply = EchoOutcome::kReply, error = EchoOutcome::kError;
  const Case cases[] = {
      {{{ping, reply}}, reply, true, {ping}},
      {{{raw, reply}}, reply, true, {ping, raw}},
      {{{program, reply}}, reply, true, {ping, raw, program}},
      // An ICMP error is an answer: no second attempt.
      {{{raw, error}}, error, false, {ping, raw}},
      {{{program, error}}, error, false, {ping, raw, program}},
      // No way to echo at all: the route is the answer.
      {{}, EchoOutcome::kUnavailable, true, {ping, raw, program}},
  };
  for (const Case& c : cases) {
    FakeProbe probe;
    probe.ways = c.ways;
    probe.linkSpeed = 1000;  // no timing echoes, so `tried` is the whole story
    Reachability answer = AskNetwork(probe, "192.0.2.1", 5);
    EXPECT_EQ(answer.reachable, c.reachable) << c.tried.size();
    EXPECT_EQ(Ways(probe.echoes), c.tried) << c.tried.size();
  }
}

TEST(AskNetwork, SilenceIsTriedThreeTimesASecondEach) {
  FakeProbe probe;
  probe.ways = {{EchoWay::kRawSocket, EchoOutcome::kSilence}};
  EXPECT_FALSE(AskNetwork(probe, "192.0.2.1", 5).reachable);
  std::vector<EchoWay> tried{EchoWay::kPingSocket, EchoWay::kRawSocket, EchoWay::kRawSocket,
                             EchoWay::kRawSocket};
  EXPECT_EQ(Ways(probe.echoes), tried);
  EXPECT_EQ(probe.echoes[1].deadline, kStart + 1s);
  EXPECT_EQ(probe.now, kStart + 3s);

  FakeProbe lateReply;
  lateReply.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
  lateReply.silentEchoesFirst = 2;
  lateReply.linkSpeed = 1000;
  EXPECT_TRUE(AskNetwork(lateReply, "192.0.2.1", 5).reachable);
  EXPECT_EQ(lateReply.echoes.size(), 3u);
}

TEST(AskNetwork, EverythingEndsWithinFiveSeconds) {
  FakeProbe probe;
  probe.names["slow.example"] = {"192.0.2.1"};
  probe.resolveTime = 2s;
  probe.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
  probe.silentEchoesFirst = 2;
  probe.smallRoundTrip = 900ms;
  probe.largeRoundTrip = 950ms;
  Reachability answer = AskNetwork(probe, "slow.example", 5);
  // Replied at 4.9 s; the timing echoes then ran out of time.
  EXPECT_TRUE(answer.reachable);
  EXPECT_EQ(answer.bytesPerSecond, 0u);
  for (const SentEcho& echo : probe.echoes) EXPECT_LE(echo.deadline, kStart + 5s);
  EXPECT_EQ(probe.now, kStart + 5s);
}

TEST(AskNetwork, ThePayloadIsTheDataSizeClampedToTheFamily) {
  struct Case {
    std::string address;
    std::int32_t dataSize;
    int payload;
  };
  const Case cases[] = {
      {"192.0.2.1", 5, 5},
      {"192.0.2.1", -1, 0},
      {"192.0.2.1", 2147483647, 65507},
      {"2001:db8::1", 2147483647, 65527},
      {"2001:db8::1", 0, 0},
  };
  for (const Case& c : cases) {
    FakeProbe probe;
    probe.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
    probe.linkSpeed = 1000;
    AskNetwork(probe, c.address, c.dataSize);
    ASSERT_FALSE(probe.echoes.empty());
    EXPECT_EQ(probe.echoes[0].payload, c.payload) << c.address << " " << c.dataSize;
  }
}

TEST(AskNetwork, TheSpeedIsTheLinkSpeedElseAnEstimateFromRoundTrips) {
  struct Case {
    std::string what;
    std::int64_t linkSpeed;  // Mbit/s
    std::chrono::nanoseconds small, large;
    std::uint32_t bytesPerSecond;
  };
  const Case cases[] = {
      {"a gigabit link", 1000, 0ns, 0ns, 125000000},
      {"100 Gbit/s, capped", 100000, 0ns, 0ns, kMaxSpeed},
      {"2688 extra bytes in 10 us", 0, 100us, 110us, 268800000},
      {"a difference lost in noise", 0, 100us, 100us, kMaxSpeed},
      {"no round trip measured", 0, 0ns, 0ns, 0},
  };
  for (const Case& c : cases) {
    FakeProbe probe;
    probe.ways = {{EchoWay::kRawSocket, EchoOutcome::kReply}};
    probe.linkSpeed = c.linkSpeed;
    probe.smallRoundTrip = c.small;
    probe.largeRoundTrip = c.large;
    Reachability answer = AskNetwork(probe, "192.0.2.1", 5);
    EXPECT_TRUE(answer.reachable) << c.what;
    EXPECT_EQ(answer.bytesPerSecond, c.bytesPerSecond) << c.what;
  }
}

TEST(AskNetwork, TheEstimateTakesTheFastestOfThreeOfEachSize) {
  FakeProbe probe;
  probe.ways = {{EchoWay::kPingSocket, EchoOutcome::kReply}};
  AskNetwork(probe, "192.0.2.1", 5);
  std::vector<int> payloads;
  for (const SentEcho& echo : probe.echoes) payloads.push_back(echo.payload);
  EXPECT_EQ(payloads, (std::vector<int>{5, 56, 56, 56, 1400, 1400, 1400}));
}

TEST(AskNetwork, WithoutAnEchoTheRouteAnswersWithTheLinkSpeedOrZero) {
  for (std::int64_t linkSpeed : {0, 10}) {
    FakeProbe probe;
    probe.linkSpeed = linkSpeed;
    Reachability answer = AskNetwork(probe, "192.0.2.1", 5);
    EXPECT_TRUE(answer.reachable);
    EXPECT_EQ(answer.bytesPerSecond, linkSpeed * 125000u);
  }
}

}  // namespace
