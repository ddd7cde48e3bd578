// One mode-domain line (Bergeron or FRE-DEP) as its per-step work sees it: the
// runs of its entries taken once per step (line_columns.h), and the injection
// of its modal history currents into the conductors.
//
// Index x = 0 .. n - 1 is the line's mode o + 1 + x, index c = 0 .. n - 1 its
// conductor o + 1 + c, and T[c n + x] the transformation entry (x + 1, c + 1).
//
// inject_modal<N> is written once for any conductor count; N > 0 fixes the
// count at compile time (a line of exactly N conductors), so that the loops
// unroll and the sums stay in registers. Every sum takes its terms in the same
// order either way.
#pragma once

#include <cstdint>

#include "lines/line_columns.h"
#include "lines/line_records.h"
#include "model/e_s0.h"
#include "model/e_s7.h"

namespace wakro::lines {

// Conductor count given a compile-time form of its own (see inject_modal).
inline constexpr std::int32_t kThreePhase = 3;

struct ModalLine {
  std::int32_t n = 0;     // conductors (= modes)
  std::int32_t role = 0;  // ENI role of the directory row
  const double* T;        // transformation, T[c n + x]
  const std::int32_t* kn;  // sending-end node of each conductor
  const std::int32_t* mn;  // receiving-end node of each conductor
  NodeColumn<double> vK, vM;      // last solution's node voltages, each end's subsystem
  NodeColumn<double> injK, injM;  // history injections e_s0::ccli, each end's subsystem
  double* ck;    // modal history current of each mode, sending end
  double* cm;    // the same, receiving end
  double* end1;  // e_s0::cdctl(., 1, i)
  double* end2;  // e_s0::cdctl(., 2, i)
};

// Mode-domain line j of directory row i, its modes after o, its transformation
// block after t0.
inline ModalLine modal_line(std::int32_t j, std::int32_t i, std::int32_t o, std::int32_t t0) {
  const std::int32_t n = e_s7::mode(j);
  const std::int32_t ks = e_s7::kss(j), ms = e_s7::mss(j);
  return ModalLine{n,
                   e_s7::linemodel(i, dir::kRole),
                   run(e_s7::ti, t0 + 1, n * n),
                   run(e_s7::knode, o + 1, n),
                   run(e_s7::mnode, o + 1, n),
                   NodeColumn<double>(e_s0::vdc, ks),
                   NodeColumn<double>(e_s0::vdc, ms),
                   NodeColumn<double>(e_s0::ccli, ks),
                   NodeColumn<double>(e_s0::ccli, ms),
                   run(e_s7::ck, o + 1, n),
                   run(e_s7::cm, o + 1, n),
                   run(e_s0::cdctl, 1, n, 1, i),
                   run(e_s0::cdctl, 1, n, 2, i)};
}

// The modal history currents ck, cm of line L into its conductors:
//   Ik(c) = sum_x T(x, c) ck(x),  Im(c) = sum_x T(x, c) cm(x)
// added into e_s0::ccli at the end nodes (the receiving end only on an
// ordinary line) and negated into e_s0::cdctl. N > 0: L has N conductors.
template <std::int32_t N = 0>
inline void inject_modal(const ModalLine& L) {
  const std::int32_t n = N > 0 ? N : L.n;
  for (std::int32_t c = 0; c < n; ++c) {
    const double* const Tc = L.T + c * n;
    double Ik = 0.0, Im = 0.0;
    for (std::int32_t x = 0; x < n; ++x) {
      Ik += Tc[x] * L.ck[x];
      Im += Tc[x] * L.cm[x];
    }
    if (L.kn[c] > 0) L.injK[L.kn[c]] += Ik;
    if (L.role == kOrdinary && L.mn[c] > 0) L.injM[L.mn[c]] += Im;
    L.end1[c] = -Ik;
    L.end2[c] = -Im;
  }
}

}  // namespace wakro::lines
