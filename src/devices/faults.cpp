// Three-phase faults over the breakers, and the fault timer.
//
// Each form decodes its type code into six closing commands and drives the six
// branches with them in the order A, B, C to ground, then A-B, B-C, C-A.
#include "devices/faults.h"

#include <array>

#include "blocks/slots.h"
#include "devices/breakers.h"
#include "diag/listout.h"
#include "diag/quit.h"
#include "model/e_s1.h"

namespace {

constexpr std::int32_t kApplied = 1;
// Largest ON resistance of a configured fault, as a share of its OFF resistance.
constexpr double kMaxOnShare = 0.01;

enum Phase : unsigned { kA = 1, kB = 2, kC = 4 };

// Phases of a type code (0 for an unknown code) and whether it is to ground.
struct FaultType {
  unsigned phases;
  bool to_ground;
};

FaultType decode(std::int32_t type) {
  static constexpr std::array<unsigned, 12> kPhases{0,       kA,      kB,      kC,
                                                    kA | kB, kA | kC, kB | kC, kA | kB | kC,
                                                    kA | kB, kA | kC, kB | kC, kA | kB | kC};
  if (type < 1 || type > 11) return {0, false};
  return {kPhases[static_cast<std::size_t>(type)], type <= 7};
}

// Closing commands of the branches A, B, C to ground, then A-B, B-C, C-A.
std::array<std::int32_t, 6> commands(std::int32_t ctrl, std::int32_t type) {
  std::array<std::int32_t, 6> close{};
  if (ctrl != kApplied) return close;
  const FaultType f = decode(type);
  const auto has = [&](unsigned p) { return (f.phases & p) != 0; };
  if (f.to_ground) {
    close[0] = has(kA);
    close[1] = has(kB);
    close[2] = has(kC);
  } else {
    close[3] = has(kA) && has(kB);
    close[4] = has(kB) && has(kC);
    close[5] = has(kC) && has(kA);
  }
  return close;
}

}  // namespace

void e3phflt1_cfg(double roff, double im) {
  namespace L = wakro::devices::layout::e3phflt1;
  const auto cfg = wakro::blocks::take_rtcf(L::kRtcfSize);
  cfg(L::kRoff) = roff;
  cfg(L::kMargin) = im;
}

void e3phflt1_exe(std::int32_t ss, std::int32_t bab, std::int32_t bbc, std::int32_t bca,
                  std::int32_t bag, std::int32_t bbg, std::int32_t bcg, bool immed,
                  std::int32_t ctrl, std::int32_t type, double ron) {
  namespace L = wakro::devices::layout::e3phflt1;
  const auto cfg = wakro::blocks::take_rtcf(L::kRtcfSize);
  const double roff = cfg(L::kRoff);
  const double im = cfg(L::kMargin);
  const double r_on = ron > kMaxOnShare * roff ? kMaxOnShare * roff : ron;
  wakro_3phfault1(ss, bab, bbc, bca, bag, bbg, bcg, immed, ctrl, type, im, r_on, roff);
}

void wakro_3phfault1(std::int32_t ss, std::int32_t bab, std::int32_t bbc, std::int32_t bca,
                     std::int32_t bag, std::int32_t bbg, std::int32_t bcg, bool immed,
                     std::int32_t ctrl, std::int32_t type, double im, double ron, double roff) {
  const std::array<std::int32_t, 6> branch{bag, bbg, bcg, bab, bbc, bca};
  const std::array<std::int32_t, 6> close = commands(ctrl, type);
  for (std::size_t k = 0; k < branch.size(); ++k)
    wakro_breaker1(ss, branch[k], ron, roff, im, immed, close[k]);
}

void wakro_3phfault(std::int32_t ss, std::int32_t bab, std::int32_t bbc, std::int32_t bca,
                    std::int32_t bag, std::int32_t bbg, std::int32_t bcg, double ron, double roff,
                    bool immed, std::int32_t ctrl, std::int32_t type) {
  const std::array<std::int32_t, 6> branch{bag, bbg, bcg, bab, bbc, bca};
  const std::array<std::int32_t, 6> close = commands(ctrl, type);
  for (std::size_t k = 0; k < branch.size(); ++k)
    wakro_breaker(ss, branch[k], ron, roff, immed, close[k]);
}

void wakro_tfault(double t1, double t2, std::int32_t repeat, std::int32_t& out) {
  if (t1 != t2) {
    std::int32_t breaker = 0;
    wakro_tbreak(t1, t2, repeat, breaker);
    out = 1 - breaker;
    return;
  }
  if (!e_s1::timezero) {
    wakro::ListLine() << "ERROR: Fault duration is zero";
    wakro_quit("TFAULT", 0);
  }
  // Equal times at time zero: no fault yet. The slot of the timer is taken all
  // the same, so that the storage pointer moves alike on every step.
  wakro::blocks::take_stor(wakro::devices::layout::tfault::kStorSize);
  out = 0;
}
