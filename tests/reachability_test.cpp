#include "actions/reachability_test.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <optional>
#include <string>

#include "fakes.h"

namespace {

using actions::FormatNumber;
using actions::ReadDataSize;

constexpr std::optional<std::int32_t> kOverflow = std::nullopt;

std::string Repeat(char c, std::size_t count) { return std::string(count, c); }

TEST(ReadDataSize, ReadsTheLeadingNumberRoundingHalvesToEven) {
  struct Case {
    std::string text;
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {"5", 5},
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"-0.4", 0},
      {"0.5", 0},
      {"1.5", 2},
      {"2.5000000001", 3},
      {"letters", 0},
      {"", 0},
      {"1 2", 12},
      {" \t\n7\n", 7},
      {"\r7", 0},  // only blanks, tabs and line feeds are dropped
      {"3 . 5", 4},
      {"12abc", 12},
      {"1.2.3", 1},
      {"1,5", 1},  // the period is the only decimal separator
      {"+3", 3},
      {"--3", 0},
      {"5.", 5},
      {".5e1", 5},
      {"1D3", 1000},
      {"1d3", 1000},
      {"25E-1", 2},
      {"1e+9", 1000000000},
      {"1e", 1},
      {"1e+", 1},
      {"&HFF", 255},
      {"&hff", 255},
      {"&O17", 15},
      {"&o777", 511},
      {"&H7FFFFFFF", 2147483647},
      {"&H", 0},
      {"&HG", 0},
      {"&O8", 0},
      {"-&HFF", 0},
      {"2147483647", 2147483647},
      {"2147483646.5", 2147483646},
      {"2147483647.5", kOverflow},
      {"2147483648", kOverflow},
      {"-2147483648", -2147483647 - 1},
      {"-2147483648.5", -2147483647 - 1},
      {"-2147483648.6", kOverflow},
      {"-2147483649", kOverflow},
      {"4294967296", kOverflow},
      {"1E10", kOverflow},
      {"&H80000000", kOverflow},
      // Hostile texts: a number, 0 or an overflow, quickly.
      {"&HFFFFFFFFFFFFFFFF", kOverflow},
      {"1e999999", kOverflow},
      {"-1e309", kOverflow},
      {"1e-999999", 0},
      {"0e99999999999999999999999999", 0},
      {"1e-99999999999999999999999999", 0},
      {"D5", 0},
      {".", 0},
      {"-", 0},
      {"+.e", 0},
      {Repeat('9', 10000), kOverflow},
      {Repeat('0', 10000) + "5", 5},
      {"0." + Repeat('0', 10000) + "1", 0},
      {"2.5" + Repeat('0', 10000), 2},
      {"2.5" + Repeat('0', 10000) + "1", 3},
      {"1" + Repeat('0', 10000) + "e-10000", 1},
      {"&H" + Repeat('0', 10000) + "1F", 31},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadDataSize(c.text), c.expected) << '"' << c.text.substr(0, 40) << '"';
  }
}

TEST(FormatNumber, ShowsOneDecimalWithoutALeadingZero) {
  struct Case {
    double value;
    std::string separator;
    std::string expected;
  };
  const Case cases[] = {
      {0, ".", ".0"},
      {0.25, ".", ".3"},  // halves away from zero
      {0.75, ".", ".8"},
      {1.25, ".", "1.3"},
      {0.5, ".", ".5"},
      {0.04, ".", ".0"},
      {0.05, ".", ".1"},
      {2, ".", "2.0"},
      {10, ".", "10.0"},
      {123456789, ".", "123456789.0"},  // no grouping
      {1e20, ".", "100000000000000000000.0"},
      {-0.25, ".", "-.3"},
      {-1.5, ".", "-1.5"},
      {0.25, ",", ",3"},
      {10, ",", "10,0"},
      {1.5, "\331\253", "1\331\2535"},  // a separator of more than one byte
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.separator), c.expected) << c.value;
  }
}

TEST(UserDecimalSeparator, LeavesTheProgramsLocaleAsItWas) {
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_FALSE(actions::UserDecimalSeparator().empty());
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}

class ReachabilityTestTest : public testing::Test {
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

TEST_F(ReachabilityTestTest, ComposesTheReachedMessageFromTheSpeeds) {
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

TEST_F(ReachabilityTestTest, AnUnreachableDestinationHasItsOwnMessage) {
  network.reachable = false;
  EXPECT_EQ(Test("192.0.2.7", "5"), "The destination cannot be reached!");
}

TEST_F(ReachabilityTestTest, PassesTheAddressAsTypedAndAFreshRecord) {
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

TEST_F(ReachabilityTestTest, AnOverflowIsReportedWithItsTextAndAsksNothing) {
  EXPECT_EQ(Test("127.0.0.1", "2147483647.5"),
            "Overflow: the Test Data Size \"2147483647.5\" is outside the 32-bit range.");
  std::string shown = Test("127.0.0.1", Repeat('9', 10000));
  EXPECT_EQ(shown, "Overflow: the Test Data Size \"" + Repeat('9', 40) +
                       "...\" is outside the 32-bit range.");
  EXPECT_TRUE(network.asked.empty());
}

TEST_F(ReachabilityTestTest, AServiceThatCannotBeUsedIsReported) {
  network.failure = "SENSAPI.DLL: The specified module could not be found.";
  EXPECT_EQ(Test("127.0.0.1", "5"),
            "The network-awareness service cannot be used.\r\n"
            "SENSAPI.DLL: The specified module could not be found.");
}

}  // namespace
