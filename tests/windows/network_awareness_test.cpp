// The Windows network-awareness service: which answer counts, with SENSAPI,
// Wine and the echo stood in for; then the real echo, sent only to loopback,
// and its name resolution, bounded.
#include "platform/win32/network_awareness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/icmp_echo.h"

namespace {

using namespace std::chrono_literals;
using platform::QOCINFO;
using platform::Status;
using platform::win32::Host;
using platform::win32::IsDestinationReachableFunction;
using platform::win32::Win32NetworkAwareness;

// What the stand-ins were asked, in order, and what they saw.
std::vector<std::string> asked;
std::string sensapiDestination;
QOCINFO sensapiRecord;
QOCINFO echoRecord;

// How the stand-in SENSAPI answers: its result and its last error.
BOOL sensapiResult;
DWORD sensapiLastError;

BOOL WINAPI StandInSensapi(LPCSTR destination, QOCINFO* record) {
  asked.push_back("SENSAPI");
  sensapiDestination = destination;
  sensapiRecord = *record;
  // Written whatever the result: only an answer that counts may keep them.
  record->dwInSpeed = 10 * 1024;
  record->dwOutSpeed = 2 * 1024;
  SetLastError(sensapiLastError);
  return sensapiResult;
}

platform::win32::LookUpFunction Found(IsDestinationReachableFunction function) {
  return [function](IsDestinationReachableFunction& found) {
    found = function;
    return Status::Ok();
  };
}

platform::win32::LookUpFunction Missing(int& lookUps) {
  return [&lookUps](IsDestinationReachableFunction&) {
    ++lookUps;
    return Status::Failure("SENSAPI.DLL: gone");
  };
}

// The echo: reachable at 3 and 1 Kb/s.
platform::win32::AskFunction Echo() {
  return [](const std::string&, QOCINFO& record, bool& reachable) {
    asked.push_back("echo");
    echoRecord = record;
    reachable = true;
    record.dwInSpeed = 3 * 1024;
    record.dwOutSpeed = 1024;
    return Status::Ok();
  };
}

// An echo that cannot be used.
platform::win32::AskFunction UnusableEcho() {
  return [](const std::string&, QOCINFO& record, bool&) {
    asked.push_back("echo");
    echoRecord = record;
    return Status::Failure("ICMP: closed");
  };
}

// Who was asked and what the service said, e.g. "SENSAPI, echo: reachable
// at 3072/1024".
std::string Ask(Win32NetworkAwareness& service, const std::string& destination = "server.example") {
  asked.clear();
  QOCINFO record{5, 0, 0, 0};
  bool reachable = false;
  Status status = service.IsDestinationReachable(destination, record, reachable);
  std::string who;
  for (const std::string& part : asked) who += (who.empty() ? "" : ", ") + part;
  if (!status.ok()) return who + ": failed: " + status.message();
  if (!reachable) return who + ": not reachable";
  return who + ": reachable at " + std::to_string(record.dwInSpeed) + "/" +
         std::to_string(record.dwOutSpeed);
}

TEST(NetworkAwareness, BelievesSensapiOnlyWhereItIsImplemented) {
  struct Case {
    const char* answer;
    BOOL result;
    DWORD lastError;
    Host host;
    std::string said;
  };
  const Case cases[] = {
      {"TRUE with speeds", TRUE, ERROR_SUCCESS, Host::kWindows, "SENSAPI: reachable at 10240/2048"},
      {"TRUE, 120 left over as the last error", TRUE, ERROR_CALL_NOT_IMPLEMENTED, Host::kWindows,
       "SENSAPI: reachable at 10240/2048"},
      {"FALSE", FALSE, ERROR_HOST_UNREACHABLE, Host::kWindows, "SENSAPI: not reachable"},
      {"FALSE with no last error", FALSE, ERROR_SUCCESS, Host::kWindows, "SENSAPI: not reachable"},
      {"FALSE with the last error 120", FALSE, ERROR_CALL_NOT_IMPLEMENTED, Host::kWindows,
       "SENSAPI, echo: reachable at 3072/1024"},
      {"the result 120", ERROR_CALL_NOT_IMPLEMENTED, ERROR_SUCCESS, Host::kWindows,
       "SENSAPI, echo: reachable at 3072/1024"},
      {"TRUE under Wine", TRUE, ERROR_SUCCESS, Host::kWine, "echo: reachable at 3072/1024"},
      {"FALSE under Wine", FALSE, ERROR_HOST_UNREACHABLE, Host::kWine,
       "echo: reachable at 3072/1024"},
  };
  for (const Case& c : cases) {
    Win32NetworkAwareness service(Found(StandInSensapi), c.host, Echo());
    sensapiResult = c.result;
    sensapiLastError = c.lastError;
    echoRecord = {};

    EXPECT_EQ(Ask(service), c.said) << c.answer;
    if (!asked.empty() && asked.back() == "echo") {
      // As the caller filled it, whatever SENSAPI wrote into its own.
      EXPECT_EQ(echoRecord.dwSize, 5u) << c.answer;
      EXPECT_EQ(echoRecord.dwInSpeed, 0u) << c.answer;
      EXPECT_EQ(echoRecord.dwOutSpeed, 0u) << c.answer;
    }
  }
}

TEST(NetworkAwareness, PassesTheRecordAsFilledAndTheAddressInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western European code page";
  Win32NetworkAwareness service(Found(StandInSensapi), Host::kWindows, Echo());
  sensapiResult = TRUE;
  sensapiLastError = ERROR_SUCCESS;

  EXPECT_EQ(Ask(service, "caf\u00e9.example"), "SENSAPI: reachable at 10240/2048");
  EXPECT_EQ(sensapiDestination, "caf\xe9.example");
  EXPECT_EQ(sensapiRecord.dwSize, 5u);
  EXPECT_EQ(sensapiRecord.dwFlags, 0u);
  EXPECT_EQ(sensapiRecord.dwInSpeed, 0u);
  EXPECT_EQ(sensapiRecord.dwOutSpeed, 0u);
}

TEST(NetworkAwareness, LooksTheServiceUpAtTheFirstQuestionOnly) {
  int lookUps = 0;
  Win32NetworkAwareness service(
      [&lookUps](IsDestinationReachableFunction& found) {
        ++lookUps;
        found = StandInSensapi;
        return Status::Ok();
      },
      Host::kWindows, Echo());
  sensapiResult = FALSE;
  sensapiLastError = ERROR_SUCCESS;
  EXPECT_EQ(lookUps, 0);

  Ask(service);
  Ask(service);

  EXPECT_EQ(lookUps, 1);
}

TEST(NetworkAwareness, WithoutSensapiTheEchoAnswersAndAFailureNamesWhatCannotBeUsed) {
  int lookUps = 0;
  Win32NetworkAwareness missing(Missing(lookUps), Host::kWindows, Echo());
  EXPECT_EQ(Ask(missing), "echo: reachable at 3072/1024");
  EXPECT_EQ(Ask(missing), "echo: reachable at 3072/1024");
  EXPECT_EQ(lookUps, 2);  // looked for again at each question while it is missing

  Win32NetworkAwareness neither(Missing(lookUps), Host::kWindows, UnusableEcho());
  EXPECT_EQ(Ask(neither), "echo: failed: SENSAPI.DLL: gone\r\nICMP: closed");

  Win32NetworkAwareness notImplemented(Found(StandInSensapi), Host::kWindows, UnusableEcho());
  sensapiResult = ERROR_CALL_NOT_IMPLEMENTED;
  sensapiLastError = ERROR_SUCCESS;
  EXPECT_EQ(Ask(notImplemented), "SENSAPI, echo: failed: ICMP: closed");
}

TEST(NetworkAwareness, KnowsItRunsUnderWine) {
  EXPECT_EQ(platform::win32::RunningHost(), Host::kWine);
}

TEST(NetworkAwareness, TheSystemServiceAnswersForLoopback) {
  QOCINFO record{5, 0, 0, 0};
  bool reachable = false;
  ASSERT_TRUE(platform::SystemNetworkAwareness()
                  .IsDestinationReachable("127.0.0.1", record, reachable)
                  .ok());
  EXPECT_TRUE(reachable);
}

TEST(EchoNetworkAwareness, LoopbackAnswersAnEchoOfAnyRequestedSize) {
  struct Case {
    std::string destination;
    std::uint32_t dwSize;
    bool reachable;
  };
  const Case cases[] = {
      {"127.0.0.1", 5, true},           // the default Test Data Size
      {"127.0.0.1", 0, true},           // an empty echo
      {"127.0.0.1", 65500, true},       // the most IPv4 carries
      {"127.0.0.1", 70000, true},       // sent as 65500
      {"127.0.0.1", 0xFFFFFFFF, true},  // -1: sent empty
      {"localhost", 5, true},           // a name, from the hosts file
      {"", 5, false},                   // nothing to ask
  };
  for (const Case& c : cases) {
    QOCINFO record{c.dwSize, 0, 0, 0};
    bool reachable = !c.reachable;
    ASSERT_TRUE(platform::win32::IsReachableByEcho(c.destination, record, reachable).ok())
        << c.destination;
    EXPECT_EQ(reachable, c.reachable) << c.destination << " " << c.dwSize;
    if (c.reachable) {
      std::cout << c.destination << ": " << record.dwInSpeed << "/" << record.dwOutSpeed
                << " bytes/s\n";
    }
  }
}

sockaddr_storage Ipv4(const char* text) {
  sockaddr_storage address{};
  auto& ipv4 = reinterpret_cast<sockaddr_in&>(address);
  ipv4.sin_family = AF_INET;
  inet_pton(AF_INET, text, &ipv4.sin_addr);
  return address;
}

std::string Text(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  return text;
}

TEST(EchoResolution, WaitsForTheResolverAndPassesTheNameAsTyped) {
  auto seen = std::make_shared<std::wstring>();
  std::vector<sockaddr_storage> found =
      platform::win32::ResolveWithin("caf\u00e9.example", 60s, [seen](const std::wstring& name) {
        *seen = name;
        return std::vector<sockaddr_storage>{Ipv4("192.0.2.7")};
      });
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(Text(found[0]), "192.0.2.7");
  EXPECT_EQ(*seen, L"caf\u00e9.example");
}

// A handle the stand-in resolver and the test share; the resolver may
// outlive the test.
struct Event {
  HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Event() { CloseHandle(handle); }
};

TEST(EchoResolution, GivesUpOnAResolverThatHasNotAnsweredByTheTimeOut) {
  auto release = std::make_shared<Event>();
  // Answers only once released, which happens after the wait is over; a
  // wait for the resolver itself would get this address, after 60 s.
  std::vector<sockaddr_storage> found =
      platform::win32::ResolveWithin("silent.example", 100ms, [release](const std::wstring&) {
        WaitForSingleObject(release->handle, 60000);
        return std::vector<sockaddr_storage>{Ipv4("192.0.2.7")};
      });
  SetEvent(release->handle);
  EXPECT_TRUE(found.empty());
}

}  // namespace
