// The Test Data Size reader and the "#.0" formatter on arbitrary input.
// The reader must agree with a slow reference that writes the number out
// digit by digit; the formatter with one that rounds glibc's exact decimal
// expansion of the double by hand. Neither may crash or take long.
// Input: the Test Data Size text; its first 8 bytes are also a double, its
// first 4 a speed as the service reports it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "actions/number_text.h"
#include "fuzz/fuzz_input.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "&H" and "&O" numbers: digits until the first that is not one.
std::optional<std::int32_t> ReferenceRadix(std::string_view digits, int radix) {
  std::uint64_t value = 0;
  for (char c : digits) {
    const char* found = std::strchr("0123456789abcdef", c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    if (c == '\0' || found == nullptr || found - "0123456789abcdef" >= radix) break;
    value = value * radix + std::uint64_t(found - "0123456789abcdef");
    if (value > 2147483647) return std::nullopt;
  }
  return std::int32_t(value);
}

std::optional<std::int32_t> ReferenceDataSize(std::string_view typed) {
  std::string text;
  for (char c : typed) {
    if (c != ' ' && c != '\t' && c != '\n') text += c;
  }
  if (text.size() >= 2 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
    return ReferenceRadix(std::string_view(text).substr(2), 16);
  }
  if (text.size() >= 2 && text[0] == '&' && (text[1] == 'O' || text[1] == 'o')) {
    return ReferenceRadix(std::string_view(text).substr(2), 8);
  }
  std::size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  std::string digits;
  std::int64_t point = 0;  // where the decimal point sits in `digits`
  for (; at < text.size() && IsDigit(text[at]); ++at, ++point) digits += text[at];
  if (at < text.size() && text[at] == '.') {
    for (++at; at < text.size() && IsDigit(text[at]); ++at) digits += text[at];
  }
  if (at < text.size() && std::strchr("EeDd", text[at]) != nullptr && text[at] != '\0') {
    std::size_t next = at + 1;
    const bool negativeExponent = next < text.size() && text[next] == '-';
    if (next < text.size() && (text[next] == '-' || text[next] == '+')) ++next;
    std::int64_t exponent = 0;
    const std::size_t firstDigit = next;
    for (; next < text.size() && IsDigit(text[next]); ++next) {
      exponent = std::min<std::int64_t>(exponent * 10 + (text[next] - '0'), 1'000'000'000'000'000);
    }
    if (next > firstDigit) point += negativeExponent ? -exponent : exponent;
  }
  while (!digits.empty() && digits.front() == '0') {
    digits.erase(0, 1);
    --point;
  }
  if (digits.empty()) return 0;
  if (point > 10) return std::nullopt;  // 11 integer digits are past 2^31
  if (point < -1) return 0;             // below 0.01
  // Written out: the integer part and the fraction, as plain digits.
  std::string integer;
  std::string fraction = digits;
  if (point <= 0) {
    fraction.insert(0, std::size_t(-point), '0');
  } else {
    if (fraction.size() < std::size_t(point)) fraction.resize(std::size_t(point), '0');
    integer = fraction.substr(0, std::size_t(point));
    fraction.erase(0, std::size_t(point));
  }
  std::int64_t magnitude = integer.empty() ? 0 : std::stoll(integer);
  const bool aboveHalf =
      !fraction.empty() &&
      (fraction[0] > '5' ||
       (fraction[0] == '5' && fraction.find_first_not_of('0', 1) != std::string::npos));
  const bool half = !fraction.empty() && fraction[0] == '5' && !aboveHalf;
  if (aboveHalf || (half && magnitude % 2 == 1)) ++magnitude;
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
  return std::int32_t(value);
}

// "#.0" by hand: glibc prints a double's exact decimal expansion (at most
// 1074 decimals); one decimal is kept, rounded up when the next digit is 5
// or more, which sends halves away from zero.
std::string ReferenceFormat(double value) {
  std::string exact(1500, '\0');
  exact.resize(std::size_t(std::snprintf(exact.data(), exact.size(), "%.1100f", std::fabs(value))));
  const std::size_t point = exact.find('.');
  std::string kept = exact.substr(0, point) + exact[point + 1];
  if (exact[point + 2] >= '5') {
    std::size_t at = kept.size();
    while (at > 0 && kept[at - 1] == '9') kept[--at] = '0';
    if (at == 0) {
      kept.insert(0, 1, '1');
    } else {
      ++kept[at - 1];
    }
  }
  std::string integer = kept.substr(0, kept.size() - 1);
  if (integer == "0") integer.clear();
  return (value < 0 ? "-" : "") + integer + "." + kept.back();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  fuzz::Check(actions::ReadDataSize(text) == ReferenceDataSize(text),
              "the Test Data Size reader agrees with the reference");
  if (size >= sizeof(double)) {
    double value;
    std::memcpy(&value, data, sizeof value);
    if (std::isfinite(value)) {
      fuzz::Check(actions::FormatNumber(value, ".") == ReferenceFormat(value),
                  "\"#.0\" agrees with the reference");
    } else {
      actions::FormatNumber(value, ",");
    }
  }
  if (size >= sizeof(std::uint32_t)) {
    std::uint32_t speed;
    std::memcpy(&speed, data, sizeof speed);
    std::string shown = ReferenceFormat(speed / 1024.0);
    shown.replace(shown.size() - 2, 1, ",");
    fuzz::Check(actions::FormatNumber(speed / 1024.0, ",") == shown,
                "a speed shows with the given separator");
  }
  return 0;
}
