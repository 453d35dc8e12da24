#include "actions/reachability_test.h"

#include <utility>

#include "platform/utf8.h"

namespace actions {
namespace {

constexpr std::size_t kShownTextLimit = 40;

// A text fits a message box: long ones are cut between characters.
std::string Shortened(std::string_view text) {
  if (text.size() <= kShownTextLimit) return std::string(text);
  return std::string(platform::utf8::Prefix(text, kShownTextLimit)) + "...";
}

std::string OverflowMessage(std::string_view dataSize) {
  return "Overflow: the Test Data Size \"" + Shortened(dataSize) +
         "\" is outside the 32-bit range.";
}

}  // namespace

ReachabilityTest::ReachabilityTest(platform::NetworkAwareness& service,
                                   std::string decimalSeparator)
    : service_(service), decimalSeparator_(std::move(decimalSeparator)) {}

std::string ReachabilityTest::TestDestination(const std::string& address,
                                              std::string_view dataSize) const {
  std::optional<std::int32_t> size = ReadDataSize(dataSize);
  if (!size) return OverflowMessage(dataSize);
  platform::QOCINFO record{static_cast<std::uint32_t>(*size), 0, 0, 0};
  bool reachable = false;
  platform::Status asked = service_.IsDestinationReachable(address, record, reachable);
  if (!asked.ok()) return "The network-awareness service cannot be used.\r\n" + asked.message();
  if (!reachable) return std::string(kUnreachableMessage);
  // Unsigned: a link faster than 2 GiB/s must not show as a negative speed.
  std::string in = FormatNumber(record.dwInSpeed / 1024.0, decimalSeparator_);
  std::string out = FormatNumber(record.dwOutSpeed / 1024.0, decimalSeparator_);
  return "The destination can be reached!\r\nThe speed of data coming in from the destination is " +
         in + " Kb/s,\r\nand the speed of data sent to the destination is " + out + " Kb/s.";
}

}  // namespace actions
