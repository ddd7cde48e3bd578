// The blocks allocate nothing per call: every operator new of this test program
// is counted, and a hundred steps of every block (time-zero pass excluded) and a
// matrix inverse must not add to the count.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "block_bench.h"
#include "blocks/configured.h"
#include "blocks/configured_delay.h"
#include "blocks/continuous.h"
#include "blocks/converter_controls.h"
#include "blocks/current_order.h"
#include "blocks/events.h"
#include "blocks/filters.h"
#include "blocks/frequency.h"
#include "blocks/generators.h"
#include "blocks/harmonics.h"
#include "blocks/interpolated.h"
#include "blocks/matrix.h"
#include "blocks/meters.h"
#include "blocks/phase_meters.h"
#include "blocks/pid_controller.h"
#include "blocks/pll.h"
#include "blocks/poles.h"
#include "blocks/rms_meters.h"
#include "blocks/sampled_rms.h"
#include "blocks/sector_frequency.h"
#include "blocks/surges.h"
#include "blocks/tc_inputs.h"
#include "blocks/transfer_function.h"
#include "blocks/xy_table.h"
#include "meter_network.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "support/allocation_counter.h"

namespace {
std::atomic<long>& g_news = wakro_test::allocations;
std::vector<int>* volatile& g_probe = wakro_test::allocation_probe;
}  // namespace

namespace blocks_test {
namespace {

// The configuration of the configured blocks, read back by their _exe calls.
void configure_blocks() {
  rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
  delay2_cfg(0, 10, 0, 4e-3, 0.0);
  discretizer1_cfg(-1.0, -10, 1.0, 10);
  e_xflip1_cfg(1, 0, 1, 0);
  surge1_cfg(1, 2, 3, 5, 10);
  surge_ieee1_cfg(1, 0, 0, 0, 1, 0);
  surge_cigre1_cfg(24.3, 77.5, 3.83, 31.1, 0);
  e_xigen1_cfg(0, 2e-3, 1, 100);
  e_xsgen1_cfg(2, 90, 50, 1, 0);
}

// The surge, timer, pulse and signal generators and the firing-pulse blocks.
double generator_blocks(double x) {
  const XPair X{x > 0.0 ? 1.0 : 0.0, 0.3e-3};
  XPair o{};
  double y = 0.0, sum = 0.0;
  surge1_exe(x, y);
  sum += y;
  surge_ieee1_exe(y);
  sum += y;
  surge_cigre1_exe(y);
  sum += y;
  e_xigen1_exe(o);
  e_xsgen1_exe(2, 100, o);
  sum += sgen11(1, 1, 50, 1, 0, 5, 0);
  wakro_xondlay(1, 2e-3, X, o);
  wakro_xttrans(0, 2e-3, 3e-3, X, o);
  wakro_xmstab(1, 2e-3, X, o);
  wakro_xigen(1, 1, 2e-3, 1, 5e-3, o);
  wakro_xsgen(2, 1, 90, 100, 50, 1, 0, o);
  wakro_blp(x, 0.2, 10, -10, o);
  wakro_itfp(1, 1e-3, 10, -10, x, 0.2, o);
  wakro_igfp(1, 10, -10, x, 0.2, -0.2, -x, o);
  return sum + o[0];
}

// The interpolated, event and sampling blocks (those that print on every call by
// design are left out).
double event_blocks(double x) {
  const XPair X{x, 0.3e-3}, C{x > 0.0 ? 1.0 : 0.0, 0.5e-3}, rest{0.0, 0.0};
  XPair o{};
  double y = wakro_xint(1, 1, 1, 0.0, 0.1, 0.0, -1.0, 1.0, C, X);
  y += wakro_xpi(1, 1.0, 0.1, -1.0, 1.0, 0.0, X) + wakro_xpi2(1, 1.0, 0.1, -1.0, 1.0, 0.0, X);
  wakro_xzcd(x, o);
  wakro_x2comp(1, 0, x, 0.2, 1.0, 0.0, 0.0, o);
  wakro_xhbuff(0, 1, x, 0.5, -0.5, o);
  std::array<double, 18> g{};
  g[0] = C[0];
  g[1] = x > 0.5 ? 1.0 : 0.0;
  wakro_xlgate(0, 2, g, o);
  wakro_xflip(0, 1, 0, 1, X, rest, C, o);
  e_xflip1_exe(X, rest, C, o);
  wakro_xshift(4, 1, 1, 0b0101, C, X, o);
  const std::int32_t on = x > 0.0 ? 1 : 0;
  std::int32_t q = 0, qn = 0, t2 = 0;
  double held = 0.0;
  wakro_zcd(x, o);
  y += wakro_izcd1(x) + mono2(on, 2e-3) + mono3(on, 2e-3) + latck2(on, 1 - on, 0, 0, on, q, qn);
  y += itimr1(on, 3e-3) + itimr3(on, 1 - on, 3e-3, 2e-3, 0) + timer3(1e-3, 2e-3, x, 0.0, 0.0, 1.0);
  t2m3(on, 1 - on, 2e-3, 3e-3, 0, t2);
  wakro_binon(x, 0.1, -x, 0.1, 1, o);
  wakro_sonon(x, 0.0, 2e-3, 1, o);
  y += xnor(on, 1) + and2or(on, 1, 0, 1) + delax(4e-3, 4, x) + sampl2(3e-3, x);
  y += samp5(x, 250.0, 0, 0.0, 0) + samp5(x, 0.0, on, 0.4e-3, 1);
  sandh2(x, on, 1, held);
  const std::array<double, 4> values{x, -x, 0.5 * x, 0.1};
  std::array<std::int32_t, 4> order{};
  e_sorter(4, 3, 1, 1, values, order);
  return y + o[0] + held + t2 + order[0];
}

double all_blocks(double x) {
  e_s2::nexc = 0;
  storage::nstorf = 1;
  storage::nstori = 1;
  storage::nstorl = 1;
  storage::nstorc = 1;
  rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
  double y = limit(-1.0, 1.0, x);
  y += realp2(1.0, 0.1, x) + realp2(1.0, 1e-3, x) + difpl2(0.1, x) + ldlag2(0.1, 0.2, 1.0, x);
  y += intgl3(0.0, -1.0, 1.0, 0.1, x) + pi3(1.0, 0.1, -1.0, 1.0, 0.0, x) + deriv1(1.0, x);
  y += cmpxp5(1, 1.0, 0.5, 10.0, x) + delay(4e-3, 10, x) + delayi(4e-3, 10, x);
  y += realpole(0, 1, 1, 1.0, 0.1, x, 0.0, -1.0, 1.0);
  y += pid_controller(1.0, 10.0, 0.01, 1e-3, -1.0, 1.0, 0.0, x, 0);
  y += vrealp8(1.0, 0.1, x, 0.0, 0, 1) + vpi9a(1.0, 0.1, -1.0, 1.0, 0.0, x, 0, 1);
  double r = 0.0;
  rate_limiter(1.0, 1.0, x, r);
  double delayed = 0.0;
  delay2_exe(x, delayed);
  const std::array<double, 1> in{x};
  std::array<std::int32_t, 1> level{};
  discretizer1_exe(1, in, level);
  return y + r + delayed + level[0] + event_blocks(x) + generator_blocks(x);
}

TEST(NoAllocation, BlocksAllocateNothingPerCall) {
  // The counter sees this program's allocations (the probe proves it).
  const long before = g_news.load();
  g_probe = new std::vector<int>(3);
  delete g_probe;
  ASSERT_GT(g_news.load(), before);

  BlockBench bench(1e-3);
  e_s1::delt = 1e-3;
  e_s1::timezero = true;
  configure_blocks();
  double sum = all_blocks(0.0);
  e_s1::timezero = false;
  std::array<double, 16> a{}, inv{}, work{};
  std::array<std::int32_t, 4> l{}, m{};
  for (int k = 0; k < 4; ++k) a[k * 4 + k] = 2.0 + k;

  const long start = g_news.load();
  for (int step = 1; step <= 100; ++step) {
    e_s1::time = 1e-3 * step;
    sum += all_blocks(std::sin(0.1 * step));
    sum += matinv(a.data(), inv.data(), 4, nullptr, work.data(), l.data(), m.data()) ? inv[0] : 0.0;
  }
  EXPECT_EQ(g_news.load(), start);
  EXPECT_TRUE(std::isfinite(sum));
}

// The meters and measurement blocks, on a three-branch synthetic network whose
// voltages and currents follow x.
double meter_blocks(double x) {
  e_s2::nexc = 0;
  storage::nstorf = storage::nstori = storage::nstorl = storage::nstorc = 1;
  rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
  for (int k = 1; k <= 3; ++k) {
    e_s0::vdc(k, 1) = x * k;
    branches::cbr(k, 1) = -x * k;
  }
  OneSubsystem one;
  double y = vm3ph2(1, 1, 2, 3, 0.1) + p3ph3(1, 1, 2, 3, 0.1, 0) + q3ph3(1, -1, 2, 3, 0.1, 1);
  y += p3ph2(1, 1, 2, 3, 4, 5, 6, 0.1) + q3ph2(1, 1, 2, 3, 0, 0, 0, 0.1);
  pqvi1ph(1, 1, 1, 0.1);
  y += rms3ph(x, -x, 0.5) + rms3(x, 0.1) + arms10(x, 0.01, 50.0, 0.0) + vrms10(1, 1, 2, 0.01, 50.0, 0.0);
  y += crms10(1, 1, 4, 0.01, 50.0, 0.0) + crms11(1, 2, 0.01, 50.0, 0.0) + v1max4(x, 1.0);
  double peak = 0.0;
  vmea35(1, 2, 3, 1, 1.0, 1.0, 314.0, peak);
  vmea35(1, 2, 3, 1, 2.0, 1.0, 314.0, peak);
  y += peak;
  double angle = 0.0, r1 = 0.0, r2 = 0.0;
  mphase3ps(1, 0, x, -0.5 * x, 0.2, 0.02, 50.0, angle);
  y += angle;
  mphase1ps(1, 1, x, 0.02, 50.0, angle);
  y += angle + phas3p(x, -x, 0.3, 0.2, x, -0.1, r1, r2) + r1 + r2 + d1ph10(x, 30.0, 314.0, 1.0);
  double th = 0.0, er = 0.0, fr = 0.0, ya = 0.0, yb = 0.0, yc = 0.0, g1 = 0.0, g2 = 0.0, g3 = 0.0;
  tveka3(x, -0.5 * x, 0.2, 50.0, 450.0, 1.0, 50.0, 0.0, 0.05, th, er, fr);
  tvekn3(x, -0.5 * x, 0.2, 50.0, 450.0, 1.0, 50.0, 0.0, 0.05, th, er, fr);
  tvekt3(x, -0.5 * x, 0.2, 50.0, 450.0, 1.0, 50.0, fr, th, er);
  std::array<double, 6> refs{x, 0, 0, 0, 0, 0};
  tvpuln(0, refs);
  edph2(x, -x, 0.1, ya, yb, yc, 50.0);
  std::int32_t cmd = 0, isNew = 0;
  y += icpsw4(x > 0 ? 1 : 0, 0, 5, 2, 3e-3) + cpsw_exe(x > 0 ? 1 : 0, 0, 2, cmd, 3e-3);
  const std::array<double, 6> valves{x, -x, x, -x, 0.5 * x, -0.5 * x}, times{1e-3, 2e-3, 3e-3, 4e-3, 5e-3, 6e-3};
  gama18(valves, times, 0.0, 50.0, g1, g2, g3);
  gamme6(x, -x, er, 1.0, 50.0, isNew);
  double vo = 0.0, io = 0.0;
  vdvocr(0.8, 1.0 + x, 2.0, 0.6, 0.3, 0.25, vo, io);
  y += vo + io;
  vdvoci(0.8, 1.0 + x, 2.0, 0.6, 0.3, 0.25, vo, io, x, 0.5, 0.3, 0.4);
  y += vo + io;
  y += th + er + fr + refs[5] + ya + yb + yc + cmd + g1 + g2 + g3 + isNew;
  double sampled = 0.0;
  dgtl_rms(16, 50.0, x, 1.0, 0.0, sampled);
  y += sampled;
  dgtl_rms3(16, 1, 1, 2, 3, 50.0, 1.0, 0.0, sampled);
  y += sampled;
  dgtl_rms3a(4, x, -x, 0.1, 50.0, 1.0, 0.0, sampled);
  y += sampled;
  double sf = 0.0, sw = 0.0, sdw = 0.0, sv = 0.0;
  // A set without zero sequence: the unbalance line is a message, not a step.
  fwav22(x, -0.5 * x, -0.5 * x, 1.0, 314.0, 0.05, sf, sw, sdw, sv);
  const std::array<double, 3> bus{x, -0.5 * x, -0.5 * x};
  e_fwav1_exe(bus, sw, sdw, sv);
  y += sf + sw + sdw + sv;
  double vrms = 0.0, freq = 0.0;
  e_meas_freq(1.0, 50.0, x, vrms, freq);
  double theta = 0.0, error = 0.0, fPll = 0.0;
  tveka1_exe(x, -0.5 * x, 0.3 * x, 50.0, 450.0, 0.0, 0.05, 1.2, 0.8, theta, error, fPll);
  return y + vrms + freq + theta + error + fPll;
}

TEST(NoAllocation, MetersAllocateNothingPerCall) {
  BlockBench bench(1e-3);
  allocate_meter_network(6, 6);
  set_meter_network(6, 6);
  for (int k = 1; k <= 3; ++k) {
    branches::ief(k, 1) = k;
    branches::iet(k, 1) = k + 3;
    branches::ief(k + 3, 1) = k;
    branches::iet(k + 3, 1) = 0;
  }
  e_s1::delt = 1e-3;
  e_s1::timezero = true;
  rt_config::nrtcf = rt_config::nrtci = 1;
  tveka1_cfg(1.0, 50.0);
  cpsw_cfg(5);
  e_fwav1_cfg(1.0, 50.0, 0.05);
  double sum = meter_blocks(0.0);
  e_s1::timezero = false;
  const long start = g_news.load();
  for (int step = 1; step <= 100; ++step) {
    e_s1::time = 1e-3 * step;
    sum += meter_blocks(std::sin(0.1 * step));
  }
  EXPECT_EQ(g_news.load(), start);
  EXPECT_TRUE(std::isfinite(sum));
}

// The transfer function, the tuned filters, the harmonic scanner (filter on and
// off), the sequence components and the frequency tracker, from fresh pointers.
double transfer_and_harmonic_blocks(double x) {
  e_s2::nexc = 0;
  storage::nstorf = 1;
  const std::array<double, 11> num{1.0, 0.5}, den{1.0, 0.3, 0.02}, x0{};
  const std::int32_t design = e_s1::timezero ? 1 : 0;
  double y = 0.0, sum = 0.0;
  tfdn10(2, num.data(), den.data(), x0.data(), 1, design, x, y);
  sum += y;
  tfnn35(2, num.data(), den.data(), x0.data(), 0, 100.0, x, y);
  sum += y;
  filn15(4, 50.0, 2.0, 1.0, 2, 3, 1, x, y);
  sum += y;
  filn15(4, 50.0, 2.0, 0.0, 1, 1, 0, x, y);
  sum += y;
  std::array<double, 7> mag{}, pha{}, mb{}, mc{}, pb{}, pc{};
  std::int32_t index = 0;
  double dc = 0.0, f = 0.0;
  ftn180(0, 1, 7, 1, 0, 50.0, x, index, mag.data(), pha.data(), dc);
  ftn180(1, 2, 7, 0, 0, 50.0, x, index, mag.data(), pha.data(), dc);
  ftseqn(7, 0, mag.data(), mb.data(), mc.data(), pha.data(), pb.data(), pc.data());
  ftrac2(1, 0, x, 50.0, f);
  rt_config::nrtcf = 1;
  std::array<double, 10> xy{};
  xytable_t_exe(3, 1, 0, x, xy.data());
  sum += xy[0];
  xytable_t2_exe(3, 1, 1, x, xy.data());
  return sum + xy[0] + mag[0] + dc + f;
}

TEST(NoAllocation, TransferFunctionAndHarmonicBlocksAllocateNothingPerCall) {
  BlockBench bench(1e-3);
  e_s1::delt = 1e-3;
  e_s1::timezero = e_s1::firststep = true;
  const std::array<double, 110> table{-1.0, 0.0, 1.0, 0, 0, 0, 0, 0, 0, 0, 5.0, 6.0, 8.0};
  rt_config::nrtcf = 1;
  xytable_t_cfg(3, 1, table.data());
  const std::array<double, 6> table2{-1.0, 0.0, 1.0, 5.0, 6.0, 8.0};
  xytable_t2_cfg(3, 1, table2.data());
  double sum = transfer_and_harmonic_blocks(0.0);
  e_s1::timezero = e_s1::firststep = false;
  const long start = g_news.load();
  for (int step = 1; step <= 100; ++step) {
    e_s1::time = 1e-3 * step;
    sum += transfer_and_harmonic_blocks(std::sin(0.1 * step));
  }
  EXPECT_EQ(g_news.load(), start);
  EXPECT_TRUE(std::isfinite(sum));
}

}  // namespace
}  // namespace blocks_test
