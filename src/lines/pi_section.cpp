// pi3_section_cfg and pi_2cctmut_cfg (see pi_section.h).
//
// Section values of pi3_section_cfg with l the length:
//   Rm = (R0 - R1) / 3 l        Lm = (L0 - L1) / 3 l
//   C0 = 500000 C0' l           Cm = 500000 (C1 - C0') / 3 l
//   Rs = (2 R1 + R0) / 3 l      Ls = (2 L1 + L0) / 3 l     (coupled)
// where C0' is the zero-sequence capacitance per unit length in farads.
#include "lines/pi_section.h"

#include <cmath>
#include <string>
#include <string_view>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_warn.h"

namespace {

constexpr std::string_view kTag = "PI_SECTION  ";
using wakro::kTwoPi;
constexpr double kSmallRating = 1.0e-6;  // smallest frequency, length, voltage, MVA
constexpr double kSmallValue = 1.0e-32;  // smallest sequence value
constexpr double kNoElement = wakro::kTiny;
constexpr double kPerEnd = 500000.0;     // farads to microfarads, half at each end
using wakro::kThird;

enum Form3 : std::int32_t { kPuReactance = 0, kOhm = 1, kTravel = 2, kPuSusceptance = 3, kHenry = 4 };

void error(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                text);
}
void warn(std::string_view text) {
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, text);
}
[[noreturn]] void stop(std::string_view text) {
  error(text);
  wakro_quit(kTag, 0);
}

// R, L (H) and C (F) per unit length of one sequence.
struct Rlc {
  double r, l, c;
};

// By the entry form of pi3_section_cfg; clamp_c: a negative susceptance (form 3)
// gives no capacitance.
Rlc per_length_rlc(std::int32_t type, double r, double a, double b, double zb, double w,
                   double length, bool clamp_c) {
  switch (type) {
    case kPuReactance:
      return {r * zb, a * zb / w, 1.0 / (zb * b * w)};
    case kOhm:
      return {r, a / w, 1.0e-6 / (w * b)};
    case kTravel:
      return {r, a * b / (1000.0 * length), a / b / (1000.0 * length)};
    case kPuSusceptance: {
      const double c = b / (w * zb);
      return {r * zb, a * zb / w, clamp_c && c < 0.0 ? 0.0 : c};
    }
    default:
      return {r, a, 1.0e-6 * b};
  }
}

// The rating checks shared by both routines: frequency (when the form needs it,
// reported, the stop deferred), length (stop), voltage (when the form is per
// unit, deferred) and MVA (per unit, stop at once); a deferred error stops last.
void check_ratings(bool needs_f, bool per_unit, double f, double length, double v, double mva) {
  bool failed = false;
  if (needs_f && f < kSmallRating) {
    error("Frequency too small");
    failed = true;
  }
  if (length < kSmallRating) stop("Length too small");
  if (failed) wakro_quit(kTag, 0);
  if (!per_unit) return;
  if (v < kSmallRating) {
    error("Voltage too small");
    failed = true;
  }
  if (mva < kSmallRating) stop("MVA too small");
  if (failed) wakro_quit(kTag, 0);
}

// The sequence checks of pi3_section_cfg for one sequence ("Positive" or "Zero").
void check_sequence(std::int32_t type, std::string_view seq, double a, double b) {
  std::string text(seq);
  if (a < kSmallValue)
    stop(text + (type == kTravel ? " Sequence Travel Time too small" : " Sequence Inductance too small"));
  if (b >= kSmallValue || type == kPuSusceptance) return;
  if (type == kTravel) stop(text + " Sequence Surge Impedance too small");
  if (type == kHenry) stop(text + " Sequence Capacitance too small");
  stop(text + " Sequence Capacitive Reactance too small");
}

std::int32_t present(double& x) {
  if (std::abs(x) > kNoElement) return 1;
  x = 0.0;
  return 0;
}

}  // namespace

void pi3_section_cfg(std::int32_t type, std::int32_t coupled, std::int32_t zest, double v, double mva,
                     double f, double length, double r1, double a1, double b1, double r0, double a0,
                     double b0, double& rs, double& ls, double& cm, double& rm, double& lm, double& c0,
                     std::int32_t& frm, std::int32_t& flm, std::int32_t& fc0, std::int32_t& fcm) {
  // Step 1: the form and the ratings.
  if (type < kPuReactance || type > kHenry) stop("Unknown PI section data type");
  const bool per_unit = type == kPuReactance || type == kPuSusceptance;
  check_ratings(type != kHenry, per_unit, f, length, v, mva);
  const double zb = per_unit ? v * v / mva : 1.0;
  const double w = kTwoPi * f;
  // Step 2: the sequence values.
  check_sequence(type, "Positive", a1, b1);
  if (zest == 0) {
    check_sequence(type, "Zero", a0, b0);
  } else if (a0 < kSmallValue || b0 < kSmallValue) {
    stop("Unrealistic Zero Sequence Estimation Parameters");
  }
  const Rlc pos = per_length_rlc(type, r1, a1, b1, zb, w, length, true);
  const Rlc zero = zest == 0 ? per_length_rlc(type, r0, a0, b0, zb, w, length, false)
                             : Rlc{pos.r * r0, pos.l * a0 * b0, pos.c * a0 / b0};
  // Step 3: the section.
  rm = (zero.r - pos.r) / 3.0 * length;
  lm = (zero.l - pos.l) / 3.0 * length;
  c0 = kPerEnd * zero.c * length;
  cm = kPerEnd * (pos.c - zero.c) / 3.0 * length;
  rs = coupled != 0 ? (2.0 * pos.r + zero.r) / 3.0 * length : pos.r * length;
  ls = coupled != 0 ? (2.0 * pos.l + zero.l) / 3.0 * length : pos.l * length;
  // Step 4: warnings and flags. Negative capacitors would enter the network as
  // negative conductances: they are reported like a negative mutual resistance.
  if (rm < 0.0) warn("Zero Sequence Resistance is less than Positive Sequence Resistance");
  if (cm < -kNoElement) warn("Zero Sequence Capacitance is greater than Positive Sequence Capacitance");
  if (c0 < -kNoElement) warn("Zero Sequence Capacitance is negative");
  frm = present(rm);
  flm = present(lm);
  fc0 = std::abs(c0) > kNoElement ? 1 : 0;
  fcm = std::abs(cm) > kNoElement ? 1 : 0;
}

void pi_2cctmut_cfg(std::int32_t type, std::int32_t zest, double length, double v, double mva,
                    double f, double a, double b, double c, double a2, double b2, double c2,
                    double& rout, double& lout, double& cout, std::int32_t& flag) {
  if (type < 0 || type > 3) stop("Unknown PI section data type");
  if (zest == 0) {
    // Forms 0 and 1 are per unit; forms 0 to 2 need the frequency.
    const bool per_unit = type <= 1;
    check_ratings(type <= 2, per_unit, f, length, v, mva);
    const double zb = per_unit ? v * v / mva : 1.0;
    if (type != 0 && c < kSmallValue)
      stop(type == 3 ? "Mutual Surge Impedance too small" : "Mutual Capacitive Reactance too small");
    const double w = kTwoPi * f;
    Rlc x{};
    switch (type) {
      case 0: x = {a * zb, b * zb / w, c / (zb * w)}; break;
      case 1: x = {a * zb, b * zb / w, 1.0 / (zb * c * w)}; break;
      case 2: x = {a, b / w, 1.0e-6 / (w * c)}; break;
      default: x = {a, b * c / (length * 1000.0), b / (c * 1000.0 * length)}; break;
    }
    rout = x.r / 3.0 * length;
    lout = x.l / 3.0 * length;
    cout = length * x.c / 3.0 * kPerEnd;
  } else {
    if (a < kNoElement || b < kNoElement || c < kNoElement) {
      warn("Unrealistic 0 Sequence Estimation Parameters");
      wakro_quit(kTag, 0);
    }
    rout = (2.0 * a2 + v) * kThird * a;
    lout = (2.0 * b2 + mva) * kThird * b * c;
    cout = c2 * kThird * b / c;
  }
  flag = cout >= kNoElement ? 1 : 0;
}
