// The replaceable console streams.
#include "diag/console.h"

#include <iostream>

namespace wakro {

namespace {
std::ostream* g_out = nullptr;
std::ostream* g_err = nullptr;
}  // namespace

std::ostream& console() { return g_out ? *g_out : std::cout; }
std::ostream& console_err() { return g_err ? *g_err : std::cerr; }

void set_console(std::ostream* stream) { g_out = stream; }
void set_console_err(std::ostream* stream) { g_err = stream; }

ConsoleRedirect::ConsoleRedirect(std::ostream& to, bool error_stream)
    : previous_(error_stream ? g_err : g_out), error_stream_(error_stream) {
  (error_stream_ ? g_err : g_out) = &to;
}

ConsoleRedirect::~ConsoleRedirect() { (error_stream_ ? g_err : g_out) = previous_; }

}  // namespace wakro
