// chatdt: the chatter detector, run by incalcvi on the last sub-step of a step.
//
// For each item (node voltage: VDCNEW against VDC; branch current: CBRNEW against
// CBR) a signed counter counts the consecutive solutions on which the value
// swings by more than GLVL(ss) to the other side of the mean of its new and
// previous value (negative after a fall, positive after a rise). At six STABCK(ss)
// is set, the counter restarts, and the item is reported once per run when the
// design environment is connected or plotting is on. Once STABCK(ss) is set the
// remaining counters of the call are cleared. Ideal branches are left out of the
// current check: their new currents are formed only after it.
//
// Leaves: clvi::icntv / icntbr, clvi::nchat_rep / brchat_rep, temp1::stabck(ss).
#include <cmath>

#include "diag/console.h"
#include "diag/format.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/spcial.h"
#include "model/temp1.h"
#include "network/chatter.h"

namespace {

// One item: new value x, previous value y; true when its chatter is detected now.
bool chatters(std::int32_t ss, double x, double y, std::int32_t& counter) {
  if (temp1::stabck(ss)) {
    counter = 0;
    return false;
  }
  bool fired = false;
  const std::int32_t c = chatter_count(x, y, int2::glvl(ss), counter, fired);
  if (fired) {
    temp1::stabck(ss) = true;
    counter = 0;
    return true;
  }
  counter = c;
  return false;
}

bool reports_on() { return quolbv3::guisoc != 0 || outppp::pplot != 0.0; }

void report_branch(std::int32_t ss, std::int32_t i);

// The current of branch i: new value x against CBR, reported once when asked.
void branch_current(std::int32_t ss, std::int32_t i, double x, bool report) {
  if (!chatters(ss, x, branches::cbr(i, ss), clvi::icntbr(i, ss))) return;
  if (report) report_branch(ss, i);
}


// The voltage check of every node in one pass: the counters moved on without
// the flag, then, from the first node that fired on, as the node-by-node check
// leaves them (the flag set, the later counters restarted, that node reported).
void node_voltages(std::int32_t ss) {
  const std::int32_t n = e_s0::mbus(ss);
  std::int32_t* const counter = &clvi::icntv(1, ss) - 1;
  if (temp1::stabck(ss)) {
    for (std::int32_t i = 1; i <= n; ++i) counter[i] = 0;
    return;
  }
  const double* const vnew = spcial::vdcnew.data() - 1;
  const double* const vdc = &e_s0::vdc(1, ss) - 1;
  const double level = int2::glvl(ss);
  std::int32_t first = n + 1;
  for (std::int32_t i = 1; i <= n; ++i) {
    bool fired = false;
    counter[i] = chatter_count(vnew[i], vdc[i], level, counter[i], fired);
    first = fired && i < first ? i : first;
  }
  if (first <= n) chatdt_nodes_fired(ss, first);
}

void report_branch(std::int32_t ss, std::int32_t i) {
  if (!reports_on() || !clvi::brchat_rep(i, ss)) return;
  wakro::write_layout(wakro::console(), "('Current chatter:        SS# ',I2,'   Br# ',I4)",
                      {ss, i});
  clvi::brchat_rep(i, ss) = false;
}

}  // namespace

void chatdt(std::int32_t ss, std::int32_t mode) {
  if (mode == 3) return;
  if (mode == 1) {
    node_voltages(ss);
    return;
  }
  for (std::int32_t i = 1; i <= int2::insb(ss); ++i) {
    if (branches::idealbr(i, ss)) continue;
    branch_current(ss, i, spcial::cbrnew(i), mode == 2);
  }
}

void chatdt_nodes_fired(std::int32_t ss, std::int32_t first) {
  const std::int32_t n = e_s0::mbus(ss);
  std::int32_t* const counter = &clvi::icntv(1, ss) - 1;
  temp1::stabck(ss) = true;
  for (std::int32_t i = first; i <= n; ++i) counter[i] = 0;
  if (!reports_on() || !clvi::nchat_rep(first, ss)) return;
  wakro::write_layout(wakro::console(), "('Voltage chatter:        SS# ',I2,' Node# ',I4)",
                      {ss, first});
  clvi::nchat_rep(first, ss) = false;
}

void chatdt_branches_fired(std::int32_t ss, std::int32_t first) {
  temp1::stabck(ss) = true;
  for (std::int32_t i = first; i <= int2::insb(ss); ++i)
    if (!branches::idealbr(i, ss)) clvi::icntbr(i, ss) = 0;
  report_branch(ss, first);
}

void chatdt_branches_held(std::int32_t ss) {
  for (std::int32_t i = 1; i <= int2::insb(ss); ++i)
    if (!branches::idealbr(i, ss)) clvi::icntbr(i, ss) = 0;
}

void intchat(std::int32_t ss, std::int32_t a, std::int32_t b) {
  options::interpss(ss) = a == 1;
  options::rmchatter(ss) = b == 1;
}
