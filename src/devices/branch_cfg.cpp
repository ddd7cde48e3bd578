// e_branch_cfg: the trapezoidal companion of a series R-L-C branch set up from
// component values.
//
// Leaves: the flags RESISTOR, INDUCTOR, CAPACITR and IDEALBR of the branch (and
// IDEALSS of the subsystem on an ideal conversion), its companion terms, its
// harmonic R, L and C, and gm changed by G - G_old (switching branches excepted:
// the switching routines enter them).
#include "devices/branch_cfg.h"

#include <cmath>
#include <string_view>

#include "devices/device_support.h"
#include "diag/listout.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "network/companion.h"
#include "network/matrix.h"

namespace {

constexpr std::string_view kTag = "E_BRANCH_CFG";
constexpr std::string_view kRule = "-----------------------------------------------";

// The notice of a resistance too small to keep.
void ideal_notice(std::int32_t ibr, std::int32_t iss, bool resistive_portion) {
  wakro::ListLine() << kRule;
  wakro::ListLine() << "Branch " << ibr << " in SS " << iss;
  if (resistive_portion) wakro::ListLine() << "Resistive portion";
  wakro::ListLine() << "has been converted to an ideal branch because";
  wakro::ListLine() << "R value is less than the user defined limit!";
  wakro::ListLine() << kRule;
}

}  // namespace

void e_branch_cfg(std::int32_t ibr, std::int32_t iss, bool lr, bool ll, bool lc, double r, double l,
                  double c_uf) {
  using namespace branches;
  wakro_testbrn(kTag, ibr, iss);
  if (lc && std::abs(c_uf) <= wakro::kNoImpedance) {
    wakro::devices::device_fatal(kTag, "Zero capacitance given for a capacitive branch");
  }
  const double dt = e_s1::delt;

  // 1. Start from no parts and a non-ideal branch.
  resistor(ibr, iss) = inductor(ibr, iss) = capacitr(ibr, iss) = false;
  idealbr(ibr, iss) = false;
  wakro::Companion k;

  // 2. Inductive part.
  if (ll) {
    inductor(ibr, iss) = true;
    k.xl = wakro::inductive_resistance(l, dt);
  }
  harmimp::branch_l(ibr, iss) = ll ? l : 0.0;

  // 3. Capacitive part.
  if (lc) {
    capacitr(ibr, iss) = true;
    k.xc = wakro::capacitive_resistance(c_uf, dt);
  }
  harmimp::branch_c(ibr, iss) = lc ? c_uf * 1.0e-6 : 0.0;

  // 4. Resistive part; a resistance at or below the ideal limit is dropped.
  double rr = 0.0;
  if (lr) {
    resistor(ibr, iss) = true;
    rr = r;
    if (std::abs(r) <= 1.0 / ideal::gonmax(iss)) {
      const bool has_lc = inductor(ibr, iss) || capacitr(ibr, iss);
      ideal_notice(ibr, iss, has_lc);
      if (has_lc) {
        resistor(ibr, iss) = false;
      } else {
        idealbr(ibr, iss) = true;
        e_s0::idealss(iss) = true;
      }
      rr = 0.0;
    }
  }
  harmimp::branch_r(ibr, iss) = rr;

  // 5. Series conductance (0 for an ideal branch).
  k.r = rr;
  k.z = rr + k.xl + k.xc;
  k.g = idealbr(ibr, iss) ? 0.0 : wakro::series_conductance(k.z);

  // 6-9. The matrix takes the change of a non-switching branch's conductance
  // (through the run-time change helper, which sees the old GEQ), then the
  // whole companion is written.
  if (!switch_(ibr, iss)) wakro::change_branch_conductance(kTag, iss, ibr, k.g);
  wakro::set_branch_companion(ibr, iss, k);
}
