// The sampled RMS meters and their building blocks (see sampled_rms.h).
#include "blocks/sampled_rms.h"

#include <cmath>

#include "blocks/conventions.h"
#include "blocks/network_reads.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;

using wakro::kThird;
constexpr double kTimeTolerance = 1e-9;  // of delt, in the comparison of sample times

// The mean of the squared samples as G times an RMS.
double rms_of(double mean, double G) { return mean > 0.0 ? G * std::sqrt(mean) : 0.0; }

// A quantity already squared through the clock, the sampler and the ring.
double sampled_mean(std::int32_t N, double f, double q, double x0) {
  double frac = 0.0, qs = 0.0, mean = 0.0;
  std::int32_t Neff = 0, k = 0;
  smpl_num(N, f, frac, Neff, k);
  smpler(k, frac, q, qs);
  samp_buff(k, Neff, qs, x0 * x0, mean);
  return mean;
}

}  // namespace

void smpl_num(std::int32_t N, double f, double& frac, std::int32_t& Neff, std::int32_t& k) {
  using namespace wakro::blocks::layout::smpl_num;
  const Slots<double> t = wakro::blocks::take_storf(kStorfSize);
  const Slots<std::int32_t> n = wakro::blocks::take_stori(kStoriSize);
  const double delt = e_s1::delt;
  if (e_s1::timezero) {
    if (N * delt * f >= 1.0) {
      t(kInterval) = delt;
      n(kNeff) = wakro::blocks::nint_sat(1.0 / (f * delt));
    } else {
      t(kInterval) = 1.0 / (N * f);
      n(kNeff) = N;
    }
  }
  Neff = n(kNeff);
  k = 0;
  frac = 0.0;
  if (e_s1::time < t(kNextSample) - kTimeTolerance * delt) return;
  frac = (e_s1::time - t(kNextSample)) / delt;
  t(kNextSample) += t(kInterval);
  n(kLastSample) += 1;
  if (n(kLastSample) > Neff) n(kLastSample) -= Neff;
  k = n(kLastSample);
}

void smpler(std::int32_t k, double frac, double x, double& xs) {
  using namespace wakro::blocks::layout::smpler;
  const Slots<double> s = wakro::blocks::take_storf(kStorfSize);
  if (k != 0) s(kHeld) = x + frac * (s(kPrevious) - x);
  xs = s(kHeld);
  s(kPrevious) = x;
}

void samp_buff(std::int32_t k, std::int32_t Neff, double x, double x0, double& mean) {
  using namespace wakro::blocks::layout::samp_buff;
  const Slots<double> s = wakro::blocks::take_storf(storf_size(Neff));  // sample j in kMean + j
  if (e_s1::timezero)
    for (std::int32_t j = 1; j <= storf_size(Neff); ++j) s(j) = x0;
  if (k != 0) {
    s(kMean) = (s(kMean) * Neff - s(kMean + k) + x) / Neff;
    s(kMean + k) = x;
  }
  mean = s(kMean);
}

void dgtl_rms(std::int32_t N, double f, double x, double G, double x0, double& out) {
  double frac = 0.0, xs = 0.0, mean = 0.0;
  std::int32_t Neff = 0, k = 0;
  smpl_num(N, f, frac, Neff, k);
  smpler(k, frac, x, xs);  // the sample itself, squared after the interpolation
  samp_buff(k, Neff, xs * xs, x0 * x0, mean);
  out = rms_of(mean, G);
}

void dgtl_rms3(std::int32_t N, std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, double f,
               double G, double x0, double& out) {
  using wakro::blocks::node_voltage;
  if (e_s1::timezero) wakro::blocks::check_nodes("DGTL_RMS3", ss, {na, nb, nc});
  const double va = node_voltage(na, ss), vb = node_voltage(nb, ss), vc = node_voltage(nc, ss);
  const double q = ((vc - va) * (vc - va) + (vb - vc) * (vb - vc) + (va - vb) * (va - vb)) * kThird;
  out = rms_of(sampled_mean(N, f, q, x0), G);
}

void dgtl_rms3a(std::int32_t N, double a, double b, double c, double f, double G, double x0, double& out) {
  const double q = (a * a + b * b + c * c) * kThird;
  out = rms_of(sampled_mean(N, f, q, x0), G);
}
