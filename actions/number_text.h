// The numbers of the reachability test as text: the Test Data Size read from
// what was typed, and the speeds written in the pattern "#.0".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace actions {

// The leading number of a Test Data Size text, rounded to an integer with
// halves going to the even neighbour; nullopt (an overflow) when that lies
// outside the signed 32-bit range. Every blank, tab and line feed is dropped
// first. Then: an optional sign, digits, an optional period and digits, an
// optional exponent (E or D, either case, optional sign, digits); or "&H"
// with hexadecimal or "&O" with octal digits. Reading stops at the first
// character that cannot continue; no number at all gives 0. The period is the
// only decimal separator. Rounding is exact on the decimal digits, and the
// time taken grows only with the length of the text.
std::optional<std::int32_t> ReadDataSize(std::string_view text);

// `value` in the pattern "#.0": integer digits without a leading zero, no
// grouping, `decimalSeparator`, one decimal rounded with halves away from
// zero; a leading minus when `value` is below zero.
std::string FormatNumber(double value, std::string_view decimalSeparator);

// The decimal separator of the user's numeric locale (LC_NUMERIC), or "."
// when it cannot be had. Leaves the program's own locale as it was.
std::string UserDecimalSeparator();

}  // namespace actions
