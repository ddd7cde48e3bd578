// Running code that may end in a fatal stop, and seeing how it ended: the
// wakro::FatalExit it threw, its message or its status.
#pragma once

#include <optional>
#include <string>

#include "model/fatal.h"

namespace wakro_test {

// Runs f; the FatalExit it throws, or nothing when it returns.
template <class F>
std::optional<wakro::FatalExit> caught_fatal(F&& f) {
  try {
    f();
  } catch (const wakro::FatalExit& e) {
    return e;
  }
  return std::nullopt;
}

// Runs f and returns the FatalExit it throws (status -1 and no text if none).
template <class F>
wakro::FatalExit fatal_of(F&& f) {
  return caught_fatal(f).value_or(wakro::FatalExit(-1));
}

// Runs f and returns the message of the FatalExit it throws ("" if none); its
// status goes to *status when one is thrown and status is given.
template <class F>
std::string fatal_message(F&& f, int* status = nullptr) {
  const std::optional<wakro::FatalExit> e = caught_fatal(f);
  if (!e) return "";
  if (status) *status = e->status();
  return e->message();
}

// Runs f and returns the message of the FatalExit it throws ("<no stop>" if none).
template <class F>
std::string stop_message(F&& f) {
  const std::optional<wakro::FatalExit> e = caught_fatal(f);
  return e ? e->message() : "<no stop>";
}

// Runs f and gives the status of the FatalExit it throws, or -1 when it returns.
template <class F>
int fatal_status(F&& f) {
  const std::optional<wakro::FatalExit> e = caught_fatal(f);
  return e ? e->status() : -1;
}

}  // namespace wakro_test
