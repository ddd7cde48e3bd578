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
namespace ramp5 = wakro::transformers::layout::umecsat5::stor;
namespace ramp1 = wakro::transformers::layout::umecsat1;
namespace plot = wakro::transformers::layout::fplot19::stor;

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
  const wakro::blocks::Slots<double> st = wakro::blocks::take_stor(ramp5::kSize);
  check_unit(wakro::kUmecsat5Tag, k);
  const double t = e_s1::time;
  // Step 1: a fresh start.
  if (e_s1::timezero) st(ramp5::kEnable) = st(ramp5::kDuration) = 0.0;
  // Step 2: a change of enable starts a ramp.
  if (std::lround(st(ramp5::kEnable)) != enable) {
    st(ramp5::kChange) = t;
    st(ramp5::kEnd) = t + st(ramp5::kDuration);
  }
  // Step 3: rate and duration, once.
  if (e_s1::timezero) {
    if (!(f >= kLeastFrequency)) {
      wakro::ListLine() << "Warning: Trafo " << k << " frequency is 0 or negative";
      st(ramp5::kRate) = kFallbackRate;
      st(ramp5::kDuration) = kFallbackDuration;
    } else {
      st(ramp5::kRate) = 2.0 * f;
      st(ramp5::kDuration) = 0.5 / f;
    }
  }
  // Step 4: the ramp.
  st(ramp5::kEnable) = enable;
  set_ramp(k, enable, st(ramp5::kChange), st(ramp5::kEnd), st(ramp5::kRate));
}

void umecsat1_cfg(double f) {
  const wakro::blocks::Slots<double> r = wakro::blocks::take_rtcf(ramp1::rtcf::kSize);
  if (!(f >= kLeastFrequency)) {
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine,
               "Frequency is 0 or negative, assuming 60Hz");
    r(ramp1::rtcf::kRate) = kDefaultRate;
    r(ramp1::rtcf::kDuration) = kDefaultDuration;
    return;
  }
  r(ramp1::rtcf::kRate) = 2.0 * f;
  r(ramp1::rtcf::kDuration) = 0.5 / f;
}

void umecsat1_exe(std::int32_t enable, std::int32_t k) {
  const wakro::blocks::Slots<double> r = wakro::blocks::take_rtcf(ramp1::rtcf::kSize);
  const wakro::blocks::Slots<std::int32_t> last = wakro::blocks::take_stori(ramp1::stori::kSize);
  const wakro::blocks::Slots<double> times = wakro::blocks::take_storf(ramp1::storf::kSize);
  check_unit(wakro::kUmecsat1Tag, k);
  if (enable != last(ramp1::stori::kEnable)) {
    times(ramp1::storf::kChange) = e_s1::time;
    times(ramp1::storf::kEnd) = e_s1::time + r(ramp1::rtcf::kDuration);
  }
  last(ramp1::stori::kEnable) = enable;
  set_ramp(k, enable, times(ramp1::storf::kChange), times(ramp1::storf::kEnd),
           r(ramp1::rtcf::kRate));
}

void fplot19(std::int32_t k) {
  const wakro::blocks::Slots<double> st = wakro::blocks::take_stor(plot::kSize);
  check_unit(wakro::kFplot19Tag, k);
  const std::int32_t nb = std::min<std::int32_t>(umec::bn(k), plot::kSize);
  for (std::int32_t b = 1; b <= nb; ++b) st(plot::kFirstFlux + b - 1) = umec::dphi(b, k);
}
