// The ENI step case: the line step case (a matched EMF feeding a line whose far
// end is open) written so that the same page can hold the whole line or only
// one of its ends, for a line split over two processes:
//
//   whole line:   ground --[ R, EMF ]-- node 1 ==== line ==== node 2 (open)
//   server end:   ground --[ R, EMF ]-- node 1 ==== line (far end elsewhere)
//   client end:   (line from elsewhere) ==== node 1 (open)    node 2 --[ R ]-- ground
//
// The page's node record holds its subsystem, a 0 and the global nodes; it has one branch, whose EMF the case writes every step: E for
// a step (frequency 0) or E sin(2 pi f t). Its stored reals ("STOF:"):
//   1 EMF amplitude [kV]   2 frequency [Hz] (0: a step)   3 node count
// After every step the node voltages are written to "volts.txt" in the working
// folder, one line per step: run, step and each node voltage as a hexadecimal
// floating-point number, then the line's two terminal values (e_s0::cdctl of
// its sending and receiving end), so that two runs can be compared bit for bit.
#include "eni_step_case.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "diag/validators.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/quolbv3.h"
#include "page_call.h"

namespace {

constexpr std::int32_t kStoredReals = 3;
constexpr std::int32_t kBranches = 1;
constexpr std::int32_t kSourceBranch = 1;
constexpr std::int32_t kMaxNodes = 2;
constexpr std::int32_t kLineRow = 1;  // the page's line is the case's only line
constexpr std::string_view kTag = "ENI_STEP    ";

struct PageCall {
  std::int32_t ss;
  std::int32_t nodes;
  std::int32_t stof_base;
  std::int32_t branch_base;
  std::int32_t node_base;  // global node k of the page is quolbv3::node(node_base + k)
};

PageCall enter_page(std::int32_t stof_base) {
  PageCall c{};
  c.ss = quolbv3::node(quolbv3::nnode + 1);
  wakro_testssn(kTag, c.ss);
  c.nodes = example::count_from_real(quolbv3::stof(stof_base + 3), 1, kMaxNodes,
                                     "The page's node count (its stored real 3)", kTag);
  quolbv3::ncall_no += 1;
  c.stof_base = stof_base;
  c.node_base = quolbv3::nnode + 2;
  quolbv3::nnode += 2 + c.nodes;
  c.branch_base = quolbv3::nbrch(c.ss);
  quolbv3::nbrch(c.ss) += kBranches;
  return c;
}

void write_volts(const PageCall& c) {
  static std::FILE* out = std::fopen("volts.txt", "w");
  if (out == nullptr) return;
  std::fprintf(out, "%d %d", ctrl::mmm, ctrl::iii);
  for (std::int32_t k = 1; k <= c.nodes; ++k)
    std::fprintf(out, " %a", e_s0::vdc(quolbv3::node(c.node_base + k), c.ss));
  for (std::int32_t end = 1; end <= 2; ++end) std::fprintf(out, " %a", e_s0::cdctl(1, end, kLineRow));
  std::fprintf(out, "\n");
  std::fflush(out);
}

}  // namespace

void dsdyn() {
  example::open_call_record();
  const std::int32_t stof_base = quolbv3::nstof;
  quolbv3::nstof += kStoredReals;
  const PageCall c = enter_page(stof_base);
  branches::ebr(c.branch_base + kSourceBranch, c.ss) = example::step_emf(c.stof_base, e_s1::time);
}

void dsout() {
  quolbv3::ntxfr += 1;
  const std::int32_t stof_base = quolbv3::txfr(quolbv3::ntxfr, 3);
  write_volts(enter_page(stof_base));
}

void dsdyn_begin() { (void)enter_page(0); }

void dsout_begin() { (void)enter_page(0); }
