// The Windows network-awareness service with SENSAPI stood in for, and its
// echo, sent only to loopback.
#include "platform/win32/network_awareness.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// SENSAPI's IsDestinationReachableA stand-ins: the record each last saw, and
// how each answers.
platform::QOCINFO seenRecord;
std::string seenDestination;

BOOL WINAPI ReachableFast(LPCSTR destination, platform::QOCINFO* record) {
  seenDestination = destination;
  seenRecord = *record;
  record->dwInSpeed = 10 * 1024;
  record->dwOutSpeed = 2 * 1024;
  return TRUE;
}

BOOL WINAPI NotImplemented(LPCSTR destination, platform::QOCINFO* record) {
  seenDestination = destination;
  seenRecord = *record;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

BOOL WINAPI Unreachable(LPCSTR, platform::QOCINFO*) {
  SetLastError(ERROR_HOST_UNREACHABLE);
  return FALSE;
}

platform::win32::LookUpFunction Found(platform::win32::IsDestinationReachableFunction function) {
  return [function](platform::win32::IsDestinationReachableFunction& found) {
    found = function;
    return platform::Status::Ok();
  };
}

TEST(NetworkAwareness, PassesTheRecordAsFilledAndReadsTheSpeeds) {
  platform::win32::Win32NetworkAwareness service(Found(ReachableFast));
  platform::QOCINFO record{5, 0, 0, 0};
  bool reachable = false;

  ASSERT_TRUE(service.IsDestinationReachable("server.example", record, reachable).ok());

  EXPECT_TRUE(reachable);
  EXPECT_EQ(seenDestination, "server.example");
  EXPECT_EQ(seenRecord.dwSize, 5u);
  EXPECT_EQ(seenRecord.dwFlags, 0u);
  EXPECT_EQ(record.dwInSpeed, 10u * 1024);
  EXPECT_EQ(record.dwOutSpeed, 2u * 1024);
}

TEST(NetworkAwareness, AnyOtherRefusalIsUnreachable) {
  platform::win32::Win32NetworkAwareness service(Found(Unreachable));
  platform::QOCINFO record{5, 0, 0, 0};
  bool reachable = true;
  ASSERT_TRUE(service.IsDestinationReachable("127.0.0.1", record, reachable).ok());
  EXPECT_FALSE(reachable);
}

TEST(NetworkAwareness, FallsBackToAnEchoWhereSensapiIsNotImplemented) {
  platform::win32::Win32NetworkAwareness service(Found(NotImplemented));
  struct Case {
    std::string destination;
    bool reachable;
  };
  const Case cases[] = {
      {"127.0.0.1", true},
      {"localhost", true},
      {"", false},
      {"no such host.invalid", false},
  };
  for (const Case& c : cases) {
    platform::QOCINFO record{64, 0, 0, 0};
    bool reachable = !c.reachable;
    ASSERT_TRUE(service.IsDestinationReachable(c.destination, record, reachable).ok());
    EXPECT_EQ(reachable, c.reachable) << c.destination;
    EXPECT_EQ(seenDestination, c.destination);
  }
}

TEST(NetworkAwareness, AMissingServiceIsAFailureAskedAgainNextTime) {
  int lookUps = 0;
  platform::win32::Win32NetworkAwareness service(
      [&lookUps](platform::win32::IsDestinationReachableFunction&) {
        ++lookUps;
        return platform::Status::Failure("SENSAPI.DLL: gone");
      });
  platform::QOCINFO record{5, 0, 0, 0};
  bool reachable = false;
  for (int i = 0; i < 2; ++i) {
    platform::Status asked = service.IsDestinationReachable("127.0.0.1", record, reachable);
    ASSERT_FALSE(asked.ok());
    EXPECT_EQ(asked.message(), "SENSAPI.DLL: gone");
  }
  EXPECT_EQ(lookUps, 2);
}

TEST(NetworkAwareness, TheSystemServiceLoadsAndAnswers) {
  platform::QOCINFO record{5, 0, 0, 0};
  bool reachable = false;
  EXPECT_TRUE(platform::SystemNetworkAwareness()
                  .IsDestinationReachable("127.0.0.1", record, reachable)
                  .ok());
  EXPECT_TRUE(reachable);
}

}  // namespace
