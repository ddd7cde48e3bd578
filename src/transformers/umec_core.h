// The UMEC core: a transformer whose winding matrix comes from the magnetic
// circuit of its iron core. Wound limbs, leakage paths, yokes, outer legs and
// zero-sequence paths are magnetic branches with permeances P, joined at magnetic
// nodes 1 .. n (n the winding count, 0 the reference) by the incidence table of
// the core type. All matrices here are fixed 23 x 23 tables (column-major, from
// 1), vectors 23 long: 23 bounds the branches and nodes of one core.
//
// Units: winding voltages in kV and currents in kA; fluxes and magnetomotive
// forces carry a factor 1000 against them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "model/farray.h"

namespace wakro::umec_core {

inline constexpr std::int32_t kSize = 23;       // branches and nodes of one core at most
inline constexpr std::int32_t kMostWindings = 11;  // P(n + w) must stay within kSize

struct Vec23 {
  std::array<double, kSize> v{};
  double& operator()(std::int32_t i) { return v[static_cast<std::size_t>(i - 1)]; }
  double operator()(std::int32_t i) const { return v[static_cast<std::size_t>(i - 1)]; }
};

struct Mat23 {
  std::array<double, kSize * kSize> a{};
  double& operator()(std::int32_t i, std::int32_t j) {
    return a[static_cast<std::size_t>((j - 1) * kSize + (i - 1))];
  }
  double operator()(std::int32_t i, std::int32_t j) const {
    return a[static_cast<std::size_t>((j - 1) * kSize + (i - 1))];
  }
};

// The core types (umec::cor): three-phase cores of six windings, two a phase
// (A: 1, 2; B: 3, 4; C: 5, 6), and single-phase cores of two to four windings.
namespace core_type {
enum : std::int32_t {
  kThreeLimb = 0,      // yokes only
  kZeroSequencePaths,  // yokes and a zero-sequence path per phase
  kFiveLimb,           // yokes, two outer legs and zero-sequence paths
  kSinglePhaseTwo,     // two, three or four windings and one yoke
  kSinglePhaseThree,
  kSinglePhaseFour,
};
}  // namespace core_type

// The magnetic branches of a core as the incidence table numbers them: the wound
// limb of winding w is branch w and its leakage path branch n + w (n windings);
// the branches after them by core type.
namespace branch {
inline constexpr std::int32_t kThreePhaseWindings = 6;
constexpr std::int32_t limb(std::int32_t w) { return w; }
constexpr std::int32_t leakage(std::int32_t n, std::int32_t w) { return n + w; }
// The first winding of phase p of a three-phase core (p = 0 for A).
constexpr std::int32_t first_winding(std::int32_t p) { return 1 + 2 * p; }
namespace three_limb {
enum : std::int32_t { kYokeA = 2 * kThreePhaseWindings + 1, kYokeB, kYokeC, kLast = kYokeC };
}
namespace zero_paths {
enum : std::int32_t {
  kYokeA = 2 * kThreePhaseWindings + 1,
  kYokeC,
  kZeroA,
  kZeroB,
  kZeroC,
  kLast = kZeroC
};
}
namespace five_limb {
enum : std::int32_t {
  kYokeA = 2 * kThreePhaseWindings + 1,
  kYokeC,
  kOuterA,  // the outer leg beside phase A
  kZeroB,
  kOuterC,  // the outer leg beside phase C
  kZeroA,
  kZeroC,
  kLast = kZeroC
};
}
// The yoke of a single-phase core of n windings, its last branch.
constexpr std::int32_t single_phase_yoke(std::int32_t n) { return 2 * n + 1; }
}  // namespace branch

// The layout of a core type: its winding count and branch count (0, 0 for a type
// outside the table).
struct Layout {
  std::int32_t windings = 0;
  std::int32_t branches = 0;
};
Layout layout(std::int32_t cor);

// A(n x nb) of core type cor: +1 / -1 per branch in the rows of its nodes; zero
// for a type outside the table.
void incidence(std::int32_t cor, Mat23& a);

// What is wrong with the core data of transformer k, if anything.
enum class Fault {
  none,
  layout,    // more than 11 windings or 23 branches, or (cor, n, bn) not in the table
  geometry,  // a limb or yoke (or, for type 2, outer-leg) area or length, or msl1, not > 0
  turns,     // a winding with turns not > 0
  singular,  // the magnetic circuit cannot be reduced (a pivot below 1e-20)
};
Fault core_fault(std::int32_t k);
std::string_view fault_text(Fault f);

}  // namespace wakro::umec_core

// A := A^-1 in place over its leading n x n block, Gauss-Jordan without row
// exchanges; flag = 1 when a pivot below 1e-20 (or NaN) was skipped, else 0. A
// 1 x 1 block is a plain reciprocal.
void shipco(wakro::umec_core::Mat23& a, std::int32_t n, std::int32_t& flag);

// C(m x nc) = A(m x k) B(k x nc); the third argument is not used.
void matmat(std::int32_t m, std::int32_t k, std::int32_t ld, std::int32_t nc,
            const wakro::umec_core::Mat23& a, const wakro::umec_core::Mat23& b,
            wakro::umec_core::Mat23& c);
// y(i) = sum over j = 1 .. k of A(i, j) x(j), i = 1 .. m (0 for k < 1).
void matmat1(std::int32_t m, std::int32_t k, const wakro::umec_core::Mat23& a,
             const wakro::umec_core::Vec23& x, wakro::umec_core::Vec23& y);

// The magnetic-circuit reduction of a core of n windings and nb branches with
// branch permeances P and turns N:
//   K = A Pd A',  M = (Pd - Pd A' K^-1 A Pd) G  (G = diag N),
//   Y = M11^-1 F (dt / 2)  (M11 the leading n x n block, F = diag 1/N),
//   out = 0.001 M11^-1 h,  h(i) = 500 dt E(i) / N(i) + Av(i).
// Y is the winding admittance of the step, out its flux term. Returns the
// inversion flag: 1 when K or M11 had a pivot below 1e-20 (Y is then garbage).
std::int32_t admform(const wakro::umec_core::Vec23& p, const wakro::umec_core::Vec23& n_turns,
                     const wakro::umec_core::Vec23& e, const wakro::umec_core::Vec23& av,
                     std::int32_t n, std::int32_t nb, wakro::umec_core::Mat23& y,
                     wakro::umec_core::Vec23& out, std::int32_t cor);

// The linear core of transformer k: writes hs(i, j), i, j = 1 .. msiz(k), with
// the inverse-inductance matrix Gamma = 2 Y / dt of its windings (Y of admform
// with the unsaturated permeances). Returns the fault found (nothing is written
// for one): the data checks of core_fault first, then a singular circuit.
wakro::umec_core::Fault admf_checked(std::int32_t k, wakro::FArray<double, 2>& hs);
// The same, every fault fatal (message with the component ids, then
// wakro_quit(caller, 0)).
void admf(std::int32_t k, wakro::FArray<double, 2>& hs, std::string_view caller);
