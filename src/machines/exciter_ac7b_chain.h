// The AC7B chain shared by the exciter's three forms (excac7b2_*, excac7b1_*
// and the single routine excac7b) and the pieces the AC7C exciter reuses.
//
// ac7b_chain runs one step of the chain from its parameters, whichever way
// they arrive (configuration record or arguments), on the storage of the
// calling form: the full form has the rate feedback and the derivative block
// (six blocks, 50 slots of e_s2::stor), the short forms neither (four blocks,
// 34 slots) and take VR straight from the regulator's PI. The supplementary
// signals arrive summed (vs_sum: VS1 + VS2, or C0 + VS1).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "blocks/slots.h"

namespace wakro::machines {

struct Ac7bParams {
  double A = 0.0, B = 0.0, KPR = 0.0, KIR = 0.0, KDR = 0.0, TDR = 0.0, VRMAX = 0.0, VRMIN = 0.0;
  double KPA = 0.0, KIA = 0.0, VAMAX = 0.0, VAMIN = 0.0, KP = 0.0, EFDMIN = 0.0, KL = 0.0, VFEMAX = 0.0;
  double TE = 0.0, KE = 0.0, KD = 0.0, KC = 0.0, KF2 = 0.0, KF1 = 0.0, KF3 = 0.0, TF = 0.0;
  double RC = 0.0, XC = 0.0, TR = 0.0;
  bool full = true;  // rate feedback and derivative block present
};

// The states a form keeps between steps, wherever it keeps them.
struct Ac7bState {
  double& vfe;
  double& efd;
  double& ve;
  double& fex;
  double& ref;
  std::int32_t& step_flag;        // 1 after an initialisation step
  blocks::Slots<bool> flags;      // VAMAX, VAMIN, VRMAX, VRMIN clipping
};

// How the clipping warnings of the first normal step are written: one message
// line each, or the two console lines of the single routine.
enum class ClipWarnings { messages, console };

void ac7b_chain(const Ac7bParams& p, const Ac7bState& s, ClipWarnings warnings, double vref,
                const std::array<double, 3>& vt, double vs_sum, double ifd, double efd0, std::int32_t run,
                double& efd);

// An initialisation step: run switch 0 or time zero.
bool ac7b_init_step(std::int32_t run);
// Integral time of a PI with gain k: 1/k, or 9999 when |k| < 1e-20.
double ac7b_integral_time(double gain);
// |VT + (RC + jXC)(IT1 + jIT2)|.
double compensated_voltage(double rc, double xc, double vt, double it1, double it2);
// Clips x into [lo, hi], noting which limit it met.
double ac7b_clipped(double x, double lo, double hi, bool& at_hi, bool& at_lo);
// The warning of clipping flag k (0: VAMAX .. 3: VRMIN) in the given form.
void clip_warning(ClipWarnings form, std::int32_t k);

// The data every configuration form checks: the two limit pairs and the two
// saturation points.
struct ExciterLimits {
  double VAMAX = 0.0, VAMIN = 0.0, VRMAX = 0.0, VRMIN = 0.0, SE1 = 0.0, E1 = 0.0, SE2 = 0.0, E2 = 0.0;
};
template <class Data>
ExciterLimits exciter_limits(const Data& d) {
  return {d.VAMAX, d.VAMIN, d.VRMAX, d.VRMIN, d.SE1, d.E1, d.SE2, d.E2};
}
// How the checks report: every failed check as an error line, then one stop
// (the current forms), or the first failed check as a warning line and a stop
// there (the older configuration pair).
enum class LimitReport { every_failure_as_error, first_failure_as_warning };
// The configuration checks, in their order: VAMAX above VAMIN, VRMAX above
// VRMIN, and saturation factors that rise with E and are positive (else the
// fit would take the logarithm of a negative ratio). A failure ends the run
// through wakro_quit with tag (mode 0), having appended nothing.
void check_exciter_limits(const ExciterLimits& l, std::string_view tag, LimitReport report);

// Every form's configuration record starts with the saturation fit's A and B.
enum ExciterRecordEntry : std::int32_t { kRecSatA = 1, kRecSatB };
constexpr bool fit_entries(std::int32_t sat_a, std::int32_t sat_b) { return sat_a == kRecSatA && sat_b == kRecSatB; }
// The configuration every form shares: the checks, then a record of `reals`
// entries taken with the saturation fit through the data's two points at its
// first two; the form writes its own entries into the record returned.
blocks::Slots<double> checked_exciter_record(const ExciterLimits& l, std::string_view tag, LimitReport report,
                                             std::int32_t reals);

}  // namespace wakro::machines
