// Runtime stops of the ground floor (allocation failures, array bounds).
#include "model/fatal.h"

namespace wakro {
namespace {

std::string g_context;  // set by the RuntimeStopContext in scope; empty without one

}  // namespace

void runtime_stop(std::string message) {
  if (!g_context.empty()) message.append("\n").append(g_context);
  throw FatalExit(kRuntimeStopStatus, std::move(message));
}

RuntimeStopContext::RuntimeStopContext(std::string text) : previous_(std::move(g_context)) {
  g_context = std::move(text);
}

RuntimeStopContext::~RuntimeStopContext() { g_context = std::move(previous_); }

}  // namespace wakro
