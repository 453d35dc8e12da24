#include "actions/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>

namespace actions {
namespace {

constexpr std::int64_t kMinInt32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxInt32 = std::numeric_limits<std::int32_t>::max();

// More integer digits than this cannot round into the 32-bit range.
constexpr std::int64_t kMaxIntegerDigits = 10;
// Exponents are only ever compared with digit counts; saturating them here
// keeps the sums far from int64 overflow whatever the text holds.
constexpr std::int64_t kExponentLimit = 1'000'000'000'000;

std::optional<std::int32_t> InInt32Range(bool negative, std::uint64_t magnitude) {
  if (magnitude > static_cast<std::uint64_t>(kMaxInt32) + 1) return std::nullopt;
  std::int64_t value = static_cast<std::int64_t>(magnitude);
  if (negative) value = -value;
  if (value < kMinInt32 || value > kMaxInt32) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int radix) {
  int value = -1;
  if (IsDigit(c)) value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < radix ? value : -1;
}

std::optional<std::int32_t> ReadRadixDigits(std::string_view text, int radix) {
  std::uint64_t value = 0;
  for (char c : text) {
    int digit = DigitValue(c, radix);
    if (digit < 0) break;
    value = value * radix + digit;
    if (value > static_cast<std::uint64_t>(kMaxInt32)) return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool At(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool AtAnyOf(std::string_view chars) const {
    return pos_ < text_.size() && chars.find(text_[pos_]) != std::string_view::npos;
  }
  bool AtDigit() const { return pos_ < text_.size() && IsDigit(text_[pos_]); }
  std::size_t pos() const { return pos_; }
  void Advance() { ++pos_; }
  void MoveTo(std::size_t pos) { pos_ = pos; }
  std::string_view Digits() {
    std::size_t start = pos_;
    while (AtDigit()) ++pos_;
    return text_.substr(start, pos_ - start);
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// The exponent after E or D, or 0 (leaving the cursor) when no digits follow.
std::int64_t ReadExponent(Cursor& cursor) {
  if (!cursor.AtAnyOf("EeDd")) return 0;
  std::size_t start = cursor.pos();
  cursor.Advance();
  bool negative = cursor.At('-');
  if (cursor.AtAnyOf("+-")) cursor.Advance();
  std::string_view digits = cursor.Digits();
  if (digits.empty()) {
    cursor.MoveTo(start);
    return 0;
  }
  std::int64_t exponent = 0;
  for (char c : digits) exponent = std::min(exponent * 10 + (c - '0'), kExponentLimit);
  return negative ? -exponent : exponent;
}

// Rounds 0.d1d2d3... x 10^integerDigits to the nearest integer, halves to even.
std::optional<std::int32_t> RoundSignificand(bool negative, std::string_view significant,
                                             std::int64_t integerDigits) {
  if (integerDigits > kMaxIntegerDigits) return std::nullopt;
  if (integerDigits < 0) return 0;
  std::uint64_t magnitude = 0;
  for (std::int64_t i = 0; i < integerDigits; ++i) {
    char digit = static_cast<std::size_t>(i) < significant.size() ? significant[i] : '0';
    magnitude = magnitude * 10 + (digit - '0');
  }
  std::string_view fraction =
      significant.substr(std::min(significant.size(), static_cast<std::size_t>(integerDigits)));
  if (!fraction.empty()) {
    char first = fraction.front();
    bool restNonZero = fraction.find_first_not_of('0', 1) != std::string_view::npos;
    bool halfOrMore = first >= '5';
    bool exactHalf = first == '5' && !restNonZero;
    if (halfOrMore && !(exactHalf && magnitude % 2 == 0)) ++magnitude;
  }
  return InInt32Range(negative, magnitude);
}

std::optional<std::int32_t> ReadDecimal(std::string_view text) {
  Cursor cursor(text);
  bool negative = cursor.At('-');
  if (cursor.AtAnyOf("+-")) cursor.Advance();
  std::string_view integerPart = cursor.Digits();
  std::string_view fractionPart;
  if (cursor.At('.')) {
    cursor.Advance();
    fractionPart = cursor.Digits();
  }
  std::int64_t exponent = ReadExponent(cursor);

  std::string digits = std::string(integerPart) + std::string(fractionPart);
  std::size_t firstNonZero = digits.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return 0;
  std::int64_t integerDigits = static_cast<std::int64_t>(integerPart.size()) -
                               static_cast<std::int64_t>(firstNonZero) + exponent;
  return RoundSignificand(negative, std::string_view(digits).substr(firstNonZero), integerDigits);
}

std::string WithoutBlanksTabsAndLineFeeds(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') kept += c;
  }
  return kept;
}

// True when `magnitude` lies exactly halfway between two tenths: only
// multiples of 1/4 that are not multiples of 1/2 can, in binary.
bool IsTieAtTenths(double magnitude) { return std::fmod(magnitude * 4, 2) == 1; }

std::string FixedText(double magnitude, int decimals) {
  // The largest double has 309 integer digits.
  std::array<char, 330> buffer;
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::fixed, decimals);
  return std::string(buffer.data(), end);
}

}  // namespace

std::optional<std::int32_t> ReadDataSize(std::string_view text) {
  std::string kept = WithoutBlanksTabsAndLineFeeds(text);
  std::string_view number = kept;
  if (number.size() >= 2 && number[0] == '&') {
    if (number[1] == 'H' || number[1] == 'h') return ReadRadixDigits(number.substr(2), 16);
    if (number[1] == 'O' || number[1] == 'o') return ReadRadixDigits(number.substr(2), 8);
  }
  return ReadDecimal(number);
}

std::string FormatNumber(double value, std::string_view decimalSeparator) {
  double magnitude = std::fabs(value);
  if (!std::isfinite(magnitude)) return value < 0 ? "-inf" : std::isnan(value) ? "nan" : "inf";
  std::string text;
  if (IsTieAtTenths(magnitude)) {
    // to_chars breaks ties towards even; "#.0" breaks them away from zero.
    // A tie ends in 25 or 75, so the tenth goes up without a carry.
    text = FixedText(magnitude, 2);
    text.pop_back();
    ++text.back();
  } else {
    text = FixedText(magnitude, 1);
  }
  std::size_t point = text.size() - 2;
  std::string integerPart = text.substr(0, point);
  if (integerPart == "0") integerPart.clear();
  std::string sign = value < 0 ? "-" : "";
  return sign + integerPart + std::string(decimalSeparator) + text.back();
}

std::string UserDecimalSeparator() {
  std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  std::string separator;
  if (std::setlocale(LC_NUMERIC, "") != nullptr) separator = std::localeconv()->decimal_point;
  std::setlocale(LC_NUMERIC, saved.c_str());
  return separator.empty() ? "." : separator;
}

}  // namespace actions
