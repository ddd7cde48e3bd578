// Communication: loading the communication library, its entry-point table
// and the forwarders that refuse to run without it.
#include "link/communication.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

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

// The module handle of the loaded library; null while none.
void*& module() {
  static void* handle = nullptr;
  return handle;
}

// Why the last Load failed; empty after a successful one.
std::string& load_failure() {
  static std::string text;
  return text;
}

template <typename Fn>
bool look_up(void* lib, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(dlsym(lib, name));
  if (fn == nullptr && load_failure().empty()) load_failure() = std::string("it has no entry point ") + name;
  return fn != nullptr;
}

template <typename Fn>
Fn require(Fn fn) {
  if (fn == nullptr) throw std::runtime_error("DLL Not Loaded");
  return fn;
}

}  // namespace

bool Communication::Load(const char* path) {
  // 1. A library loaded before is given up first.
  entries() = EntryPoints{};
  if (module() != nullptr) dlclose(module());
  module() = nullptr;
  load_failure().clear();
  if (path == nullptr || *path == '\0') {
    load_failure() = "no library was named";
    return false;
  }
  // 2. Load it and look up all eleven entry points.
  void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    const char* why = dlerror();
    load_failure() = std::string("it cannot be loaded (") + (why != nullptr ? why : "unknown reason") + ")";
    return false;
  }
  EntryPoints e;
  bool all = look_up(lib, "Communication_Initialize", e.initialize);
  all = look_up(lib, "Communication_Finalize", e.finalize) && all;
  all = look_up(lib, "Communication_send_client", e.send_client) && all;
  all = look_up(lib, "Communication_recv_client", e.recv_client) && all;
  all = look_up(lib, "Communication_peek_client", e.peek_client) && all;
  all = look_up(lib, "Communication_send_server", e.send_server) && all;
  all = look_up(lib, "Communication_recv_server", e.recv_server) && all;
  all = look_up(lib, "Communication_peek_server", e.peek_server) && all;
  all = look_up(lib, "Communication_send_other", e.send_other) && all;
  all = look_up(lib, "Communication_recv_other", e.recv_other) && all;
  all = look_up(lib, "Communication_peek_other", e.peek_other) && all;
  // 3. An incomplete library is not used at all: no half-set table stays.
  if (!all) {
    dlclose(lib);
    return false;
  }
  module() = lib;
  entries() = e;
  return true;
}

const std::string& Communication::LoadFailure() { return load_failure(); }

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
