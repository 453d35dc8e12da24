#include "actions/reachability_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fakes.h"

namespace {

class TestDestination : public testing::Test {
 protected:
  fakes::NetworkAwareness network;

  std::string Test(const std::string& address, std::string_view dataSize,
                   const std::string& separator = ".") {
    return actions::ReachabilityTest(network, separator).TestDestination(address, dataSize);
  }
};

std::string ReachedMessage(const std::string& in, const std::string& out) {
  return "The destination can be reached!\r\n"
         "The speed of data coming in from the destination is " +
         in + " Kb/s,\r\nand the speed of data sent to the destination is " + out + " Kb/s.";
}

TEST_F(TestDestination, ComposesTheReachedMessageFromTheSpeeds) {
  struct Case {
    std::uint32_t inSpeed, outSpeed;
    std::string separator;
    std::string in, out;
  };
  const Case cases[] = {
      {10 * 1024, 2 * 1024, ".", "10.0", "2.0"},
      {0, 0, ".", ".0", ".0"},
      {256, 256, ".", ".3", ".3"},
      {256, 10 * 1024, ",", ",3", "10,0"},
      // The service's speeds are unsigned: above 2 GiB/s they stay positive.
      {4294967295u, 2147483648u, ".", "4194304.0", "2097152.0"},
  };
  for (const Case& c : cases) {
    network.inSpeed = c.inSpeed;
    network.outSpeed = c.outSpeed;
    EXPECT_EQ(Test("127.0.0.1", "5", c.separator), ReachedMessage(c.in, c.out));
  }
}

TEST_F(TestDestination, AnUnreachableDestinationHasItsOwnMessage) {
  network.reachable = false;
  EXPECT_EQ(Test("192.0.2.7", "5"), "The destination cannot be reached!");
}

TEST_F(TestDestination, PassesTheAddressAsTypedAndAFreshRecord) {
  struct Case {
    std::string address;
    std::string dataSize;
    std::uint32_t dwSize;
  };
  const Case cases[] = {
      {"127.0.0.1", "5", 5},           // the default
      {"", "5", 5},                    // asked about like any other
      {" server.example ", "2.5", 2},  // blanks stay
      {"::1", "-2.5", 0xFFFFFFFEu},    // -2 as the service's 32 bits
      {"host", "letters", 0},
  };
  for (const Case& c : cases) {
    network.asked.clear();
    Test(c.address, c.dataSize);
    ASSERT_EQ(network.asked.size(), 1u);
    EXPECT_EQ(network.asked[0].first, c.address);
    const platform::QOCINFO& record = network.asked[0].second;
    EXPECT_EQ(record.dwSize, c.dwSize) << c.dataSize;
    EXPECT_EQ(record.dwFlags, 0u);
    EXPECT_EQ(record.dwInSpeed, 0u);
    EXPECT_EQ(record.dwOutSpeed, 0u);
  }
}

TEST_F(TestDestination, AnOverflowIsReportedWithItsTextAndAsksNothing) {
  EXPECT_EQ(Test("127.0.0.1", "2147483647.5"),
            "Overflow: the Test Data Size \"2147483647.5\" is outside the 32-bit range.");
  std::string shown = Test("127.0.0.1", std::string(10000, '9'));
  EXPECT_EQ(shown, "Overflow: the Test Data Size \"" + std::string(40, '9') +
                       "...\" is outside the 32-bit range.");
  // Cut between characters: the "é" that would straddle the 40th byte goes.
  EXPECT_EQ(Test("127.0.0.1", std::string(39, '9') + "\u00e9" + std::string(99, '9')),
            "Overflow: the Test Data Size \"" + std::string(39, '9') +
                "...\" is outside the 32-bit range.");
  EXPECT_TRUE(network.asked.empty());
}

TEST_F(TestDestination, AServiceThatCannotBeUsedIsReported) {
  network.failure = "SENSAPI.DLL: The specified module could not be found.";
  EXPECT_EQ(Test("127.0.0.1", "5"),
            "The network-awareness service cannot be used.\r\n"
            "SENSAPI.DLL: The specified module could not be found.");
}

}  // namespace
