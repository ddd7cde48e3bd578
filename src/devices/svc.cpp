// The compensator set up from its ratings: derived inductances and capacitances,
// its six network branches, the configuration store, and the step that meets the
// network through the Norton currents of its interface branches.
#include "devices/svc.h"

#include <cmath>
#include <numbers>
#include <string_view>

#include "blocks/converter_controls.h"
#include "blocks/network_reads.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "devices/svc_model.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "network/companion.h"
#include "network/matrix.h"

namespace {

using wakro::devices::SvcConstants;

constexpr std::string_view kTag = "SVC";
using wakro::kThird;
constexpr double kInvSqrt3 = 0.577350269189626;
constexpr double kSqrt3 = 1.732050807568877;
constexpr double kC0Floor = 0.05;           // of a stage, for a positive C0
constexpr double kRcOhmFactor = 7.0;        // terminal R-C: 7 V1^2 / S ohm
constexpr double kRcSteps = 10.0;           // its time constant in steps
constexpr double kGcSteps = 5.0;            // GC = 5 w delt / (V1^2 / S)
constexpr double kMinShunt = 1.0e-10;       // S: a shunt below this has no record
constexpr std::int32_t kHarmTerminals = 6;  // registry kind of a three-node impedance
namespace L = wakro::devices::layout::svc1;
namespace H = wakro::devices::layout::svc_head;
constexpr std::int32_t kRtcf = L::kRtcfSize, kRtci = L::kRtciSize;

// Slots of the configuration store (1-based).
constexpr std::int32_t kCfgMinv = L::kMinv, kCfgD = L::kD, kCfgMinvB = L::kMinvB, kCfgRow9 = L::kRow9;
constexpr std::int32_t kCfgIsat = L::kIsat, kCfgScale = L::kScale, kCfgGc = L::kGc, kCfgKp = L::kKp, kCfgKi = L::kKi;
constexpr std::int32_t kCfgFknee = L::kFknee, kCfgTflux = L::kTflux, kCfgXair = L::kXair, kCfgV1 = L::kV1,
                       kCfgF = L::kF;

void require(bool ok, std::string_view what) {
  if (!ok) wakro::devices::device_fatal(kTag, what);
}

// The terminal node of an interface branch and the sign that turns a current
// into the node into the branch's Norton current.
struct Terminal {
  std::int32_t node;
  double sign;
};
Terminal terminal(std::int32_t iss, std::int32_t br) {
  const std::int32_t f = branches::ief(br, iss), t = branches::iet(br, iss);
  return f == 0 ? Terminal{t, 1.0} : Terminal{f, -1.0};
}

void check_data(const SvcRatings& d) {
  require(d.s > 0.0 && d.v1 > 0.0 && d.v2 > 0.0 && d.f > 0.0, "SVC rating, voltages and frequency must be positive");
  require(d.im[0] > 0.0 && d.im[1] > 0.0 && d.im[2] > 0.0, "SVC magnetising currents must be positive");
  require(d.ql != 0.0 && d.qc != 0.0 && d.q0 != 0.0, "SVC reactive powers QL, QC and Q0 must not be zero");
  require(d.ncap >= 1 && d.nc0 >= 0, "SVC needs at least one capacitor stage and a non-negative initial count");
  require(d.rd > 0.0 && d.cs_uf > 0.0, "SVC discharge resistance and snubber capacitance must be positive");
  require(d.xair > 0.0 && d.tflux > 0.0, "SVC saturation slope and flux time constant must be positive");
  require(d.scale != 0.0, "SVC scale factor must not be zero");
  require(d.nsub >= 1, "SVC needs at least one sub-step per time step");
  for (int p = 0; p < 3; ++p) {
    wakro::blocks::check_branch(kTag, d.iss, d.ibr[p]);
    const std::int32_t f = branches::ief(d.ibr[p], d.iss), t = branches::iet(d.ibr[p], d.iss);
    require((f == 0) != (t == 0), "SVC interface branch must join a terminal node to ground");
  }
}

}  // namespace

void svc1_cfg(const SvcRatings& d) {
  using std::sqrt;
  check_data(d);
  // Step 1: derived quantities.
  const double w = wakro::kTwoPi * d.f;
  const double sph = d.s * kThird;
  const double v1ph = d.v1 * kInvSqrt3, v2ph = d.v2 * kInvSqrt3;
  const double zb1 = v1ph * v1ph / sph, zb2 = v2ph * v2ph / sph;
  const double l1 = zb1 / (0.01 * d.im[0] * w);
  const double l2 = zb2 / (0.01 * d.im[1] * w);
  const double l3 = (d.v2 * d.v2 / sph) / (0.01 * d.im[2] * w);
  const double m12 = sqrt(l1 * l2) * (1.0 - d.x12 * zb1 / (2.0 * w * l1));
  const double m13 = sqrt(l1 * l3) * (1.0 - d.x13 * zb1 / (2.0 * w * l1));
  const double m23 = sqrt(l2 * l3) * (1.0 - d.x23 * zb2 / (2.0 * w * l2));
  const double v2sq = d.v2 * d.v2;
  const double lt = 6.0 * (v2sq / d.ql - d.x12 * v2sq / d.s) / w;
  require(lt > 0.0, "SVC reactor inductance is not positive: QL too large for the leakage X12");
  const double cst = 1.0 / (6e-6 * w * d.ncap * v2sq * (1.0 / d.qc + d.x12 / d.s));
  const double c0p = 1.0 / (6e-6 * w * d.ncap * v2sq * (1.0 / d.q0 + d.x12 / d.s));
  const double c0 = c0p <= 0.0 ? c0p : std::max(c0p, kC0Floor * cst);
  const double zs = d.v1 * d.v1 / d.s;
  const double rrc = kRcOhmFactor * zs;
  const double gc = kGcSteps * w * e_s1::delt / zs;
  // Step 4 first, so that a singular matrix stops before any branch changes.
  double l9[81] = {};
  auto set = [&l9](int i, int j, double value) { l9[9 * (j - 1) + (i - 1)] = l9[9 * (i - 1) + (j - 1)] = value; };
  for (int p = 1; p <= 3; ++p) {
    set(p, p, l1);
    set(3 + p, 3 + p, l3);
    set(6 + p, 6 + p, l2);
    set(p, 3 + p, m13);
    set(p, 6 + p, m12);
    set(3 + p, 6 + p, m23);
  }
  SvcConstants k;
  wakro::devices::svc_transformer(kTag, l9, k);
  // Step 5 check: the valve resistances.
  if (d.roff <= d.ron) wakro::devices::device_fatal(kTag, "On resistance must be less than Off resistance");
  // Steps 2-3: the terminal R-C branches and the interface branches.
  for (int p = 0; p < 3; ++p) rcbranch(d.iss, d.irc[p], rrc, rrc > 0.0 ? 1e7 * e_s1::delt / rrc : 0.0);
  for (int p = 0; p < 3; ++p) {
    branches::defrdbr(d.ibr[p], d.iss) = true;
    wakro::change_branch_conductance(kTag, d.iss, d.ibr[p], (gc + d.gsh) * d.scale);
  }
  // Step 6: the stage counts.
  std::int32_t ncap = d.ncap, nc0 = d.nc0;
  if (ncap > wakro::devices::kSvcMaxStages) {
    ncap = wakro::devices::kSvcMaxStages;
    wakro::devices::device_warn("The maximum number of capacitor stages is reset to 10");
  }
  if (nc0 > ncap) {
    nc0 = ncap;
    wakro::devices::device_warn("The initial number of capacitor stages entered reset to the maximum");
  }
  // Steps 5 and 7: the configuration.
  const auto cf = wakro::blocks::take_rtcf(kRtcf);
  const double head[8] = {lt, d.r, d.cs_uf * 1e-6, d.ron, d.roff, cst * 1e-6, c0 * 1e-6, d.rd};
  for (int i = 0; i < H::kSize; ++i) cf(H::kLt + i) = head[i];
  for (int i = 0; i < 64; ++i) cf(kCfgMinv + i) = k.minv[i];
  k.lt = lt;
  wakro::devices::svc_reactor_matrix(k);
  for (int i = 0; i < 6; ++i) cf(kCfgD + i) = k.d[i];
  for (int i = 0; i < 32; ++i) cf(kCfgMinvB + i) = k.minvb[i];
  for (int i = 0; i < 8; ++i) cf(kCfgRow9 + i) = k.row9[i];
  const auto ci = wakro::blocks::take_rtci(kRtci);
  ci(L::kNcap) = ncap;
  ci(L::kNc0) = nc0;
  ci(L::kNsub) = d.nsub;
  ci(L::kNref) = d.nref;
  const double tail[11] = {kSqrt3 * d.s / d.v1, d.scale, d.gsh, gc, d.kp, d.ki, d.fknee, d.tflux, d.xair, d.v1, d.f};
  for (int i = 0; i < 11; ++i) cf(kCfgIsat + i) = tail[i];
  // Step 8: the harmonic-impedance records.
  std::int32_t nodes[3];
  for (int p = 0; p < 3; ++p)
    nodes[p] = branches::ief(d.ibr[p], d.iss) + branches::iet(d.ibr[p], d.iss);
  const double leak = 2.0 * l1 * (1.0 - m13 / sqrt(l1 * l3)) / d.scale;
  if (d.gsh >= kMinShunt) {
    wakro::harm_record(kHarmTerminals, d.iss, {nodes[0], nodes[1], nodes[2]}, {leak, 1.0 / (d.gsh * d.scale)});
  } else {
    wakro::harm_record(kHarmTerminals, d.iss, {nodes[0], nodes[1], nodes[2]}, {leak});
  }
  for (int p = 0; p < 3; ++p) wakro::harm_branch_record(d.ibr[p], d.iss);
}

void svc1_cfg(std::int32_t iss, std::int32_t ibr1, std::int32_t ibr2, std::int32_t ibr3, std::int32_t irc1,
              std::int32_t irc2, std::int32_t irc3, double s, double v1, double v2, double im1, double im2,
              double im3, double f, double x12, double x13, double x23, double ql, double qc, double q0, double r,
              double cs, double ron, double roff, double rd, std::int32_t ncap, std::int32_t nc0, double kp,
              double ki, std::int32_t nsub, std::int32_t nref, double xair, double fknee, double gsh, double tflux,
              double scale) {
  svc1_cfg(SvcRatings{iss, {ibr1, ibr2, ibr3}, {irc1, irc2, irc3}, s, v1, v2, {im1, im2, im3}, f, x12, x13, x23,
                      ql, qc, q0, r, cs, ron, roff, rd, ncap, nc0, kp, ki, nsub, nref, xair, fknee, gsh, tflux,
                      scale});
}

void svc1_exe(std::int32_t iss, std::int32_t ibr1, std::int32_t ibr2, std::int32_t ibr3, double alpha, double& cord,
              std::int32_t enab, std::int32_t& cmode, std::int32_t& ncord, std::int32_t fsrc) {
  // Step 1: the configuration.
  const auto cf = wakro::blocks::take_rtcf(kRtcf);
  const auto ci = wakro::blocks::take_rtci(kRtci);
  SvcConstants k;
  wakro::devices::svc_head_from(cf, k);
  for (int i = 0; i < 64; ++i) k.minv[i] = cf(kCfgMinv + i);
  for (int i = 0; i < 6; ++i) k.d[i] = cf(kCfgD + i);
  for (int i = 0; i < 32; ++i) k.minvb[i] = cf(kCfgMinvB + i);
  for (int i = 0; i < 8; ++i) k.row9[i] = cf(kCfgRow9 + i);
  k.ncap = ci(L::kNcap);
  k.nc0 = ci(L::kNc0);
  k.nsub = ci(L::kNsub);
  k.nref = ci(L::kNref);
  // Step 2: terminal voltages and their one-step advance.
  const std::int32_t ibr[3] = {ibr1, ibr2, ibr3};
  Terminal term[3];
  double v[3];
  for (int p = 0; p < 3; ++p) {
    term[p] = terminal(iss, ibr[p]);
    v[p] = wakro::blocks::node_voltage(term[p].node, iss);
  }
  double vp[3];
  edph2(v[0], v[1], v[2], vp[0], vp[1], vp[2], cf(kCfgF));
  // Steps 3-6: the internal circuit.
  const auto blk = wakro::blocks::take_stor(wakro::devices::kSvcBlock);
  wakro::devices::SvcOrders io{alpha, &cord, enab, fsrc, cf(kCfgKp), cf(kCfgKi)};
  wakro::devices::svc_step(k, blk, vp, io);
  cmode = io.cmode;
  ncord = io.ncord;
  // Steps 7-8: saturation and the Norton currents.
  const double gc = cf(kCfgGc), scale = cf(kCfgScale);
  for (int p = 0; p < 3; ++p) {
    double psi = 0.0;
    const double sat = stsvc2(vp[p], cf(kCfgXair), cf(kCfgFknee), cf(kCfgV1), cf(kCfgIsat), cf(kCfgF),
                              cf(kCfgTflux), psi);
    const double into_node = enab >= 1
                                 ? (sat - wakro::devices::svc_primary_current(blk, p + 1) + gc * vp[p]) * scale
                                 : gc * vp[p] * scale;
    branches::ccbr(ibr[p], iss) = term[p].sign * into_node;
  }
}
