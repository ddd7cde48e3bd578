// bergeron_setup: the constant-parameter travelling-wave line.
//
// Reads a Bergeron record (line record, option lines, one record per mode) and
// fills the mode-domain tables of e_s7 for line l with modes o + 1 .. o + n:
// ring length nt and fraction fnt of each travel time, the terminal admittance
// a0y = 1 / (Zc + R/4), the loss factors fk, fm, the loss split splitk and the
// shaping shapek, and the transformation T (record r of the file is column r:
// ti(t + (r - 1) n + k) = T(k, r)). Leaves the phase admittance
// dm = T^T diag(a0y) T in e_s7::dm and the counters nlmodeu, ntermtu, ntwbufu
// raised by the line.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <string>

#include "diag/listout.h"
#include "diag/nodeaccess.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "files/listread.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/fnames.h"
#include "model/ndde.h"

namespace wakro::lines {
namespace {

constexpr double kEmptyRecord = 1.0e-6;   // a transformation record below this sum is empty
constexpr double kTinyNorm = 1.0e-30;     // a position norm at or below this is left alone
constexpr double kNoTimeConstant = 1.0e-10;  // T1, T2 at or below this [ms] mean none

}  // namespace

void conductor_count_block(const LineSetup& s) {
  static constexpr std::string_view kBlock[] = {
      "***********************************",
      "ERROR: DSLINT Transmission Line Data",
      "The number of electrical connections",
      "specified in the Quolb Circuit Data File",
      "does not match the number of conductors",
      "specified in the Line/Cable Constants Sub-Page!",
      "",
      "Overhead Line Notes:",
      "- Make sure you have the correct number of",
      "  tower components on the Tline sub-page.",
      "- Remember ground wires are eliminated and do",
      "  not have electrical connections.",
      "",
      "Underground Coax Cable Notes:",
      "- Make sure you have the correct number of",
      "  coax cable components on the Cable sub-page.",
      "- If the last layer in a cable is either a",
      "  sheath or an armour, this layer is eliminated",
      "  and does not have electrical connections.",
      "- If the last layer in a cable is either",
      "  insulator # 2 or 3, this layer is eliminated",
      "  only if you have selected the option entitled",
      "  Ground Last Metallic Layer.",
      "- If a layer is grounded, ensure the",
      "  corresponding connection to the electrical",
      "  circuit is also eliminated.",
  };
  for (std::string_view line : kBlock) ListLine() << line;
  ListLine() << "Line/Cable Name: " + s.quoted;
  ListLine() << "***********************************";
}

namespace {

// The global node of a page-local end node, refused at ground or beyond the
// subsystem's bus count.
std::int32_t end_node(const LineSetup& s, std::int32_t local, std::int32_t ss, bool sending) {
  if (local <= 0) grounded_end(s);
  std::int32_t node = 0;
  wakro_node(s.page, local, node);
  if (node <= 0) grounded_end(s);
  if (node > e_s0::mbus(ss))
    line_error(sending ? "Invalid node number on sending end of Line/Cable "
                       : "Invalid node number on receiving end of Line/Cable ",
               s);
  return node;
}

// Line record: returns F1, F2, LEN, T1, T2 through the record.
struct LineRecord {
  double f1 = 0, f2 = 0, len = 0, t1 = 0, t2 = 0;
};

LineRecord read_line_record(LineSetup& s) {
  const std::int32_t unit = fnames::iunit;
  step_back(unit);
  keep_next_line(unit);
  std::int32_t n = 0, unused = 0, kss = 0, mss = 0;
  LineRecord r;
  check_read(list_read_unit(unit, {n, unused, kss, mss, r.f1, r.f2, r.len, r.t1, r.t2}), s);
  if (r.f2 < -0.5) read_error(s);
  if (s.header) {
    if (n != e_s7::mode(s.l)) {
      conductor_count_block(s);
      read_error(s);
    }
    return r;
  }
  if (n < 1 || n > ndde::nd5) too_many_conductors(s);
  wakro_dslintssn(s.ssoff, kss, mss);
  e_s7::kss(s.l) = kss;
  e_s7::mss(s.l) = mss;
  e_s7::mode(s.l) = n;
  s.n = n;
  return r;
}

// Loss split from the two frequencies.
void loss_split(const LineRecord& r, const LineSetup& s) {
  if (r.f1 > r.f2) {
    if (s.header) ListLine() << "Line Name: " + s.quoted;
    outmsg(message::kBadFrequencyPoints, s.l, 0, 0, 0.0, 0.0, fnames::dumlin.view());
  }
  if (r.f1 == r.f2) {
    e_s7::splitk(s.l) = 1.0;
    return;
  }
  if (r.f2 <= 0.0) read_error(s);  // the split needs a positive upper frequency
  const double f = r.f1 > 0.0 ? r.f1 : 1.0;
  e_s7::splitk(s.l) = 1.0 - std::exp(-wakro::kTwoPi * std::sqrt(f * r.f2) * e_s1::delt);
}

// The built-in transformation that replaces a line with an empty record, each
// entry position normalised over the records.
void builtin_transformation(std::int32_t t, std::int32_t n) {
  auto ti = [t, n](std::int32_t k, std::int32_t r) -> double& { return e_s7::ti(t + (r - 1) * n + k); };
  for (std::int32_t r = 1; r <= n; ++r) {
    for (std::int32_t k = 1; k <= n; ++k) ti(k, r) = 0.0;
    ti(1, r) = 1.0;
    for (std::int32_t k = 2; k <= r; ++k) ti(k, r) = -1.0 / (n + 1 - k);
    if (r < n) ti(r + 1, r) = 1.0;
  }
  for (std::int32_t k = 1; k <= n; ++k) {
    double sum = 0.0;
    for (std::int32_t r = 1; r <= n; ++r) sum += ti(k, r) * ti(k, r);
    const double norm = std::sqrt(sum);
    if (norm <= kTinyNorm) continue;
    for (std::int32_t r = 1; r <= n; ++r) ti(k, r) /= norm;
  }
}

}  // namespace

// dm(r, c) = sum over k of T(k, r) a0y(o + k) T(k, c), through dn.
void line_admittance(std::int32_t t, std::int32_t o, std::int32_t n) {
  auto ti = [t, n](std::int32_t k, std::int32_t r) { return e_s7::ti(t + (r - 1) * n + k); };
  for (std::int32_t r = 1; r <= n; ++r)
    for (std::int32_t c = 1; c <= n; ++c) e_s7::dm(r, c) = r == c ? e_s7::a0y(o + r) : 0.0;
  for (std::int32_t r = 1; r <= n; ++r)
    for (std::int32_t c = 1; c <= n; ++c) {
      double sum = 0.0;
      for (std::int32_t k = 1; k <= n; ++k) sum += ti(k, r) * e_s7::dm(k, c);
      e_s7::dn(r, c) = sum;
    }
  for (std::int32_t r = 1; r <= n; ++r)
    for (std::int32_t c = 1; c <= n; ++c) {
      double sum = 0.0;
      for (std::int32_t k = 1; k <= n; ++k) sum += e_s7::dn(r, k) * ti(k, c);
      e_s7::dm(r, c) = sum;
    }
}

void bergeron_setup(LineSetup& s) {
  // Step 1: line record and options.
  const LineRecord rec = read_line_record(s);
  LineOptions options;
  check_read(read_options(fnames::iunit, options), s);
  e_s7::inflength(s.l) = options.inflength;
  const std::int32_t n = e_s7::mode(s.l);
  const std::int32_t o = s.o;
  const std::int32_t t = e_s7::ntermtu;
  if (t + n * n > e_s7::ti.extent(1)) read_error(s);  // more than the dimension pass counted
  loss_split(rec, s);

  // Step 2: one record per mode.
  bool empty = false;
  for (std::int32_t r = 1; r <= n; ++r) {
    const std::int32_t i = o + r;
    std::span<double> record(&e_s7::ti(t + (r - 1) * n + 1), static_cast<std::size_t>(n));
    std::fill(record.begin(), record.end(), 0.0);
    std::int32_t kn = 0, mn = 0;
    double p1 = 0, zc = 0, p3 = 0, p4 = 0;
    keep_next_line(fnames::iunit);
    check_read(list_read_unit(fnames::iunit, {kn, mn, p1, zc, p3, p4, record}), s);
    if (!(zc > 0.0) || !std::isfinite(p1)) read_error(s);
    if (!s.header) {
      e_s7::knode(i) = end_node(s, kn, e_s7::kss(s.l), true);
      e_s7::mnode(i) = end_node(s, mn, e_s7::mss(s.l), false);
    }

    // Travel time in steps, checked against the buffers before any conversion:
    // from nd31 + 1 steps on no count of slots could fit. A line of infinite
    // length takes one slot whatever its travel time.
    double tau = p1 * 0.001 / e_s1::delt;
    if (!options.inflength && !(tau < static_cast<double>(ndde::nd31) + 1.0)) {
      ListLine() << "Line/Cable Name: " + s.quoted;
      outmsg(message::kBufferExceeded, e_s7::ntwbufu + wakro::round_to_int(tau), s.l, ndde::nd31,
             0.0, 0.0, fnames::dumlin.view());
    }
    take_travel_slots(s, options, i, tau);

    // Losses: a quarter of the line resistance at each end.
    const double rk = p3 * rec.len / 4.0;
    const double rm = p4 * rec.len / 4.0;
    e_s7::a0y(i) = 1.0 / (zc + rk);
    const double hk = (zc - rk) / (zc + rk);
    const double hm = (zc - rm) / (zc + rm);
    e_s7::fk(i, 1) = (1.0 + hk) / 2.0;
    e_s7::fk(i, 2) = (1.0 - hk) / 2.0;
    e_s7::fm(i, 1) = (1.0 + hm) / 2.0;
    e_s7::fm(i, 2) = (1.0 - hm) / 2.0;
    e_s7::a0a(i) = 0.0;
    e_s7::npolea(i) = 0;
    e_s7::npolez(i) = 0;
    double sum = 0.0;
    for (std::int32_t k = 1; k <= n; ++k) {
      e_s7::npolet(t + (r - 1) * n + k) = 0;
      sum += std::abs(record[static_cast<std::size_t>(k - 1)]);
    }
    if (sum < kEmptyRecord) empty = true;

    // Shaping of the first mode (T1) and of the others (T2).
    if (r == 1) {
      e_s7::shapek(1, s.l) = rec.t1 <= kNoTimeConstant ? 1.0 - std::exp(-1000.0 * e_s1::delt)
                                                       : 1.0 - std::exp(-1000.0 * e_s1::delt / rec.t1);
    } else if (r == n) {
      e_s7::shapek(2, s.l) =
          rec.t2 <= kNoTimeConstant ? 1.0 : 1.0 - std::exp(-1000.0 * e_s1::delt / rec.t2);
    }
  }

  // Step 3: transformation and admittance.
  if (empty) builtin_transformation(t, n);
  line_admittance(t, o, n);
  e_s7::nlmodeu += n;
  e_s7::ntermtu += n * n;
}

}  // namespace wakro::lines
