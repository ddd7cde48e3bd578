// Per-step cost of an ENI line on the loopback: one three-conductor line whose
// server end runs in this process and whose client end runs in a child process
// started for the benchmark. One iteration is the server end's share of a step,
// eni_voltages (waits for the client's voltages, tag 72) and eni_curinj (sends
// the history currents, tag 73); the child answers in lock-step with the same
// two routines, so the time is one round trip between two engine processes over
// TCP plus the packing of the values.
#include <benchmark/benchmark.h>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "lines/eni.h"
#include "lines/line_records.h"
#include "link/engine_links.h"
#include "link/link_failure.h"
#include "model/e_s0.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/quolbv3.h"

namespace {

constexpr std::int32_t kConductors = 3;
constexpr std::int32_t kSignals = 2;  // control signals carried each way

// One directory row and the arrays both ends use (once: the benchmark body
// runs several times).
void allocate_line() {
  if (e_s7::linemodel.allocated()) return;
  e_s7::img = 1;
  e_s7::linemodel.allocate(1, 13);
  e_s7::linemodel.fill(0);
  e_s7::linemodel(1, 5) = kConductors;
  for (std::int32_t g : {6, 8, 10, 12}) e_s7::linemodel(1, g) = 1;
  e_s7::linemodel(1, 7) = e_s7::linemodel(1, 9) = kSignals;
  e_s0::vdc.allocate(kConductors, 1);
  e_s0::vdc.fill(1.0);
  e_s0::ccli.allocate(kConductors, 1);
  e_s0::cdctl.allocate(kConductors, 2, 1);
  e_s0::cdctl.fill(0.5);
  quolbv3::cscs.allocate(kSignals);
  quolbv3::cscs.fill(2.0);
  quolbv3::cscr.allocate(kSignals);
  e_s7eni::line_name.allocate(1);
  e_s7eni::eni_server_port.allocate(1);
  e_s7eni::eni_server_types.allocate(1);
  e_s7eni::eni_server_receive.allocate(1);
  e_s7eni::eni_server_vol.allocate(kConductors, 1);
  e_s7eni::eni_client_port.allocate(1);
  e_s7eni::eni_client_types.allocate(1);
  e_s7eni::eni_client_receive.allocate(1);
  e_s7eni::eni_client_ss.allocate(1);
  e_s7eni::eni_client_nodes.allocate(kConductors, 1);
  e_s7eni::eni_server_types(1) = kServerTcpType;
  e_s7eni::eni_client_types(1) = kClientTcpType;
  e_s7eni::eni_client_ss(1) = 1;
  for (std::int32_t c = 1; c <= kConductors; ++c) e_s7eni::eni_client_nodes(c, 1) = c;
}

// The client end in the child: connects, then steps until the link closes.
[[noreturn]] void client_end(std::int32_t port) {
  e_s7eni::eni_server = 0;
  e_s7eni::eni_client = 1;
  e_s7::linemodel(1, 4) = wakro::lines::kClientEnd;
  e_s7eni::eni_client_port(1) = port;
  if (!wakroclient("127.0.0.1", port, 0, kClientTcpType)) std::_Exit(2);
  try {
    for (;;) {
      eni_voltages();
      eni_curinj();
    }
  } catch (const LinkFatal&) {
    std::_Exit(0);  // the benchmark closed the link
  }
}

void BM_EniLineStepOnLoopback(benchmark::State& state) {
  allocate_line();
  e_s7::linemodel(1, 4) = wakro::lines::kServerEnd;
  std::int32_t port = 0;
  if (!wakroserver(port, 0, kServerTcpType, "localhost")) {
    state.SkipWithError("no server link");
    return;
  }
  serverlisten(1, port, 0, kServerTcpType);
  const pid_t child = fork();
  if (child == 0) client_end(port);
  while (!serveraccept(port, 0, kServerTcpType)) {
  }
  e_s7eni::eni_server = 1;
  e_s7eni::eni_client = 0;
  e_s7eni::eni_server_port(1) = port;
  for (auto _ : state) {
    eni_voltages();
    eni_curinj();
    benchmark::DoNotOptimize(e_s7eni::eni_server_vol(1, 1));
  }
  release_engine_links();
  int status = 0;
  waitpid(child, &status, 0);
}
BENCHMARK(BM_EniLineStepOnLoopback)->Unit(benchmark::kMicrosecond);

}  // namespace
