// The line step case: one page, one subsystem, two nodes, one branch and one
// line (line_step.dta):
//
//   ground --[ 400 ohm, EMF e(t) ]-- node 1 ====[ line, Zc 400 ohm ]==== node 2 (open)
//
// The case's model code writes the source every step: e(t) = E for a step
// (frequency 0) or E sin(2 pi f t), t being the time of the end of the step the
// network is about to solve. With the source matched to the line, a wave of e/2
// enters the line, doubles at the open end after the travel time tau and is
// absorbed when it comes back:
//   v_far(t) = e(t - tau),   v_send(t) = (e(t) + e(t - 2 tau)) / 2.
//
// The parameters are the page's stored reals ("STOF:"):
//   1 EMF amplitude [kV]   2 frequency [Hz] (0: a step)
// Output channels: 1 the EMF [kV], 2 the sending-end voltage [kV], 3 the far-end
// voltage [kV], 4 the current into the line at the sending end [kA].
#include "line_step_case.h"

#include <cstdint>
#include <string_view>

#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/quolbv3.h"
#include "page_call.h"

namespace {

// The page's fixed counts: node record (subsystem, 0, two nodes), stored reals,
// output channels and branches of its subsystem.
constexpr std::int32_t kRecordLength = 4;
constexpr std::int32_t kStoredReals = 2;
constexpr std::int32_t kChannels = 4;
constexpr std::int32_t kBranches = 1;
constexpr std::int32_t kSourceBranch = 1;
constexpr std::int32_t kSendingNode = 1;
constexpr std::int32_t kFarNode = 2;
constexpr std::int32_t kLineRow = 1;  // the page's line is the case's only line

constexpr std::string_view kTag = "LINE_STEP   ";

struct PageCall {
  std::int32_t ss;
  std::int32_t stof_base;
  std::int32_t branch_base;
  std::int32_t node_base;  // global node k of the page is quolbv3::node(node_base + k)
};

PageCall enter_page(std::int32_t stof_base) {
  PageCall c{};
  c.ss = quolbv3::node(quolbv3::nnode + 1);
  wakro_testssn(kTag, c.ss);
  quolbv3::ncall_no += 1;
  c.stof_base = stof_base;
  c.node_base = quolbv3::nnode + 2;
  quolbv3::nnode += kRecordLength;
  c.branch_base = quolbv3::nbrch(c.ss);
  quolbv3::nbrch(c.ss) += kBranches;
  return c;
}

double node_voltage(const PageCall& c, std::int32_t local) {
  return e_s0::vdc(quolbv3::node(c.node_base + local), c.ss);
}

}  // namespace

void dsdyn() {
  example::open_call_record();
  const std::int32_t stof_base = quolbv3::nstof;
  quolbv3::nstof += kStoredReals;
  quolbv3::npgb += kChannels;
  const PageCall c = enter_page(stof_base);
  branches::ebr(c.branch_base + kSourceBranch, c.ss) = example::step_emf(c.stof_base, e_s1::time);
}

void dsout() {
  quolbv3::ntxfr += 1;
  const std::int32_t stof_base = quolbv3::txfr(quolbv3::ntxfr, 3);
  const std::int32_t channel_base = quolbv3::npgb;
  quolbv3::npgb += kChannels;
  const PageCall c = enter_page(stof_base);
  e_s4::pgb(channel_base + 1) = branches::ebr(c.branch_base + kSourceBranch, c.ss);
  e_s4::pgb(channel_base + 2) = node_voltage(c, kSendingNode);
  e_s4::pgb(channel_base + 3) = node_voltage(c, kFarNode);
  e_s4::pgb(channel_base + 4) = e_s0::cdctl(1, 1, kLineRow);
}

void dsdyn_begin() { (void)enter_page(0); }

void dsout_begin() { (void)enter_page(0); }
