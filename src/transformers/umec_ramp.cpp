// umecsat5, umecsat1_cfg / umecsat1_exe and fplot19 (see umec_ramp.h).
#include "transformers/umec_ramp.h"

#include <algorithm>
#include <cmath>

#include "blocks/slots.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_warn.h"
#include "model/umec.h"

namespace {

constexpr double kLeastFrequency = 0.01;  // Hz
constexpr double kFallbackRate = 100.0, kFallbackDuration = 0.01;
constexpr double kDefaultRate = 120.0, kDefaultDuration = 0.008333333333333333;  // 60 Hz
constexpr double kRampOn = 1e-10;
constexpr std::int32_t kPlotSlots = 19;

// A UMEC transformer, or the run ends under the routine's tag.
void check_unit(std::string_view tag, std::int32_t k) {
  if (k >= 1 && k <= e_s5::jset && e_s5::nummag(k) == 1) return;
  wakro::ListLine() << "Transformer" << k << "is not a UMEC transformer";
  wakro_quit(tag, 0);
}

// Ramp of transformer k from its change time t0 and end time, at the rate.
void set_ramp(std::int32_t k, std::int32_t enable, double t0, double end, double rate) {
  const double t = e_s1::time;
  const bool running = end > t;
  if (!running) {
    umec::ramp(k) = enable == 1 ? 1.0 : 0.0;
    umec::injcur(k) = enable == 1 ? 1 : 0;
    return;
  }
  umec::ramp(k) = enable == 1 ? (t - t0) * rate : 1.0 - (t - t0) * rate;
  umec::injcur(k) = umec::ramp(k) >= kRampOn ? 1 : 0;
}

}  // namespace

void umecsat5(std::int32_t enable, std::int32_t k, double f) {
  const wakro::blocks::Slots<double> st = wakro::blocks::take_stor(5);
  check_unit(wakro::kUmecsat5Tag, k);
  const double t = e_s1::time;
  // Step 1: a fresh start.
  if (e_s1::timezero) st(1) = st(5) = 0.0;
  // Step 2: a change of enable starts a ramp.
  if (std::lround(st(1)) != enable) {
    st(2) = t;
    st(3) = t + st(5);
  }
  // Step 3: rate and duration, once.
  if (e_s1::timezero) {
    if (!(f >= kLeastFrequency)) {
      wakro::ListLine() << "Warning: Trafo " << k << " frequency is 0 or negative";
      st(4) = kFallbackRate;
      st(5) = kFallbackDuration;
    } else {
      st(4) = 2.0 * f;
      st(5) = 0.5 / f;
    }
  }
  // Step 4: the ramp.
  st(1) = enable;
  set_ramp(k, enable, st(2), st(3), st(4));
}

void umecsat1_cfg(double f) {
  const wakro::blocks::Slots<double> r = wakro::blocks::take_rtcf(2);
  if (!(f >= kLeastFrequency)) {
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, 1, "Frequency is 0 or negative, assuming 60Hz");
    r(1) = kDefaultRate;
    r(2) = kDefaultDuration;
    return;
  }
  r(1) = 2.0 * f;
  r(2) = 0.5 / f;
}

void umecsat1_exe(std::int32_t enable, std::int32_t k) {
  const wakro::blocks::Slots<double> r = wakro::blocks::take_rtcf(2);
  const wakro::blocks::Slots<std::int32_t> last = wakro::blocks::take_stori(1);
  const wakro::blocks::Slots<double> times = wakro::blocks::take_storf(2);
  check_unit(wakro::kUmecsat1Tag, k);
  if (enable != last(1)) {
    times(1) = e_s1::time;
    times(2) = e_s1::time + r(2);
  }
  last(1) = enable;
  set_ramp(k, enable, times(1), times(2), r(1));
}

void fplot19(std::int32_t k) {
  const wakro::blocks::Slots<double> st = wakro::blocks::take_stor(kPlotSlots);
  check_unit(wakro::kFplot19Tag, k);
  const std::int32_t nb = std::min(umec::bn(k), kPlotSlots);
  for (std::int32_t b = 1; b <= nb; ++b) st(b) = umec::dphi(b, k);
}
