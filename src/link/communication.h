// Communication: the process-wide facade of the communication library.
//
// Load opens the library by its path (dlopen) and looks up its eleven entry
// points; it succeeds only when all are found, and after a failure no entry
// point is left set and the library is closed again. Every forwarder called
// without its entry point throws the text "DLL Not Loaded" (a
// std::runtime_error).
//
// What the engine requires of the library: server calls carry the link to the
// design environment (connection 0), client calls the engine-to-engine channel
// sets and the co-simulation channels. A send returns the size sent (0: the
// connection closed; negative: an error); a peek returns the size of the next
// whole message, a negative value when none is waiting (flags 1 looks once,
// flags 0 may wait), and kPeerClosed or below when the connection is closed; a
// receive takes the next whole message and returns its size.
#pragma once

#include <cstdint>
#include <string>

class Communication {
 public:
  // Peek results of this value or below: the connection is closed.
  static constexpr std::int64_t kPeerClosed = -2;

  Communication() = delete;

  // Loads the library and looks up its eleven entry points; true only when all
  // were found. No entry point is left set after a failure.
  static bool Load(const char* path);
  static bool Loaded();
  // Why the last Load failed ("it cannot be loaded (<system text>)", "it has no
  // entry point <name>" naming the first one missing); empty after a success.
  static const std::string& LoadFailure();

  static int Initialize(int argc, char** argv);
  static int Finalize(int argc, char** argv);

  static std::int64_t send_client(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t recv_client(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t peek_client(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t send_server(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t recv_server(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t peek_server(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t send_other(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t recv_other(unsigned id, void* data, std::uint64_t size, unsigned flags);
  static std::int64_t peek_other(unsigned id, void* data, std::uint64_t size, unsigned flags);
};

namespace wakro {

// The communication library is started and used for links: the engine-to-engine
// bindings then take library channels for every link type but the TCP ones.
inline bool bLumbra = false;

}  // namespace wakro
