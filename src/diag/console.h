// The console streams of the engine.
//
// Everything the engine writes to "standard output" (the console and list unit,
// catalogue messages, banners, model messages) goes to console(); the few
// warnings meant for standard error go to console_err(). Both are std::cout and
// std::cerr unless a test or an embedding program redirects them, so captured
// output can be compared byte for byte.
#pragma once

#include <ostream>

namespace wakro {

std::ostream& console();
std::ostream& console_err();

// Redirects the console (nullptr restores standard output / standard error).
void set_console(std::ostream* stream);
void set_console_err(std::ostream* stream);

// Redirects the console for the lifetime of the object and restores the previous
// stream afterwards.
class ConsoleRedirect {
 public:
  explicit ConsoleRedirect(std::ostream& to, bool error_stream = false);
  ~ConsoleRedirect();
  ConsoleRedirect(const ConsoleRedirect&) = delete;
  ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;

 private:
  std::ostream* previous_;
  bool error_stream_;
};

}  // namespace wakro
