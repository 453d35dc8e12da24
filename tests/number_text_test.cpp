// The Test Data Size read from what was typed, and speeds in "#.0".
#include "actions/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <optional>
#include <string>

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

}  // namespace
