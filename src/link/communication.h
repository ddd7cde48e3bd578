// Communication: the process-wide facade of the communication library.
//
// The library is loaded at run time by its path; this facade keeps its entry
// points and forwards calls to them. Loading is not yet wired to a library, so
// Load always answers false with no entry point set, and start-up falls back to
// the TCP link. Every forwarder called without its entry point throws the text
// "DLL Not Loaded" (a std::runtime_error).
#pragma once

#include <cstdint>

class Communication {
 public:
  Communication() = delete;

  // Loads the library and looks up its eleven entry points; true only when all
  // were found. No entry point is left set after a failure.
  static bool Load(const char* path);
  static bool Loaded();

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
