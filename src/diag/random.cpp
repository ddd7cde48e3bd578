// Uniform and normal random numbers, and seeds from the wall clock.
#include "diag/random.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "model/ctrl.h"

namespace {

constexpr std::int32_t kModulus = 2147483647;
constexpr std::int32_t kMultiplier = 16807;
constexpr std::int32_t kQuotient = 127773;   // kModulus / kMultiplier
constexpr std::int32_t kRemainder = 2836;    // kModulus % kMultiplier

std::int32_t g_mrun_seed = 0;  // random_mrun's own stream

}  // namespace

double ran1(std::int32_t& seed) {
  if (seed % kModulus == 0) seed = 1;
  const std::int32_t k = seed / kQuotient;
  seed = kMultiplier * (seed - kQuotient * k) - kRemainder * k;
  if (seed <= 0) seed += kModulus;
  return seed / static_cast<double>(kModulus);
}

double gasdev(std::int32_t& seed, double k) {
  double lim = k;
  if (!(lim >= 1.0)) lim = 1.0;  // also for NaN
  if (lim > 10.0) lim = 10.0;
  wakro::GasdevKeep& keep = wakro::gasdev_keep();
  double g = 0.0;
  do {
    if (keep.iset) {
      g = keep.gset;
      keep.iset = false;
    } else {
      double p = 0.0, q = 0.0, r = 0.0;
      do {
        p = 2.0 * ran1(seed) - 1.0;
        q = 2.0 * ran1(seed) - 1.0;
        r = p * p + q * q;
      } while (!(r > 0.0 && r < 1.0));
      const double fac = std::sqrt(-2.0 * std::log(r) / r);
      keep.gset = p * fac;
      keep.iset = true;
      g = q * fac;
    }
  } while (std::fabs(g) > lim);
  return g / lim;
}

void setseed(std::int32_t& seed) { seed = wakro::clock_seed(wakro::wall_clock_now(), ctrl::rank); }

void random_mrun2(std::int32_t& seed, std::int32_t kind, double lo, double hi, double k, double& result) {
  if (seed == 0) setseed(seed);
  double u = 0.0;
  if (kind == 0) {
    u = ran1(seed);
  } else if (kind == 1) {
    u = (gasdev(seed, k) + 1.0) * 0.5;
  } else {
    return;
  }
  result = lo + u * (hi - lo);
}

void random_mrun(std::int32_t kind, double lo, double hi, double k, double& result) {
  random_mrun2(g_mrun_seed, kind, lo, hi, k, result);
}

namespace wakro {

WallClock wall_clock_now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  WallClock t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<std::int32_t>(ts.tv_nsec / 1000000);
  return t;
}

std::int32_t clock_seed(const WallClock& t, std::int32_t rank) {
  const std::int64_t second = std::clamp(t.second, 0, 59);
  std::int64_t e = ((((59 * second + t.minute) * 23 + t.hour) * 31 + t.day) * 12 + t.month) * 70 +
                   t.millisecond;
  if (e % 2 == 0) e -= 1;
  std::int64_t s = e + 2 * static_cast<std::int64_t>(rank) - 1;
  // A clock or rank out of its range must still give a seed the generator accepts.
  s %= kModulus;
  if (s <= 0) s += kModulus - 1;
  return static_cast<std::int32_t>(s);
}

GasdevKeep& gasdev_keep() {
  static GasdevKeep keep;
  return keep;
}

}  // namespace wakro
