// Test: ask the network-awareness service whether the server address can be
// reached and put its answer, with the two speeds, into one message.
#pragma once

#include <string>
#include <string_view>

#include "actions/number_text.h"
#include "platform/network_awareness.h"

namespace actions {

inline constexpr std::string_view kUnreachableMessage = "The destination cannot be reached!";

class ReachabilityTest {
 public:
  // Speeds are shown with `decimalSeparator` (UserDecimalSeparator()).
  ReachabilityTest(platform::NetworkAwareness& service, std::string decimalSeparator);

  // Asks the service about `address` (passed as it is, even empty) with
  // `dataSize` read into the record, and returns the one message to show:
  // the answer, or why the test could not be made (an overflowing Test Data
  // Size, which asks nothing; a service that cannot be used).
  std::string TestDestination(const std::string& address, std::string_view dataSize) const;

 private:
  platform::NetworkAwareness& service_;
  std::string decimalSeparator_;
};

}  // namespace actions
