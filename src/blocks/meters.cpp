// The three-phase voltage and power meters and the single-phase P/Q meter (see
// meters.h).
#include "blocks/meters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "blocks/continuous.h"
#include "blocks/lag_frame.h"
#include "blocks/network_reads.h"
#include "blocks/pll.h"
#include "blocks/rms_meters.h"
#include "blocks/slots.h"
#include "diag/nodeaccess.h"
#include "diag/outmsg.h"
#include "model/e_s1.h"

// realp2 inline (lag::realp2): the meters smooth every reading with it.
namespace lag = wakro::blocks::lag_frame;

namespace {

using wakro::blocks::check_branch;
using wakro::blocks::check_nodes;
using wakro::blocks::node_voltage;

constexpr double kRectifiedToRms = 0.7407;            // pi / (3 sqrt 2): mean of max - min to RMS
constexpr double kInvSqrt3 = 0.577350269189626;       // 1 / sqrt 3 of the branch-based meter
constexpr double kInvSqrt3Short = 0.57735;            // 1 / sqrt 3 of the node-based meter
constexpr double kPowerGain = 1.0;                    // lag gain of the power meters
constexpr double kDetectorToAngle = 3.141592653589793;  // phase detector output to radians
constexpr std::int32_t kP3ph2GroundText = 421;        // numbered text: real power at ground
constexpr std::int32_t kQ3ph2GroundText = 420;        // numbered text: reactive power at ground

using Three = std::array<double, 3>;

// Reactive power of a three-phase set from the line-to-line differences:
// [(vb - vc) ia + (vc - va) ib + (va - vb) ic] g; positive for lagging current.
double reactive(const Three& v, const Three& i, double g) {
  return ((v[1] - v[2]) * i[0] + (v[2] - v[0]) * i[1] + (v[0] - v[1]) * i[2]) * g;
}
double real(const Three& v, const Three& i) { return v[0] * i[0] + v[1] * i[1] + v[2] * i[2]; }

// The voltages at the measuring end and the currents of branches ka, kb, kc.
// The subsystem's columns are taken once for the three branches; inline, so that
// the six values stay in registers for the meter's quantity.
[[gnu::always_inline]] inline void branch_set(std::int32_t ss, std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t end, Three& v,
                Three& i) {
  const bool fromEnd = (ka >= 0 && end == 0) || (ka < 0 && end != 0);
  const std::array<std::int32_t, 3> k{std::abs(ka), std::abs(kb), std::abs(kc)};
  const auto ends = fromEnd ? branches::ief.plane(ss) : branches::iet.plane(ss);
  const auto cbr = branches::cbr.plane(ss);
  const auto vdc = e_s0::vdc.plane(ss);
  for (std::size_t p = 0; p < 3; ++p) {
    const std::int32_t n = ends(k[p]);
    v[p] = n == 0 ? 0.0 : vdc(n);
    i[p] = cbr(k[p]);
  }
}

// The branch-based meters share everything but their quantity.
template <class Quantity>
double branch_meter(const char* tag, std::int32_t ss, std::int32_t ka, std::int32_t kb, std::int32_t kc, double T,
                    std::int32_t end, Quantity quantity) {
  if (e_s1::timezero) {
    check_branch(tag, ss, ka);
    check_branch(tag, ss, kb);
    check_branch(tag, ss, kc);
  }
  Three v{}, i{};
  branch_set(ss, ka, kb, kc, end, v, i);
  double x = quantity(v, i);
  if (ka < 0) x = -x;
  const double y = lag::realp2(kPowerGain, T, x);
  namespace own = wakro::blocks::layout::branch_power;
  wakro::blocks::take_stor(own::kStorOwn)(own::kPower) = x;  // the unsmoothed power of this step
  return y;
}

// The node-based meters share everything but their quantity.
template <class Quantity>
double node_meter(const char* tag, std::int32_t groundText, std::int32_t ss, std::int32_t na, std::int32_t nb,
                  std::int32_t nc, std::int32_t ma, std::int32_t mb, std::int32_t mc, double T, Quantity quantity) {
  if (e_s1::timezero) {
    if (na == 0 || nb == 0 || nc == 0) outmsg(groundText);
    check_nodes(tag, ss, {na, nb, nc, ma, mb, mc});
  }
  const std::array<std::int32_t, 3> n{na, nb, nc}, m{ma, mb, mc};
  const bool toGround = ma == 0 || mb == 0 || mc == 0;
  Three v{}, i{};
  for (std::size_t p = 0; p < 3; ++p) {
    v[p] = node_voltage(n[p], ss);
    i[p] = toGround ? -cdc(n[p], n[p], ss) : cdc(n[p], m[p], ss);
  }
  return lag::realp2(kPowerGain, T, quantity(v, i));
}

}  // namespace

double vm3ph2(std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, double T) {
  if (e_s1::timezero) check_nodes("VM3PH2", ss, {na, nb, nc});
  const double va = node_voltage(na, ss), vb = node_voltage(nb, ss), vc = node_voltage(nc, ss);
  const double x = std::max({va, vb, vc}) - std::min({va, vb, vc});
  return lag::realp2(kRectifiedToRms, T, x);
}

double p3ph3(std::int32_t ss, std::int32_t ka, std::int32_t kb, std::int32_t kc, double T, std::int32_t end) {
  return branch_meter("P3PH3", ss, ka, kb, kc, T, end, real);
}

double q3ph3(std::int32_t ss, std::int32_t ka, std::int32_t kb, std::int32_t kc, double T, std::int32_t end) {
  return branch_meter("Q3PH3", ss, ka, kb, kc, T, end,
                      [](const Three& v, const Three& i) { return reactive(v, i, kInvSqrt3); });
}

double p3ph2(std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, std::int32_t ma, std::int32_t mb,
             std::int32_t mc, double T) {
  return node_meter("P3PH2", kP3ph2GroundText, ss, na, nb, nc, ma, mb, mc, T, real);
}

double q3ph2(std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, std::int32_t ma, std::int32_t mb,
             std::int32_t mc, double T) {
  return node_meter("Q3PH2", kQ3ph2GroundText, ss, na, nb, nc, ma, mb, mc, T,
                    [](const Three& v, const Three& i) { return reactive(v, i, kInvSqrt3Short); });
}

void pqvi1ph(std::int32_t ss, std::int32_t node, std::int32_t k, double T) {
  using namespace wakro::blocks::layout::pqvi1ph;
  if (e_s1::timezero) {
    check_branch("PQVI1PH", ss, k);
    check_nodes("PQVI1PH", ss, {node});
  }
  const double v = node_voltage(node, ss);
  const double i = k < 0 ? -branches::cbr(-k, ss) : branches::cbr(k, ss);
  const double V = rms3(v, T);
  const double I = rms3(i, T);
  double d = 0.0;
  phd3(v, i, d);
  const double phi = lag::realp2(kDetectorToAngle, T, d);
  const double P = lag::realp2(kPowerGain, T, v * i);
  const wakro::blocks::Slots<double> out = wakro::blocks::take_storf(kStorfSize);
  out(kP) = P;
  out(kQ) = std::sin(phi) * V * I;
}
