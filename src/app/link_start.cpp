// beginCommunication and endCommunication: the link's start and its closing
// exchange.
#include "app/link_start.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string_view>

#include "app/args.h"
#include "app/seams.h"
#include "diag/console.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "link/communication.h"
#include "link/exchange.h"
#include "link/exchange_tcp.h"
#include "link/link_failure.h"
#include "link/process.h"
#include "link/stop_signal.h"

namespace {

constexpr const char* kLoopbackHost = "localhost";

std::string cut(std::string_view text, std::size_t buffer) {
  return std::string(text.substr(0, buffer - 1));
}

const std::string& host_of(const wakro::ArgReader& a) {
  static const std::string loopback = kLoopbackHost;
  return a.hasHost ? a.host : loopback;
}

// The communication library's start results that mean failure, said in words.
constexpr int kStartNotConnected = 1;  // no connection to the design environment
constexpr int kStartBadTexts = 2;      // the start texts name no valid port

void report_refused_start(const wakro::ArgReader& a, int result) {
  std::ostream& err = wakro::console_err();
  err << "The communication library " << a.lumbra << " refused the start: Communication_Initialize returned "
      << result;
  if (result == kStartNotConnected)
    err << " (it could not connect to the design environment at " << host_of(a) << ':' << a.port << ").\n";
  if (result == kStartBadTexts) err << " (it refused its start texts: no valid host or port).\n";
  err.flush();
}

bool open_library_link(const wakro::ArgReader& a) {
  auto texts = wakro::library_start_texts(wakro::szProgramName, host_of(a), a.port, a.id);
  std::array<char*, 9> argv{};
  for (std::size_t k = 0; k < texts.size(); ++k) argv[k] = texts[k].data();
  const int result = Communication::Initialize(9, argv.data());
  if (result == 1 || result == 2) {
    report_refused_start(a, result);
    return false;
  }
  Exchange* link = wakro::seams().library_server_link(0);
  if (link == nullptr) {
    wakro::console_err() << "Unable to open the communication library's server channel 0.\n";
    return false;
  }
  exQuolb = link;
  wakro::bUseLumbra = true;
  wakro::bLumbra = true;
  return true;
}

}  // namespace

namespace wakro {

bool open_tcp_link(const std::string& hostName, int port) {
  const std::string host = cut(hostName, 128);
  auto* tcp = new ExchangeTcp();
  errno = 0;
  if (tcp->Connect(host.c_str(), port)) {
    exQuolb = tcp;
    return true;
  }
  const int error = errno;
  delete tcp;
  if (error == EINTR && wakro::g_received_stop_signal != 0) {
    wakro::ListLine() << std::string("Stopped by ") + wakro::stop_signal_name(wakro::g_received_stop_signal) +
                             " while connecting to the design environment: the run did not start.";
    wakro::console().flush();
    return false;
  }
  std::ostream& err = wakro::console_err();
  err << wakro::szProgramName << ": " << std::strerror(error != 0 ? error : ECONNREFUSED) << '\n';
  err << "Failed to connect to " << host << ':' << static_cast<unsigned short>(port) << '\n';
  err.flush();
  return false;
}

std::array<std::string, 9> library_start_texts(const std::string& program, const std::string& host,
                                               int port, int id) {
  return {cut(program, 260),
          "/API",
          "TCP",
          "/HOST",
          cut(host, 256),
          "/PORT",
          cut(std::to_string(port), 16),
          "/ID",
          cut(std::to_string(id), 16)};
}

}  // namespace wakro

bool beginCommunication() {
  const wakro::ArgReader& a = wakro::cArguments;
  if (a.standalone || !a.hasLocale || a.port == -1) return true;
  if (!a.portValid) {
    wakro::console_err() << "Invalid port number '" << a.portText << "': a port is 1 to 65535.\n";
    wakro::console_err().flush();
    return false;
  }
  if (a.useLumbra) {
    if (Communication::Load(a.lumbra.c_str())) return open_library_link(a);
    wakro::console_err() << "WARNING: The communication library " << a.lumbra
                         << " is not used: " << Communication::LoadFailure()
                         << "; the link is opened over TCP instead.\n";
  }
  return wakro::open_tcp_link(host_of(a), a.port);
}

namespace {

// Reads the messages that have arrived, without waiting in a receive, until
// the closing -999 or the time limit; true when the -999 came.
bool closing_answer_within(std::chrono::steady_clock::duration limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  int tries = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (exQuolb->RecvMsg(false)) {
      std::int32_t tag = 0;
      *exQuolb >> tag;
      if (tag == -999) return true;
      continue;
    }
    if (exQuolb->Broken()) return false;
    wakro::poll_pause(tries);
  }
  return false;
}

}  // namespace

bool endCommunication() {
  if (exQuolb == nullptr) return true;
  // A model message still waiting for its last line goes first, so that -999
  // travels as a message of its own and the peer can recognise it.
  wakro::close_open_model_message();
  *exQuolb << std::int32_t{-999};
  exQuolb->SendMsg();
  // 1. The answer, waited for until a stop signal comes (or came before).
  bool closed = false;
  {
    const wakro::WaitsEndOnStop stop_ends_the_wait;
    while (!closed && wakro::g_received_stop_signal == 0) {
      if (!exQuolb->RecvMsg(true)) {
        if (exQuolb->Broken()) break;
        continue;  // a stop signal ended the wait: the loop ends on it
      }
      std::int32_t tag = 0;
      *exQuolb >> tag;
      closed = tag == -999;
    }
  }
  // 2. After a stop signal, a short wait at most: a peer that answers at once
  //    keeps its handshake, a silent one does not hold the stopped program.
  const int stop = wakro::g_received_stop_signal;
  if (!closed && stop != 0 && !exQuolb->Broken()) closed = closing_answer_within(std::chrono::milliseconds(wakro::kWaitAfterStopMs));
  if (wakro::bUseLumbra) Communication::Finalize(0, nullptr);
  if (closed) return true;
  if (!exQuolb->Broken()) {
    wakro::ListLine() << std::string("Stopped by ") + wakro::stop_signal_name(stop) +
                             " while waiting for the design environment's answer to the closing exchange.";
    wakro::console().flush();
    return false;
  }
  // The link's own error report ("Exchange Error: ...") has no line end.
  wakro::console_err() << "\nThe link to the design environment closed before the closing exchange.\n";
  wakro::console_err().flush();
  return false;
}

bool LoadLumbra(int argc, const char* const* argv) {
  for (int k = 1; k + 1 < argc; ++k) {
    if (argv[k] == nullptr || std::strncmp(argv[k], "/Lumbra", 7) != 0) continue;
    if (argv[k + 1] != nullptr && Communication::Load(argv[k + 1])) return true;
  }
  return false;
}
