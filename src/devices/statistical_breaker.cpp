// The statistical breaker command (see statistical_breaker.h).
#include "devices/statistical_breaker.h"

#include <cstdlib>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "diag/random.h"
#include "model/e_s1.h"

namespace {
using namespace wakro::devices::layout::statbrk1;
constexpr std::int32_t kNormal = 1;
}  // namespace

void statbrk1_cfg(double dmin, double dmax, double nsd) {
  namespace blk = wakro::blocks;
  bool bad = false;
  if (dmin >= dmax) {
    blk::block_error_line("Maximum delay should be more than the minimum delay");
    bad = true;
  }
  if (dmax <= 0.0) {
    blk::block_error_line("Unrealistic delay times");
    bad = true;
  }
  if (nsd <= 0.0) {
    blk::block_error_line("Unrealistic number of standard deviations");
    bad = true;
  }
  if (bad) blk::block_stop("STATBRK");
  const auto c = blk::take_rtcf(kRtcfSize);
  c(kDmin) = dmin;
  c(kDmax) = dmax;
  c(kNsd) = nsd;
}

void statbrk1_exe(std::int32_t seed, std::int32_t ctrl, std::int32_t& sa, std::int32_t& sb,
                  std::int32_t& sc) {
  const auto c = wakro::blocks::take_rtcf(kRtcfSize);
  const auto s = wakro::blocks::take_stori(kStoriSize);
  const auto when = wakro::blocks::take_storf(kStorfSize);
  const bool on = ctrl != 0;
  // Step 1: at time zero the phases stand as the command.
  if (e_s1::timezero) {
    s(kCommand) = ctrl;
    for (std::int32_t k = 0; k < 3; ++k) s(kStateA + k) = on ? 1 : 0;
  }
  // Step 2: the seed of the run.
  if (e_s1::firststep) {
    std::int32_t first = std::abs(seed);
    if (seed == 0) setseed(first);
    s(kSeed) = s(kRunSeed) = first;
  }
  if (on) {
    // Step 3: on.
    for (std::int32_t k = 0; k < 3; ++k) s(kStateA + k) = 1;
  } else {
    // Step 4: a fall of the command draws the three delays; a phase opens once its
    // time is reached.
    if (s(kCommand) != 0) {
      for (std::int32_t k = 0; k < 3; ++k) {
        double delay = 0.0;
        random_mrun2(s(kSeed), kNormal, c(kDmin), c(kDmax), c(kNsd), delay);
        when(kOpenA + k) = e_s1::time + delay;
        s(kStateA + k) = 1;
      }
    }
    for (std::int32_t k = 0; k < 3; ++k)
      if (s(kStateA + k) == 1 && e_s1::time >= when(kOpenA + k)) s(kStateA + k) = 0;
  }
  // Step 5: outputs and the command for the next call.
  sa = s(kStateA);
  sb = s(kStateA + 1);
  sc = s(kStateA + 2);
  s(kCommand) = ctrl;
}
