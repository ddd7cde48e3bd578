// The single fatal-exit point of the engine.
//
// A fatal stop anywhere below the process entry throws FatalExit carrying the exit
// status (and, for the runtime stops that print nothing themselves, the message).
// Only the process entries catch it; they close the link and files, print the exit
// line with the full status, and return process_exit_code(status) to the system.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace wakro {

// Status of the runtime stops (allocation failures, array bounds): distinct from
// 1 (link could not be opened) and from the 2000-plus statuses of catalogue messages.
inline constexpr int kRuntimeStopStatus = 3;

class FatalExit : public std::exception {
 public:
  explicit FatalExit(int status, std::string message = {})
      : status_(status), message_(std::move(message)) {}
  int status() const noexcept { return status_; }
  // Text not yet shown to the user; empty when the stop was already reported.
  const std::string& message() const noexcept { return message_; }
  const char* what() const noexcept override {
    return message_.empty() ? "fatal exit" : message_.c_str();
  }

 private:
  int status_;
  std::string message_;
};

// A parent process sees only 8 bits of the exit status: statuses 0..255 pass as
// they are, every other status (2000 plus a code, negative values) becomes 2, so a
// failure can never reach the parent as success.
constexpr int process_exit_code(int status) noexcept {
  return (status >= 0 && status <= 255) ? status : 2;
}

// Runtime stop: throws FatalExit with kRuntimeStopStatus and the message, then,
// on a line of its own, the context set by a RuntimeStopContext in scope.
[[noreturn]] void runtime_stop(std::string message);

// While in scope, a runtime stop names what it happened in (e.g. the file whose
// counts size the arrays being allocated); the context it replaced comes back
// when it leaves scope.
class RuntimeStopContext {
 public:
  explicit RuntimeStopContext(std::string text);
  ~RuntimeStopContext();
  RuntimeStopContext(const RuntimeStopContext&) = delete;
  RuntimeStopContext& operator=(const RuntimeStopContext&) = delete;

 private:
  std::string previous_;
};

}  // namespace wakro
