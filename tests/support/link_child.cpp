// A second process for the spawning tests: connects to 127.0.0.1:<port> as the
// connecting side of a link, takes the key block and one message holding an
// integer n, and answers with n + 1 and its host name. Exits with 0 on success,
// 2 when the link fails, 1 on bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/exchange_tcp.h"
#include "link/process.h"

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const int port = std::atoi(argv[1]);
  ExchangeTcp link;
  if (!link.Connect("127.0.0.1", port)) return 2;
  if (!link.RecvMsg(true)) return 2;
  std::int32_t n = 0;
  link >> n;
  char host[17];
  std::memset(host, ' ', 16);
  host[16] = '\0';
  getmyhostname(host, 16);
  link << static_cast<std::int32_t>(n + 1) << host;
  link.SendMsg();
  return link.Broken() ? 2 : 0;
}
