// The outcome of a platform call: success, or a failure with a message that
// can be shown to the user as it stands.
#pragma once

#include <string>
#include <utility>

namespace platform {

class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  static Status Failure(std::string message) { return Status(std::move(message)); }

  bool ok() const { return message_.empty(); }
  const std::string& message() const { return message_; }

 private:
  Status() = default;
  explicit Status(std::string message) : message_(std::move(message)) {
    if (message_.empty()) message_ = "Unknown failure";
  }
  std::string message_;
};

}  // namespace platform
