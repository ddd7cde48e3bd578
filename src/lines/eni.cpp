// ENI lines: the exchanges of a line whose two ends run in two processes (see
// eni.h).
//
// Server ends are numbered 1, 2, ... in directory-row order among the rows with
// role 1, client ends likewise among the rows with role 2; that number selects
// the end's entries of e_s7eni. The rows of the ends are found once per run
// (eni_init) so that the per-step exchanges walk short lists and allocate
// nothing.
//
// Messages (32-bit integers, 8-byte reals):
//   71  server -> client, time zero:      71, n, globaldm(r, c) for r = 1..n, c = r..n
//   74  client -> server, each run start: 74, 1, step, time step, finish time
//   72  client -> server, each step:      72, time, n voltages, k, k signals
//   73  server -> client, each step:      73, time, n negated history currents, k, k signals
#include "lines/eni.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diag/console.h"
#include "diag/console_input.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "link/bindings.h"
#include "link/engine_links.h"
#include "link/link_failure.h"
#include "link/process.h"
#include "link/stop_signal.h"
#include "model/ctrl.h"
#include "model/fatal.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "network/matrix.h"

namespace {

using wakro::lines::kClientEnd;
using wakro::lines::kServerEnd;
namespace dir = wakro::lines::layout::directory;

constexpr std::int32_t kLink = 0;           // the design environment's link
constexpr std::int32_t kBuffer = 0;         // buffer index of every engine-to-engine call
constexpr std::int32_t kNamesRecord = 19;
constexpr std::int32_t kTagAdmittance = 71;
constexpr std::int32_t kTagVoltages = 72;
constexpr std::int32_t kTagCurrents = 73;
constexpr std::int32_t kTagRunStart = 74;
constexpr std::int32_t kRunStartChecked = 1;  // tag 74's second integer: values follow
constexpr std::int32_t kBacklog = 1;
constexpr std::int32_t kClientPasses = 199;    // connection passes allowed beyond the client count
constexpr std::int32_t kClientRetryMs = 10;    // pause between two passes of client connections
constexpr std::int32_t kHostWidth = 72;
constexpr std::int32_t kMaxPort = 65535;
constexpr double kCheckTolerance = 1.0e-20;    // of the time step, for tag 74's reals

constexpr std::string_view kTagInit = "ENI_INIT    ";
constexpr std::string_view kTagPorts = "REC_ENI_PORT";
constexpr std::string_view kTagClient = "ENI_CLIENT  ";
constexpr std::string_view kTagServer = "ENI_SERVER  ";
constexpr std::string_view kTagVolt = "ENI_VOLTAGES";
constexpr std::string_view kTagCur = "ENI_CURINJ  ";

// The directory rows of the server ends and of the client ends, in end order.
std::vector<std::int32_t> server_rows;
std::vector<std::int32_t> client_rows;

void find_rows() {
  server_rows.clear();
  client_rows.clear();
  for (std::int32_t i = 1; i <= e_s7::img; ++i) {
    if (e_s7::linemodel(i, dir::kRole) == kServerEnd) server_rows.push_back(i);
    if (e_s7::linemodel(i, dir::kRole) == kClientEnd) client_rows.push_back(i);
  }
}

std::int32_t server_row(std::int32_t k) { return server_rows[static_cast<std::size_t>(k - 1)]; }
std::int32_t client_row(std::int32_t k) { return client_rows[static_cast<std::size_t>(k - 1)]; }

// The rows must match the counts of the dimension pass before any exchange.
bool rows_ready() {
  if (static_cast<std::int32_t>(server_rows.size()) != e_s7eni::eni_server ||
      static_cast<std::int32_t>(client_rows.size()) != e_s7eni::eni_client)
    find_rows();
  return static_cast<std::int32_t>(server_rows.size()) == e_s7eni::eni_server &&
         static_cast<std::int32_t>(client_rows.size()) == e_s7eni::eni_client;
}

[[noreturn]] void fatal(std::string_view text, std::string_view tag) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, text);
  wakro_quit(tag, 0);
}

std::string name_of(std::int32_t row) { return std::string(e_s7eni::line_name(row).trimmed()); }

// The link of one ENI end: its port is the link's id in every call.
struct EndLink {
  std::int32_t id;
  std::int32_t type;
  bool server;

  void puti(std::int32_t v) const { server ? exputi1s(kBuffer, v, id, type) : exputi1c(kBuffer, v, id, type); }
  void putr(double v) const { server ? exputr1s(kBuffer, v, id, type) : exputr1c(kBuffer, v, id, type); }
  void send() const { server ? exsend1s(kBuffer, id, type) : exsend1c(kBuffer, id, type); }
  bool poll() const {
    const bool wait = false;
    return server ? exrecv1s(kBuffer, wait, id, type) : exrecv1c(kBuffer, wait, id, type);
  }
  std::int32_t geti() const {
    std::int32_t v = 0;
    server ? exgeti1s(kBuffer, v, id, type) : exgeti1c(kBuffer, v, id, type);
    return v;
  }
  double getr() const {
    double v = 0.0;
    server ? exgetr1s(kBuffer, v, id, type) : exgetr1c(kBuffer, v, id, type);
    return v;
  }
};

EndLink server_link(std::int32_t k) {
  return {e_s7eni::eni_server_port(k), e_s7eni::eni_server_types(k), true};
}
EndLink client_link(std::int32_t k) {
  return {e_s7eni::eni_client_port(k), e_s7eni::eni_client_types(k), false};
}

// A stop signal came and the other process does not answer: the run ends
// here, with the signal's status.
[[noreturn]] void stop_waiting_for_the_other_process() {
  const int signal = wakro::g_received_stop_signal;
  wakro::ListLine() << std::string("Stopped by ") + wakro::stop_signal_name(signal) +
                           " while waiting for the other process of the ENI lines.";
  wakro::console().flush();
  throw wakro::FatalExit(128 + signal);
}

// Polls the ends 1..count of one side until each has delivered a message that
// starts with `tag`, handing the rest of each to take(k); messages with another
// first integer are dropped. The wait is bounded by the peer time limit, and
// once a stop signal has come by wakro::kWaitAfterStopMs: the steps that a
// stop still runs go on with a process that keeps up, a silent one ends the run.
template <typename LinkOf, typename Take>
void collect(std::int32_t count, wakro::FArray<bool, 1>& got, LinkOf link_of, std::int32_t tag,
             std::string_view routine, Take take) {
  for (std::int32_t k = 1; k <= count; ++k) got(k) = false;
  const auto deadline = wakro::peer_deadline();
  auto stop_deadline = std::chrono::steady_clock::time_point::max();
  std::int32_t missing = count;
  int tries = 0;
  while (missing > 0) {
    for (std::int32_t k = 1; k <= count; ++k) {
      if (got(k)) continue;
      const EndLink link = link_of(k);
      if (!link.poll() || link.geti() != tag) continue;
      take(k, link);
      got(k) = true;
      --missing;
    }
    if (missing == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now > deadline) fatal("No message from the other process of the ENI lines within the time limit.", routine);
    if (wakro::g_received_stop_signal != 0 && stop_deadline == std::chrono::steady_clock::time_point::max())
      stop_deadline = now + std::chrono::milliseconds(wakro::kWaitAfterStopMs);
    if (now > stop_deadline) stop_waiting_for_the_other_process();
    wakro::poll_pause(tries);
  }
}

// A signal count received from the other end: at most the own group B count of
// the row, inside the received-signal store.
std::int32_t signal_count(const EndLink& link, std::int32_t row, std::string_view routine) {
  const std::int32_t count = link.geti();
  const std::int32_t first = e_s7::linemodel(row, dir::kSendingReceives);
  if (count < 0 || count > e_s7::linemodel(row, dir::kSendingReceiveCount) ||
      (count > 0 && (first < 1 || std::int64_t{first} + count - 1 > quolbv3::cscr.extent(1))))
    fatal("ENI line " + name_of(row) + ": the other process sends " + std::to_string(count) +
              " control signals, more than this end receives.",
          routine);
  return count;
}

void put_signals(const EndLink& link, std::int32_t row) {
  const std::int32_t first = e_s7::linemodel(row, dir::kSendingSends);
  const std::int32_t count = e_s7::linemodel(row, dir::kSendingSendCount);
  link.puti(count);
  for (std::int32_t j = 0; j < count; ++j) link.putr(quolbv3::cscs(first + j));
}

void take_signals(const EndLink& link, std::int32_t row, std::string_view routine) {
  const std::int32_t count = signal_count(link, row, routine);
  const std::int32_t first = e_s7::linemodel(row, dir::kSendingReceives);
  for (std::int32_t j = 0; j < count; ++j) quolbv3::cscr(first + j) = link.getr();
}

double node_voltage(std::int32_t node, std::int32_t ss) { return node > 0 ? e_s0::vdc(node, ss) : 0.0; }

// 1. The links, first run only: every server end bound and listening, then
//    passes of accepts and client connections until every end is connected.
void connect_ends() {
  using namespace e_s7eni;
  for (std::int32_t k = 1; k <= eni_server; ++k) {
    std::int32_t port = eni_server_port(k);
    const std::string host(eni_host(k).trimmed());
    if (!wakroserver(port, eni_server_frn_clientid(k), eni_server_types(k), host.c_str()))
      fatal("ENI Connections cannot be established.", kTagServer);
    eni_server_port(k) = port;  // a port of 0 is now the one the system chose
    serverlisten(kBacklog, port, 0, eni_server_types(k));
    wakro::ListLine() << "ENI server " + name_of(server_row(k)) + " listens on port " + std::to_string(port);
    wakro::console().flush();  // the client's operator may be waiting for this port
  }
  const auto deadline = wakro::peer_deadline();
  std::int32_t passes = 0;
  for (;;) {
    // A stop signal ends the wait for the other process, before any step.
    if (wakro::g_received_stop_signal != 0) wakro::stop_on_signal("the other process of the ENI lines");
    std::int32_t servers = 0;
    for (std::int32_t k = 1; k <= eni_server; ++k) {
      if (!eni_server_receive(k)) eni_server_receive(k) = serveraccept(eni_server_port(k), 0, eni_server_types(k));
      if (eni_server_receive(k)) ++servers;
    }
    ++passes;
    std::int32_t clients = 0;
    for (std::int32_t k = 1; k <= eni_client; ++k) {
      if (!eni_client_receive(k)) {
        const std::string host(eni_host(eni_server + k).trimmed());
        eni_client_receive(k) =
            wakroclient(host.c_str(), eni_client_port(k), eni_client_frn_clientid(k), eni_client_types(k));
      }
      if (eni_client_receive(k)) ++clients;
    }
    if (servers == eni_server) {
      if (clients == eni_client) return;
      if (passes > eni_client + kClientPasses) fatal("ENI Connections cannot be established.", kTagClient);
      wakro_wait(kClientRetryMs);
    } else if (std::chrono::steady_clock::now() > deadline) {
      fatal("ENI Connections cannot be established.", kTagServer);
    }
  }
}

// 2. Time zero: the server ends send their admittance; the client ends take it
//    and stamp it into their subsystem as the line reader stamps a line's end.
void exchange_admittance() {
  using namespace e_s7eni;
  for (std::int32_t k = 1; k <= eni_server; ++k) {
    const std::int32_t i = server_row(k);
    const std::int32_t n = e_s7::linemodel(i, dir::kConductors);
    const EndLink link = server_link(k);
    link.puti(kTagAdmittance);
    link.puti(n);
    for (std::int32_t r = 1; r <= n; ++r)
      for (std::int32_t c = r; c <= n; ++c) link.putr(e_s7::globaldm(r, c, i));
    link.send();
  }
  if (eni_server > 0) exsendlumbras();
  if (eni_client < 1) return;
  exrecvlumbrac();
  collect(eni_client, eni_client_receive, client_link, kTagAdmittance, kTagInit,
          [](std::int32_t k, const EndLink& link) {
            const std::int32_t i = client_row(k);
            const std::int32_t n = link.geti();
            if (n != e_s7::linemodel(i, dir::kConductors) || n > ndde::nd5)
              fatal("ENI line " + name_of(i) + ": the other process has " + std::to_string(n) +
                        " conductors, this process " +
                        std::to_string(e_s7::linemodel(i, dir::kConductors)) + ".",
                    kTagInit);
            for (std::int32_t r = 1; r <= n; ++r)
              for (std::int32_t c = r; c <= n; ++c) e_s7::globaldm(r, c, i) = e_s7::globaldm(c, r, i) = link.getr();
          });
  for (std::int32_t k = 1; k <= eni_client; ++k) {
    const std::int32_t i = client_row(k);
    const std::int32_t n = e_s7::linemodel(i, dir::kConductors);
    const std::vector<std::int32_t> nodes = wakro::lines::client_end_nodes(k, n);
    std::vector<double> block(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (std::int32_t c = 1; c <= n; ++c)
      for (std::int32_t r = 1; r <= n; ++r)
        block[static_cast<std::size_t>((c - 1) * n + r - 1)] = e_s7::globaldm(r, c, i);
    wakro::stamp_admittance("ENI_INIT", eni_client_ss(k), nodes, wakro::SymmetricAdmittance::dense(block, n),
                            wakro::AdmittanceMeaning::nodal);
  }
}

// 3. Every run's first step: the client ends send their step, time step and
//    finish time; the server ends check them against their own.
void exchange_run_start() {
  using namespace e_s7eni;
  for (std::int32_t k = 1; k <= eni_client; ++k) {
    const EndLink link = client_link(k);
    link.puti(kTagRunStart);
    link.puti(kRunStartChecked);
    link.puti(ctrl::iii);
    link.putr(e_s1::delt);
    link.putr(e_s1::fintim);
    link.send();
  }
  if (eni_client > 0) exsendlumbrac();
  if (eni_server < 1) return;
  exrecvlumbras();
  collect(eni_server, eni_server_receive, server_link, kTagRunStart, kTagInit,
          [](std::int32_t, const EndLink& link) {
            if (link.geti() != kRunStartChecked) return;
            const std::int32_t step = link.geti();
            const double delt = link.getr();
            const double fintim = link.getr();
            const double tolerance = e_s1::delt * kCheckTolerance;
            if (step == ctrl::iii && !(std::fabs(delt - e_s1::delt) > tolerance) &&
                !(std::fabs(fintim - e_s1::fintim) > tolerance))
              return;
            wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                          "Projects linked with ENI lines have different");
            wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                          " startup times, time steps or finish times.");
            wakro_quit(kTagInit, 0);
          });
}

// One end's host, port and peer id of command 25.
struct PortEntry {
  std::int32_t type = 0;
  wakro::FixedText<kHostWidth> host;
  std::int32_t port = 0;
  std::int32_t frn = 0;
};

PortEntry read_port_entry(std::int32_t row) {
  PortEntry e;
  exgeti(kLink, e.type);
  char field[kHostWidth];
  exgets(kLink, kHostWidth, field);
  e.host = std::string_view(field, kHostWidth);
  exgeti(kLink, e.port);
  exgeti(kLink, e.frn);
  if (ctrl::firstrun && (e.port < 0 || e.port > kMaxPort))
    fatal("ENI line " + name_of(row) + ": port " + std::to_string(e.port) + " is not in 0 to 65535.", kTagPorts);
  return e;
}

void port_line(std::string_view text, std::int32_t row, const PortEntry& e, std::string_view host) {
  wakro::ListLine() << text << ctrl::lumbra_wakroid << name_of(row) << e.port << host << e.frn;
}

}  // namespace

void sendeninames() {
  using namespace e_s7eni;
  find_rows();
  exputi(kLink, kNamesRecord);
  exputi(kLink, eni_server);
  exputi(kLink, eni_client);
  for (const std::vector<std::int32_t>* rows : {&server_rows, &client_rows})
    for (std::int32_t i : *rows) exputs(kLink, line_name(i).trimmed());
  exsend(kLink);
}

void recveniports() {
  using namespace e_s7eni;
  find_rows();
  for (std::int64_t k = 1; k <= eni_host.extent(1); ++k) eni_host(static_cast<std::int32_t>(k)).blank();
  std::int32_t total = 0;
  exgeti(kLink, total);
  if (total != eni_client + eni_server ||
      static_cast<std::int32_t>(server_rows.size() + client_rows.size()) != total)
    fatal("Total number received does not match the total number of ENI lines", kTagPorts);
  for (std::int32_t k = 1; k <= eni_server; ++k) {
    const PortEntry e = read_port_entry(server_row(k));
    if (!ctrl::firstrun) continue;
    eni_host(k) = "localhost";  // a server end always listens on this host
    eni_server_types(k) = e.type;
    eni_server_port(k) = e.port;
    eni_server_frn_clientid(k) = e.frn;
    port_line("server lines: Clientid, name, port, host,frn clientid ", server_row(k), e, eni_host(k).trimmed());
  }
  for (std::int32_t k = 1; k <= eni_client; ++k) {
    const PortEntry e = read_port_entry(client_row(k));
    if (!ctrl::firstrun) continue;
    eni_host(eni_server + k) = e.host.view();
    eni_client_types(k) = e.type;
    eni_client_port(k) = e.port;
    eni_client_frn_clientid(k) = e.frn;
    port_line("client lines: Clientid, name, port, host, frn clientid ", client_row(k), e, e.host.trimmed());
  }
}

void eni_init() {
  using namespace e_s7eni;
  for (std::int32_t k = 1; k <= eni_server; ++k) eni_server_receive(k) = false;
  for (std::int32_t k = 1; k <= eni_client; ++k) eni_client_receive(k) = false;
  if (eni_server + eni_client == 0) return;
  if (!rows_ready()) fatal("The ENI line ends read differ from those counted.", kTagInit);
  if (ctrl::firstrun) connect_ends();
  if (e_s1::timezero) exchange_admittance();
  exchange_run_start();
}

void eni_voltages() {
  using namespace e_s7eni;
  if (eni_server + eni_client == 0 || !rows_ready()) return;
  for (std::int32_t k = 1; k <= eni_client; ++k) {
    const std::int32_t i = client_row(k);
    const EndLink link = client_link(k);
    link.puti(kTagVoltages);
    link.putr(e_s1::time);
    for (std::int32_t c = 1; c <= e_s7::linemodel(i, dir::kConductors); ++c)
      link.putr(node_voltage(eni_client_nodes(c, k), eni_client_ss(k)));
    put_signals(link, i);
    link.send();
  }
  if (eni_client > 0) exsendlumbrac();
  if (eni_server < 1) return;
  exrecvlumbras();
  collect(eni_server, eni_server_receive, server_link, kTagVoltages, kTagVolt,
          [](std::int32_t k, const EndLink& link) {
            const std::int32_t i = server_row(k);
            (void)link.getr();  // the client's time
            for (std::int32_t c = 1; c <= e_s7::linemodel(i, dir::kConductors); ++c)
              eni_server_vol(c, k) = link.getr();
            take_signals(link, i, kTagVolt);
          });
}

void eni_curinj() {
  using namespace e_s7eni;
  if (eni_server + eni_client == 0 || !rows_ready()) return;
  for (std::int32_t k = 1; k <= eni_server; ++k) {
    const std::int32_t i = server_row(k);
    const EndLink link = server_link(k);
    link.puti(kTagCurrents);
    link.putr(e_s1::time);
    for (std::int32_t c = 1; c <= e_s7::linemodel(i, dir::kConductors); ++c)
      link.putr(e_s0::cdctl(c, 2, i));
    put_signals(link, i);
    link.send();
  }
  if (eni_server > 0) exsendlumbras();
  if (eni_client < 1) return;
  exrecvlumbrac();
  collect(eni_client, eni_client_receive, client_link, kTagCurrents, kTagCur,
          [](std::int32_t k, const EndLink& link) {
            const std::int32_t i = client_row(k);
            const std::int32_t ss = eni_client_ss(k);
            (void)link.getr();  // the server's time
            for (std::int32_t c = 1; c <= e_s7::linemodel(i, dir::kConductors); ++c) {
              // The far end's negated history: injected at the client's node,
              // and this step's value of the row's terminal-current base.
              const double history = link.getr();
              const std::int32_t node = eni_client_nodes(c, k);
              if (node > 0) e_s0::ccli(node, ss) -= history;
              e_s0::cdctl(c, 1, i) = history;
            }
            take_signals(link, i, kTagCur);
          });
}
