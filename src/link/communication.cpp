// Communication: entry-point table of the communication library and the
// forwarders that refuse to run without it.
#include "link/communication.h"

#include <stdexcept>

namespace {

using StartFn = int (*)(int, char**);
using DataFn = std::int64_t (*)(unsigned, void*, std::uint64_t, unsigned);

struct EntryPoints {
  StartFn initialize = nullptr;
  StartFn finalize = nullptr;
  DataFn send_client = nullptr;
  DataFn recv_client = nullptr;
  DataFn peek_client = nullptr;
  DataFn send_server = nullptr;
  DataFn recv_server = nullptr;
  DataFn peek_server = nullptr;
  DataFn send_other = nullptr;
  DataFn recv_other = nullptr;
  DataFn peek_other = nullptr;
};

EntryPoints& entries() {
  static EntryPoints table;
  return table;
}

template <typename Fn>
Fn require(Fn fn) {
  if (fn == nullptr) throw std::runtime_error("DLL Not Loaded");
  return fn;
}

}  // namespace

bool Communication::Load(const char* /*path*/) {
  // No library can be linked yet: leave every entry point empty.
  entries() = EntryPoints{};
  return false;
}

bool Communication::Loaded() { return entries().initialize != nullptr; }

int Communication::Initialize(int argc, char** argv) { return require(entries().initialize)(argc, argv); }
int Communication::Finalize(int argc, char** argv) { return require(entries().finalize)(argc, argv); }

#define WAKRO_FORWARD(name)                                                                    \
  std::int64_t Communication::name(unsigned id, void* data, std::uint64_t size, unsigned flags) { \
    return require(entries().name)(id, data, size, flags);                                       \
  }
WAKRO_FORWARD(send_client)
WAKRO_FORWARD(recv_client)
WAKRO_FORWARD(peek_client)
WAKRO_FORWARD(send_server)
WAKRO_FORWARD(recv_server)
WAKRO_FORWARD(peek_server)
WAKRO_FORWARD(send_other)
WAKRO_FORWARD(recv_other)
WAKRO_FORWARD(peek_other)
#undef WAKRO_FORWARD
