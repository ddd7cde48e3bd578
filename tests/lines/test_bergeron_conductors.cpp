// Bergeron lines of 1 to 4 conductors: the three-conductor line takes a step
// form of its own (loops fixed at three), the others the general one; both
// are held here to the same results.
//
// Closed form: with every mode of the same travel time and Zc, the line's
// admittance is Zc times the identity in phase coordinates (T^-1 diag(Zc) T), so
// each conductor is a lossless one-conductor line of its own. Conductor c is
// fed through 400 ohm = Zc from a 60 Hz source of amplitude a_c, its far end
// open; with a travel time of 10 steps
//   v_far(n) = a_c e(n - 10),  v_send(n) = a_c (e(n) + e(n - 20)) / 2,
// the current into the line at the sending end a_c e(n) - v_send(n) over 400
// ohm and at the open far end 0. The built-in transformation matrix is not
// exactly inverted in floating point, so the conductors couple at about 1e-16
// of a value of at most 3 kV: 1e-12 holds.
//
// Plain formulas: a lossy line with the loss split and the shaping on, stepped
// with prescribed node voltages, against the step written entry by entry
// through the tables' own indexing, bit for bit.
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "lines/line_fixture.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s7.h"

namespace linetest {
namespace {

constexpr double kDelt = 5.0e-5;
constexpr double kTol = 1e-12;
constexpr double kAmplitude[] = {1.0, -2.0, 0.5, 3.0};

// A Bergeron record of n conductors between nodes c and n + c (c = 1 .. n),
// every mode with travel time tau_ms, Zc zc, resistance r at both ends, the
// built-in transformation; `options`: F1 F2 LEN T1 T2.
std::string record(int n, double tau_ms, double zc, double r, const std::string& options) {
  std::ostringstream os;
  os.precision(17);
  os << n << " 0 1 1 " << options << "\n";
  for (int c = 1; c <= n; ++c) {
    os << c << " " << n + c << " " << tau_ms << " " << zc << " " << r << " " << r;
    for (int k = 0; k < n; ++k) os << " 0";
    os << "\n";
  }
  return os.str();
}

class BergeronConductors : public Lines, public ::testing::WithParamInterface<int> {};

TEST_P(BergeronConductors, EachConductorCarriesItsOwnWaveToTheOpenEnd) {
  const int n = GetParam();
  write_section("GLOBAL_TLINES:", record(n, 10.0 * kDelt * 1000.0, 400.0, 0.0, "60.0 60.0 1.0 1.0E-7 0.0"));
  read_lines(2 * n, n, 1, kDelt);
  std::vector<std::int32_t> b;
  for (int c = 1; c <= n; ++c) b.push_back(add_branch(1, 0, c, 400.0, 0.0, 0.0, 0.0, kAmplitude[c - 1]));
  model_ = [b] {
    for (std::size_t c = 0; c < b.size(); ++c)
      branches::ebr(b[c], 1) = kAmplitude[c] * std::sin(2.0 * std::numbers::pi * 60.0 * ctrl::iii * kDelt);
  };
  const auto e = [](int k) { return k < 0 ? 0.0 : std::sin(2.0 * std::numbers::pi * 60.0 * k * kDelt); };
  start_run(60);
  for (int k = 0; k < 60; ++k) {
    step();
    for (int c = 1; c <= n; ++c) {
      const double a = kAmplitude[c - 1];
      const double vs = a * (e(k) + e(k - 20)) / 2.0;
      EXPECT_NEAR(v(n + c), a * e(k - 10), kTol) << "conductor " << c << ", step " << k;
      EXPECT_NEAR(v(c), vs, kTol) << "conductor " << c << ", step " << k;
      EXPECT_NEAR(e_s0::cdctl(c, 1, 1), (a * e(k) - vs) / 400.0, kTol) << "conductor " << c << ", step " << k;
      EXPECT_NEAR(e_s0::cdctl(c, 2, 1), 0.0, kTol) << "conductor " << c << ", step " << k;
    }
  }
}

// The state one step of an ordinary Bergeron line changes.
struct LineState {
  std::vector<double> ck, cm, ckk, cmm, bk, bm, ccli, cdctl;
  std::vector<std::int32_t> m1;

  static LineState take() {
    auto copy = [](const auto& a) { return std::vector(a.begin(), a.end()); };
    return {copy(e_s7::ck),  copy(e_s7::cm), copy(e_s7::ckk),  copy(e_s7::cmm),   copy(e_s7::bk),
            copy(e_s7::bm),  copy(e_s0::ccli), copy(e_s0::cdctl), copy(e_s7::m1)};
  }
  void put() const {
    auto back = [](const auto& v, auto& a) { std::copy(v.begin(), v.end(), a.begin()); };
    back(ck, e_s7::ck), back(cm, e_s7::cm), back(ckk, e_s7::ckk), back(cmm, e_s7::cmm);
    back(bk, e_s7::bk), back(bm, e_s7::bm), back(ccli, e_s0::ccli), back(cdctl, e_s0::cdctl);
    back(m1, e_s7::m1);
  }
};

// Bit patterns, so that a difference in the last bit (or of the sign of a
// zero) shows.
std::vector<std::uint64_t> bits(const std::vector<double>& v) {
  std::vector<std::uint64_t> out;
  for (double x : v) out.push_back(std::bit_cast<std::uint64_t>(x));
  return out;
}

double vdc0(std::int32_t node) { return node > 0 ? e_s0::vdc(node, 1) : 0.0; }

// The step of the one ordinary Bergeron line of the case (directory row 1, no
// earlier line), entry by entry, then its terminal currents.
void plain_step() {
  using namespace e_s7;
  e_s0::ccli.fill(0.0);
  const std::int32_t n = mode(1);
  auto T = [n](std::int32_t m, std::int32_t c) { return ti((c - 1) * n + m); };
  std::int32_t r = 0;
  for (std::int32_t m = 1; m <= n; ++m) {
    double Vk = 0.0, Vm = 0.0;
    for (std::int32_t c = 1; c <= n; ++c) {
      Vk += T(m, c) * vdc0(knode(c));
      Vm += T(m, c) * vdc0(mnode(c));
    }
    const std::int32_t P = nt(m), p = m1(m), prev = p - 1 < 1 ? P : p - 1;
    const double h = 2.0 * fk(m, 1) - 1.0;
    const double ob = bm(r + prev), okk = bk(r + prev);
    bm(r + prev) = Vm * (1.0 + h) * a0y(m) - h * cm(m);
    bk(r + prev) = Vk * (1.0 + h) * a0y(m) - h * ck(m);
    const double Bm = fnt(m) * ob + (1.0 - fnt(m)) * bm(r + p);
    const double Bk = fnt(m) * okk + (1.0 - fnt(m)) * bk(r + p);
    cmm(m) += (Bm - cmm(m)) * splitk(1);
    ckk(m) += (Bk - ckk(m)) * splitk(1);
    const double Dm = Bm - cmm(m), Dk = Bk - ckk(m);
    const double w = m == 1 ? shapek(1, 1) : shapek(2, 1);
    const double cm_old = cm(m), ck_old = ck(m);
    cm(m) += (Dm * fm(m, 2) + Dk * fm(m, 1) + cmm(m) * fk(m, 2) + ckk(m) * fk(m, 1) - cm_old) * w;
    ck(m) += (Dk * fm(m, 2) + Dm * fm(m, 1) + ckk(m) * fk(m, 2) + cmm(m) * fk(m, 1) - ck_old) * w;
    m1(m) = p + 1 > P ? 1 : p + 1;
    r += P;
  }
  for (std::int32_t c = 1; c <= n; ++c) {
    double Ik = 0.0, Im = 0.0;
    for (std::int32_t m = 1; m <= n; ++m) {
      Ik += T(m, c) * ck(m);
      Im += T(m, c) * cm(m);
    }
    if (knode(c) > 0) e_s0::ccli(knode(c), 1) += Ik;
    if (mnode(c) > 0) e_s0::ccli(mnode(c), 1) += Im;
    e_s0::cdctl(c, 1, 1) = -Ik;
    e_s0::cdctl(c, 2, 1) = -Im;
  }
  for (std::int32_t k = 1; k <= n; ++k)
    for (std::int32_t c = 1; c <= n; ++c) {
      e_s0::cdctl(k, 1, 1) += globaldm(k, c, 1) * vdc0(knode(c));
      e_s0::cdctl(k, 2, 1) += globaldm(k, c, 1) * vdc0(mnode(c));
    }
}

TEST_P(BergeronConductors, LossyStepEqualsThePlainFormulasBitForBit) {
  const int n = GetParam();
  // Travel times of 4.3 steps, the loss split between 60 and 600 Hz, shaping on.
  write_section("GLOBAL_TLINES:", record(n, 4.3 * kDelt * 1000.0, 300.0, 5.0, "60.0 600.0 1.0 0.1 0.1"));
  read_lines(2 * n, 1, 1, kDelt);
  ASSERT_NE(e_s7::splitk(1), 0.0);
  ASSERT_NE(e_s7::shapek(1, 1), 1.0);
  for (int k = 0; k < 30; ++k) {
    for (std::int32_t node = 1; node <= 2 * n; ++node)
      e_s0::vdc(node, 1) = std::sin(0.7 * node + 0.3 * k) * (1.0 + 0.1 * node);
    const LineState before = LineState::take();
    plain_step();
    const LineState expected = LineState::take();
    before.put();
    dsldyn();
    dslout();
    const LineState got = LineState::take();
    ASSERT_EQ(bits(got.ck), bits(expected.ck)) << "step " << k;
    ASSERT_EQ(bits(got.cm), bits(expected.cm)) << "step " << k;
    ASSERT_EQ(bits(got.ckk), bits(expected.ckk)) << "step " << k;
    ASSERT_EQ(bits(got.cmm), bits(expected.cmm)) << "step " << k;
    ASSERT_EQ(bits(got.bk), bits(expected.bk)) << "step " << k;
    ASSERT_EQ(bits(got.bm), bits(expected.bm)) << "step " << k;
    ASSERT_EQ(bits(got.ccli), bits(expected.ccli)) << "step " << k;
    ASSERT_EQ(bits(got.cdctl), bits(expected.cdctl)) << "step " << k;
    ASSERT_EQ(got.m1, expected.m1) << "step " << k;
  }
  EXPECT_NE(e_s7::ck(1), 0.0);  // the waves went round the rings
}

INSTANTIATE_TEST_SUITE_P(OneToFour, BergeronConductors, ::testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return std::to_string(info.param) + "Conductors"; });

}  // namespace
}  // namespace linetest
