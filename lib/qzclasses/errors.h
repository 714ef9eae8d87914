// Exceptions of the library: a general error carrying a message, and its two kinds.
#pragma once

#include <exception>
#include <string>

#include "qzclasses/text.h"

namespace qz {

class Error : public std::exception {
 public:
  explicit Error(Text message) : message_(std::move(message)), utf8_(TextToUtf8(message_)) {}
  const Text& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  Text message_;
  std::string utf8_;
};

// An index outside a list's bounds.
class RangeError : public Error {
 public:
  explicit RangeError(Text message = u"Index is out of range") : Error(std::move(message)) {}
};

// An abstract operation was called on a class that does not supply it (a programming error).
class AbstractError : public Error {
 public:
  AbstractError() : Error(u"Abstract Error") {}
};

// The message an error report shows: an Error's own text, a standard exception's what(),
// "Unknown error" for anything else (or no error).
Text ErrorMessage(std::exception_ptr error);

}  // namespace qz
