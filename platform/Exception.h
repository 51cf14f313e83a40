#pragma once
// Errors that escape a handler and reach the window's general error report.
// Their text is CP932, like every other text the program shows.

#include <stdexcept>
#include <string>

namespace tavrin {

class Exception : public std::runtime_error {
 public:
  explicit Exception(std::string cp932Message)
      : std::runtime_error(cp932Message), message_(std::move(cp932Message)) {}
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A text that does not convert to the number, date or duration it stands for.
class ConversionError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace tavrin
