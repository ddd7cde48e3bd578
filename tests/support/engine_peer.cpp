// A second engine for the engine-to-engine tests: the far end of a link,
// driven by the same bindings an engine uses.
//
//   tcp-client <port>
//       Connects to 127.0.0.1:<port> as a client link (type 4) and answers each
//       message [tag, x, text] with [tag + 1, 2x, text] until a negative tag.
//   lib-client <library> <port> <connection> <id>...
//       Starts the communication library for the design environment at
//       127.0.0.1:<port>, opens one library channel per id on the connection
//       and answers each round of the set: every channel's [tag, x] with
//       [tag + 1, 2x], until a negative tag.
//   lib-send <library> <port> <connection> <id>:<value>...
//       Sends one raw channel message [id, value] per word on the connection,
//       in order, then ends.
//   cosim <library> <port> <connection>
//       Sends co-simulation messages: channel 7 (unknown to the test) at 0.05,
//       then channel 1 at 0.1, 0.2 and 0.4 with values 10, 20, 40; then waits
//       for the test's channel-1 message at 0.5, sends it back unchanged, and
//       takes the test's message at 0.6 before it ends.
// Exits with 0 on success, 2 when the link fails, 1 on bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "link/communication.h"
#include "link/cosimulation.h"
#include "link/engine_links.h"

namespace {

bool start_library(const char* library, const char* port) {
  if (!Communication::Load(library)) return false;
  std::vector<std::string> texts = {"engine_peer", "/API", "TCP", "/HOST", "127.0.0.1", "/PORT", port, "/ID", "9"};
  std::vector<char*> argv;
  for (std::string& t : texts) argv.push_back(t.data());
  const int result = Communication::Initialize(static_cast<int>(argv.size()), argv.data());
  wakro::bLumbra = result != 1 && result != 2;
  return wakro::bLumbra;
}

int tcp_client(int port) {
  const std::int32_t id = port;
  const std::int32_t type = kClientTcpType;
  if (!wakroclient("127.0.0.1", id, 0, type)) return 2;
  for (;;) {
    if (!exrecv1c(0, true, id, type)) return 2;
    std::int32_t tag = 0;
    double x = 0.0;
    char text[8] = {};
    exgeti1c(0, tag, id, type);
    exgetr1c(0, x, id, type);
    exgets1c(0, 7, text, id, type);
    if (tag < 0) return 0;
    exputi1c(0, tag + 1, id, type);
    exputr1c(0, 2 * x, id, type);
    const std::string field(text, 7);
    exputs1c(0, field.substr(0, field.find_last_not_of(' ') + 1).c_str(), id, type);
    exsend1c(0, id, type);
  }
}

int lib_client(const std::vector<std::int32_t>& ids) {
  const std::int32_t type = 0;
  for (;;) {
    exrecvlumbrac();
    bool last = false;
    for (std::int32_t id : ids) {
      exrecv1c(0, true, id, type);
      std::int32_t tag = 0;
      double x = 0.0;
      exgeti1c(0, tag, id, type);
      exgetr1c(0, x, id, type);
      last = last || tag < 0;
      exputi1c(0, tag + 1, id, type);
      exputr1c(0, 2 * x, id, type);
      exsend1c(0, id, type);
    }
    if (last) return 0;
    exsendlumbrac();
  }
}

int lib_send(unsigned connection, int count, char** words) {
  for (int k = 0; k < count; ++k) {
    unsigned char message[12];
    const std::int32_t id = std::atoi(words[k]);
    const char* colon = std::strchr(words[k], ':');
    const double value = colon != nullptr ? std::atof(colon + 1) : 0.0;
    std::memcpy(message, &id, 4);
    std::memcpy(message + 4, &value, 8);
    if (Communication::send_client(connection, message, sizeof message, 0) != 12) return 2;
  }
  return 0;
}

int cosim(std::int32_t connection) {
  const double time[] = {0.1, 0.2, 0.4};
  const double value[] = {10.0, 20.0, 40.0};
  exnewchco(connection, 7, 1, 0);
  exnewchco(connection, 1, 1, 1);
  exputdco(7, 0, -1.0);
  exsendco(7, 0.05);
  for (int k = 0; k < 3; ++k) {
    exputdco(1, 0, value[k]);
    exsendco(1, time[k]);
  }
  double echoed = 0.0;
  exgetdco(1, 0.5, 0, echoed);
  exputdco(1, 0, echoed);
  exsendco(1, 0.5);
  // The test's last message (0.6) is taken before the end, so it is never
  // sent to a closed connection.
  exgetdco(1, 0.6, 0, echoed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  const std::string mode = argv[1];
  try {
    if (mode == "tcp-client") return tcp_client(std::atoi(argv[2]));
    if (argc < 5) return 1;
    if (!start_library(argv[2], argv[3])) return 2;
    const std::int32_t connection = std::atoi(argv[4]);
    int status = 1;
    if (mode == "lib-client") {
      std::vector<std::int32_t> ids;
      for (int k = 5; k < argc; ++k) {
        ids.push_back(std::atoi(argv[k]));
        if (!wakroclient("", ids.back(), connection, 0)) return 2;
      }
      status = lib_client(ids);
    } else if (mode == "lib-send") {
      status = lib_send(static_cast<unsigned>(connection), argc - 5, argv + 5);
    } else if (mode == "cosim") {
      status = cosim(connection);
    }
    Communication::Finalize(0, nullptr);
    return status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Exchange Error: %s\n", e.what());
    return 2;
  }
}
