// The exception classes of the platform layer.  Every failure of the system is an Exception
// carrying its message text; EAbort is the silent abort that stops work without a message.
#pragma once

#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
 public:
  explicit Exception(std::string Message) : Message_(std::move(Message)) {}
  const char* what() const noexcept override { return Message_.c_str(); }
  const std::string& Message() const noexcept { return Message_; }
  void SetMessage(std::string Message) { Message_ = std::move(Message); }

 private:
  std::string Message_;
};

// The silent abort: stops the current work; hosts do not report it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// The standard conversion and assignment error ("Cannot assign a X to a Y").
class EConvertError : public Exception {
  using Exception::Exception;
};

// Index errors of the generic lists.
class EListError : public Exception {
  using Exception::Exception;
};

class EClassNotFound : public Exception {
  using Exception::Exception;
};

class EComponentError : public Exception {
  using Exception::Exception;
};

// Raises EListError "List index out of bounds (n)".
[[noreturn]] void ListIndexError(long long Index);
// The text of that error, for a library that reports a bad index with its own exception class.
std::string ListIndexMessage(long long Index);

}  // namespace platform
