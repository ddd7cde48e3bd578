// admform (see umec_core.h): the reduction of a core's magnetic circuit to the
// winding admittance of the step, and the incidence tables of the core types.
//
// Core types (windings, branches; per branch the rows of its +1 and -1 entries,
// 0 for the reference):
//   3 (2, 5)   4 (3, 7)   5 (4, 9): wound limbs in a chain, one leakage path per
//              winding, one yoke;
//   0 (6, 15)  three phases of two windings, limbs, leakage paths and yokes;
//   1 (6, 17)  type 0 with yokes between the phases and zero-sequence paths;
//   2 (6, 19)  type 1 with outer legs (five-limb core).
// Workspace: nine 23 x 23 tables kept between calls (admform runs every
// saturated step, and its tables are too large to be rebuilt on the stack).
#include <algorithm>
#include <array>

#include "model/e_s1.h"
#include "transformers/umec_core.h"

namespace wakro::umec_core {
namespace {

struct Branch {
  std::int8_t plus, minus;  // rows of the +1 and -1 entries (0: none)
};

// The branches of each type, in order.
constexpr std::array<Branch, 5> kType3{{{1, 2}, {2, 0}, {2, 1}, {0, 2}, {0, 1}}};
constexpr std::array<Branch, 7> kType4{{{1, 2}, {2, 3}, {3, 0}, {2, 1}, {3, 2}, {0, 3}, {0, 1}}};
constexpr std::array<Branch, 9> kType5{
    {{1, 2}, {2, 3}, {3, 4}, {4, 0}, {2, 1}, {3, 2}, {4, 3}, {0, 4}, {0, 1}}};
constexpr std::array<Branch, 19> kSixWinding{{
    {1, 2}, {2, 0}, {3, 4}, {4, 0}, {5, 6}, {6, 0},  // limbs
    {2, 1}, {0, 2}, {4, 3}, {0, 4}, {6, 5}, {0, 6},  // leakage paths
    {0, 1}, {0, 3}, {0, 5},                          // type 0: yokes 13 .. 15
}};
constexpr std::array<Branch, 5> kType1Tail{{{3, 1}, {3, 5}, {0, 1}, {0, 3}, {0, 5}}};  // 13 .. 17
constexpr std::array<Branch, 2> kType2Tail{{{0, 1}, {0, 5}}};                          // 18, 19

template <std::size_t N>
void enter(Mat23& a, const std::array<Branch, N>& branches, std::int32_t first) {
  std::int32_t b = first;
  for (const Branch& br : branches) {
    if (br.plus != 0) a(br.plus, b) = 1.0;
    if (br.minus != 0) a(br.minus, b) = -1.0;
    ++b;
  }
}

struct Work {
  Mat23 a, b, pd, g, f, k, d, e1, e2;
};
Work g_work;

// Zeroes the leading rows x cols block: every product reads only within it.
void clear(Mat23& m, std::int32_t rows, std::int32_t cols) {
  for (std::int32_t j = 1; j <= cols; ++j)
    for (std::int32_t i = 1; i <= rows; ++i) m(i, j) = 0.0;
}

}  // namespace

Layout layout(std::int32_t cor) {
  switch (cor) {
    case core_type::kThreeLimb:
      return {branch::kThreePhaseWindings, branch::three_limb::kLast};
    case core_type::kZeroSequencePaths:
      return {branch::kThreePhaseWindings, branch::zero_paths::kLast};
    case core_type::kFiveLimb:
      return {branch::kThreePhaseWindings, branch::five_limb::kLast};
    case core_type::kSinglePhaseTwo:
      return {2, branch::single_phase_yoke(2)};
    case core_type::kSinglePhaseThree:
      return {3, branch::single_phase_yoke(3)};
    case core_type::kSinglePhaseFour:
      return {4, branch::single_phase_yoke(4)};
    default: return {};
  }
}

void incidence(std::int32_t cor, Mat23& a) {
  switch (cor) {
    case 3: enter(a, kType3, 1); break;
    case 4: enter(a, kType4, 1); break;
    case 5: enter(a, kType5, 1); break;
    case 0: enter(a, kSixWinding, 1); break;
    case 1:
    case 2:
      enter(a, kSixWinding, 1);
      a(1, 13) = a(3, 14) = a(5, 15) = 0.0;  // type 0's yokes make way
      enter(a, kType1Tail, 13);
      if (cor == 2) enter(a, kType2Tail, 18);
      break;
    default: break;
  }
}

}  // namespace wakro::umec_core

using namespace wakro::umec_core;

std::int32_t admform(const Vec23& p, const Vec23& n_turns, const Vec23& e, const Vec23& av,
                     std::int32_t n, std::int32_t nb, Mat23& y, Vec23& out, std::int32_t cor) {
  Work& w = g_work;
  // Step 1: the tables of the circuit.
  y = Mat23{};
  out = Vec23{};
  // The products below write whole blocks; only the tables built here by their
  // entries need clearing, over the extent that the products read.
  const std::int32_t extent = std::max(n, nb);
  for (Mat23* m : {&w.a, &w.b, &w.pd, &w.g, &w.f}) clear(*m, extent, extent);
  incidence(cor, w.a);
  for (std::int32_t i = 1; i <= n; ++i) {
    w.g(i, i) = n_turns(i);
    w.f(i, i) = 1.0 / n_turns(i);
  }
  for (std::int32_t b = 1; b <= nb; ++b) w.pd(b, b) = p(b);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t b = 1; b <= nb; ++b) w.b(b, i) = w.a(i, b);

  // Step 2: the node permeance matrix K = A Pd A', inverted.
  matmat(nb, nb, kSize, n, w.pd, w.b, w.e1);  // Pd A'
  matmat(n, nb, kSize, n, w.a, w.e1, w.k);
  std::int32_t flag_k = 0;
  shipco(w.k, n, flag_k);

  // Step 3: M = (Pd - Pd A' K^-1 A Pd) G, branch fluxes per winding current.
  matmat(n, n, kSize, nb, w.k, w.a, w.d);     // K^-1 A
  matmat(nb, n, kSize, nb, w.b, w.d, w.e1);   // A' K^-1 A
  matmat(nb, nb, kSize, nb, w.pd, w.e1, w.d);  // Pd A' K^-1 A
  matmat(nb, nb, kSize, nb, w.d, w.pd, w.e2);  // ... Pd
  matmat(nb, nb, kSize, nb, w.e2, w.g, w.d);   // ... G
  for (std::int32_t j = 1; j <= nb; ++j)
    for (std::int32_t i = 1; i <= nb; ++i) w.d(i, j) = -w.d(i, j);
  for (std::int32_t i = 1; i <= nb; ++i) w.d(i, i) += p(i) * (i <= n ? n_turns(i) : 0.0);

  // Step 4: the wound limbs' block inverted.
  std::int32_t flag_m = 0;
  shipco(w.d, n, flag_m);

  // Step 5: Y = M11^-1 F dt / 2.
  const double dt = e_s1::delt;
  matmat(n, n, kSize, n, w.d, w.f, y);
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= n; ++i) y(i, j) = y(i, j) * 0.5 * dt;

  // Step 6: the flux term out = 0.001 M11^-1 h.
  Vec23 h;
  for (std::int32_t i = 1; i <= n; ++i) h(i) = (1.0 / n_turns(i)) * (500.0 * dt) * e(i) + av(i);
  matmat1(n, n, w.d, h, out);
  for (std::int32_t i = 1; i <= n; ++i) out(i) *= 0.001;
  return flag_k | flag_m ? 1 : 0;
}
