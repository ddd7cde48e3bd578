// Engine-to-engine links: opening TCP links and library channels, and the
// client (1c) and server (1s) binding families on them.
#include "link/engine_links.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/bindings.h"
#include "link/client_exchange.h"
#include "link/communication.h"
#include "link/cosimulation.h"
#include "link/exchange_tcp.h"
#include "link/link_failure.h"
#include "link/servers.h"

namespace {

// Local buffer of the text gets (511 characters and the NUL).
constexpr std::size_t kGetTextBuffer = 512;

// The TCP links opened here; CEx and SEx only point at them.
std::vector<std::unique_ptr<ExchangeTcp>>& owned_links() {
  static std::vector<std::unique_ptr<ExchangeTcp>> links;
  return links;
}

// The two families: their records, their TCP type and their channel set.
struct Family {
  bool server;
  std::int32_t tcpType;
  ClientExchange& channels;
};

const Family kClient{false, kClientTcpType, lumbraENICEx};
const Family kServer{true, kServerTcpType, lumbraENISEx};

bool uses_tcp(const Family& f, std::int32_t type) { return type == f.tcpType || !wakro::bLumbra; }

// Calls fn on the link of every record of the family with the id.
template <typename Fn>
void each_link(const Family& f, std::int32_t id, Fn fn) {
  if (f.server) {
    for (const SExRecord& r : SEx)
      if (r.id == id && r.link != nullptr) fn(*r.link);
  } else {
    for (const CExRecord& r : CEx)
      if (r.id == id && r.link != nullptr) fn(*r.link);
  }
}

// The first link of the family with the id; null when none.
Exchange* first_link(const Family& f, std::int32_t id) {
  Exchange* found = nullptr;
  each_link(f, id, [&](Exchange& link) {
    if (found == nullptr) found = &link;
  });
  return found;
}

template <typename T>
void put(const Family& f, std::int32_t index, const T& value, std::int32_t id, std::int32_t type) {
  if (index != 0) return;
  if (uses_tcp(f, type)) {
    each_link(f, id, [&](Exchange& link) { link << value; });
  } else {
    f.channels.write(id, value);
  }
}

template <typename T>
void get(const Family& f, std::int32_t index, T& value, std::int32_t id, std::int32_t type) {
  if (index != 0) return;
  if (uses_tcp(f, type)) {
    if (Exchange* link = first_link(f, id)) *link >> value;
  } else {
    f.channels.read(id, value);
  }
}

void get_text(const Family& f, std::int32_t index, std::int32_t n, char* field, std::int32_t id,
              std::int32_t type) {
  if (index != 0) return;
  char text[kGetTextBuffer] = {};
  if (uses_tcp(f, type)) {
    Exchange* link = first_link(f, id);
    if (link == nullptr) return;
    link->ReadText(text, sizeof text);
  } else {
    const ClientExchange::Channel* c = f.channels.Find(id);
    if (c == nullptr || c->recv == nullptr) return;
    f.channels.read(id, text, sizeof text);
  }
  if (n >= 1) StrC2F(field, text, n);
}

void send(const Family& f, std::int32_t index, std::int32_t id, std::int32_t type) {
  if (index != 0 || !uses_tcp(f, type)) return;
  each_link(f, id, [](Exchange& link) { link.SendMsg(); });
}

bool recv(const Family& f, std::int32_t index, bool wait, std::int32_t id, std::int32_t type) {
  if (index != 0) return false;
  if (!uses_tcp(f, type)) return true;
  Exchange* link = first_link(f, id);
  if (link == nullptr) return false;
  if (link->RecvMsg(wait)) return true;
  // A link that broke (closed, timed out, bad frame) can never deliver again.
  if (link->Broken())
    throw LinkFatal("The engine-to-engine link " + std::to_string(id) + " is closed.");
  return false;
}

// The receive limit of every engine-to-engine TCP link.
void limit(Exchange& link) { static_cast<ExchangeTcp&>(link).SetReceiveLimit(wakro::peer_wait_ms); }

}  // namespace

bool wakroclient(const char* host, const std::int32_t& id, const std::int32_t& connection,
                 const std::int32_t& type) {
  if (!uses_tcp(kClient, type)) return lumbraENICEx.newChannel(static_cast<unsigned short>(connection), id);
  auto link = std::make_unique<ExchangeTcp>();
  if (!link->Connect(host, id)) return false;  // the link object is dropped
  link->SetReceiveLimit(wakro::peer_wait_ms);
  CEx.push_back(CExRecord{id, link.get()});
  owned_links().push_back(std::move(link));
  return true;
}

bool wakroserver(std::int32_t& port, const std::int32_t& connection, const std::int32_t& type, const char*,
                 std::int32_t) {
  if (!uses_tcp(kServer, type)) {
    if (lumbraENISEx.newChannel(static_cast<unsigned short>(connection), port)) return true;
    port = -1;
    return false;
  }
  auto link = std::make_unique<ExchangeTcp>();
  const int bound = port >= 0 ? link->Bind(static_cast<unsigned>(port)) : -1;
  if (bound <= 0) {
    const std::string text = "Cannot bind the server link to port " + std::to_string(port) + ".";
    Exchange::throwError(text.c_str());
    std::fputc('\n', stderr);
    port = -1;
    return false;
  }
  if (port == 0) port = bound;
  SEx.push_back(SExRecord{port, link.get(), 0});
  owned_links().push_back(std::move(link));
  return true;
}

void serverlisten(const std::int32_t& backlog, const std::int32_t& id, const std::int32_t& index,
                  const std::int32_t& type) {
  if (index != 0 || !uses_tcp(kServer, type)) return;
  each_link(kServer, id, [&](Exchange& link) { static_cast<ExchangeTcp&>(link).Listen(backlog); });
}

bool serveraccept(const std::int32_t& id, const std::int32_t& index, const std::int32_t& type) {
  if (!uses_tcp(kServer, type)) return true;
  if (index != 0) return false;
  bool accepted = false;
  each_link(kServer, id, [&](Exchange& link) {
    accepted = static_cast<ExchangeTcp&>(link).Accept();
    if (accepted) limit(link);
  });
  return accepted;
}

void exputi1c(const std::int32_t& index, const std::int32_t& value, const std::int32_t& id, const std::int32_t& type) {
  put(kClient, index, value, id, type);
}
void exputi1s(const std::int32_t& index, const std::int32_t& value, const std::int32_t& id, const std::int32_t& type) {
  put(kServer, index, value, id, type);
}
void exputr1c(const std::int32_t& index, const double& value, const std::int32_t& id, const std::int32_t& type) {
  put(kClient, index, value, id, type);
}
void exputr1s(const std::int32_t& index, const double& value, const std::int32_t& id, const std::int32_t& type) {
  put(kServer, index, value, id, type);
}
void exputs1c(const std::int32_t& index, const char* text, const std::int32_t& id, const std::int32_t& type) {
  put(kClient, index, text, id, type);
}
void exputs1s(const std::int32_t& index, const char* text, const std::int32_t& id, const std::int32_t& type) {
  put(kServer, index, text, id, type);
}
void exgeti1c(const std::int32_t& index, std::int32_t& value, const std::int32_t& id, const std::int32_t& type) {
  get(kClient, index, value, id, type);
}
void exgeti1s(const std::int32_t& index, std::int32_t& value, const std::int32_t& id, const std::int32_t& type) {
  get(kServer, index, value, id, type);
}
void exgetr1c(const std::int32_t& index, double& value, const std::int32_t& id, const std::int32_t& type) {
  get(kClient, index, value, id, type);
}
void exgetr1s(const std::int32_t& index, double& value, const std::int32_t& id, const std::int32_t& type) {
  get(kServer, index, value, id, type);
}
void exgets1c(const std::int32_t& index, const std::int32_t& n, char* field, const std::int32_t& id,
              const std::int32_t& type) {
  get_text(kClient, index, n, field, id, type);
}
void exgets1s(const std::int32_t& index, const std::int32_t& n, char* field, const std::int32_t& id,
              const std::int32_t& type) {
  get_text(kServer, index, n, field, id, type);
}
void exsend1c(const std::int32_t& index, const std::int32_t& id, const std::int32_t& type) {
  send(kClient, index, id, type);
}
void exsend1s(const std::int32_t& index, const std::int32_t& id, const std::int32_t& type) {
  send(kServer, index, id, type);
}
bool exrecv1c(const std::int32_t& index, const bool& wait, const std::int32_t& id, const std::int32_t& type) {
  return recv(kClient, index, wait, id, type);
}
bool exrecv1s(const std::int32_t& index, const bool& wait, const std::int32_t& id, const std::int32_t& type) {
  return recv(kServer, index, wait, id, type);
}
void exsendlumbrac() { lumbraENICEx.send(); }
void exsendlumbras() { lumbraENISEx.send(); }
void exrecvlumbrac() { lumbraENICEx.receive(); }
void exrecvlumbras() { lumbraENISEx.receive(); }

void release_engine_links() {
  CEx.clear();
  SEx.clear();
  owned_links().clear();
  lumbraENICEx.clear();
  lumbraENISEx.clear();
  Cosimulation::cChannelManager.clear();
}
