// The recorders mrunob, mrunoi, mrunor and mrunoc (see mruno.h): each keeps
// one running value per output number over a run and hands it to mruno on
// the run's last step.
//
// kind   running value                 start (logical / integer / real / complex magnitude)
//   0    the current value             0
//   1    the minimum                   1 / 400000000 / none / none
//   2    the maximum                   0 / -400000000 / none / none
//   3    the maximum magnitude         0 / 0 / none / none (logical: the maximum)
//   4    sum of value^2 x delt         0 (logical and integer: truncated every step)
// A logical records 0 for any other kind; the other recorders keep their
// start value for it. A real minimum or maximum starts with no value (NaN):
// its first value that is a number is taken, a later one replaces it when
// smaller (larger), and a value that is not a number never does. So a run
// that gave no number keeps NaN, which its row shows and the statistics and
// the optimum search leave out, and no start value can show through as a
// figure (an integer minimum or maximum left at its start is too wide for its
// field and is left out in the same way). A complex value of kind 0 goes to
// the file as a complex column, every other kind as its magnitude (a real
// column).
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/fixedtext.h"
#include "multirun/messages.h"
#include "multirun/mruno.h"
#include "multirun/statistics.h"
#include "multirun/varied.h"

namespace {

using namespace wakro::multirun;

enum RecordKind : std::int32_t { kCurrent = 0, kMinimum = 1, kMaximum = 2, kMaxMagnitude = 3, kSquareIntegral = 4 };
constexpr std::size_t kLabelLength = 18;

struct RecorderState {
  std::array<std::int32_t, kMaxColumns> logical{};
  std::array<std::int32_t, kMaxColumns> integer{};
  std::array<double, kMaxColumns> real{};
  std::array<std::complex<double>, kMaxColumns> complex_value{};
  std::array<double, kMaxColumns> magnitude{};
};
RecorderState rec;

// The checks of a recorder call; the slot index (0-based) of its output.
std::size_t slot_of(std::int32_t opt, std::int32_t optvar, std::int32_t id, std::int32_t nv, std::int32_t nm,
                    std::int32_t ndiv, std::string_view tag) {
  if (id < 1 || id > kMaxColumns) stop_with({"Multiple run output: the output number must be 1 up to 6!"}, tag);
  check_counts(nv, nm, ndiv, tag);
  if (e_s1::firststep && ctrl::mmm == 1) check_optimum_output(opt, optvar, nm);
  return static_cast<std::size_t>(id - 1);
}

wakro::FixedText<20> column_label(std::string_view label) {
  return wakro::FixedText<20>(wakro::trim_right(label).substr(0, kLabelLength));
}

// x truncated toward zero to a 32-bit integer (saturating).
std::int32_t truncated(double x) {
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (std::isnan(x)) return 0;
  return static_cast<std::int32_t>(std::clamp(std::trunc(x), lo, hi));
}

}  // namespace

namespace wakro::multirun::detail {
void reset_recorder_state() { rec = RecorderState{}; }
}  // namespace wakro::multirun::detail

void mrunob(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, bool value,
            std::string_view label) {
  std::int32_t& s = rec.logical[slot_of(opt, optvar, id, nv, nm, ndiv, "MRUNOB      ")];
  const std::int32_t v = value ? 1 : 0;
  if (e_s1::firststep) s = kind == kMinimum ? 1 : 0;
  if (enable == 1) {
    switch (kind) {
      case kCurrent: s = v; break;
      case kMinimum: s = std::min(s, v); break;
      case kMaximum:
      case kMaxMagnitude: s = std::max(s, v); break;
      case kSquareIntegral: s = truncated(s + v * e_s1::delt); break;
      default: s = 0; break;
    }
  }
  if (e_s1::laststep)
    mruno(opt, optvar, minmax, id, kLogical, nv, nm, ndiv, s == 1, 0, 0.0, {}, column_label(label).view());
}

void mrunoi(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, std::int32_t value,
            std::string_view label) {
  constexpr std::int32_t kStartLarge = 400000000;
  std::int32_t& s = rec.integer[slot_of(opt, optvar, id, nv, nm, ndiv, "MRUNOI      ")];
  if (e_s1::firststep) s = kind == kMinimum ? kStartLarge : kind == kMaximum ? -kStartLarge : 0;
  if (enable == 1) {
    switch (kind) {
      case kCurrent: s = value; break;
      case kMinimum: s = std::min(s, value); break;
      case kMaximum: s = std::max(s, value); break;
      case kMaxMagnitude: s = truncated(std::max(static_cast<double>(s), std::fabs(static_cast<double>(value)))); break;
      case kSquareIntegral: s = truncated(s + static_cast<double>(value) * value * e_s1::delt); break;
      default: break;
    }
  }
  if (e_s1::laststep) mruno(opt, optvar, minmax, id, kInteger, nv, nm, ndiv, false, s, 0.0, {}, column_label(label).view());
}

void mrunor(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, double value,
            std::string_view label) {
  double& s = rec.real[slot_of(opt, optvar, id, nv, nm, ndiv, "MRUNOR      ")];
  if (e_s1::firststep) s = kind == kMinimum || kind == kMaximum || kind == kMaxMagnitude ? kNoValue : 0.0;
  if (enable == 1) {
    switch (kind) {
      case kCurrent: s = value; break;
      case kMinimum: keep_extreme(s, true, value); break;
      case kMaximum: keep_extreme(s, false, value); break;
      case kMaxMagnitude: keep_extreme(s, false, std::fabs(value)); break;
      case kSquareIntegral: s += value * value * e_s1::delt; break;
      default: break;
    }
  }
  if (e_s1::laststep) mruno(opt, optvar, minmax, id, kReal, nv, nm, ndiv, false, 0, s, {}, column_label(label).view());
}

void mrunoc(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, std::complex<double> value,
            std::string_view label) {
  const std::size_t k = slot_of(opt, optvar, id, nv, nm, ndiv, "MRUNOC      ");
  std::complex<double>& c = rec.complex_value[k];
  double& m = rec.magnitude[k];
  if (e_s1::firststep) {
    c = 0.0;
    m = kind == kMinimum || kind == kMaximum || kind == kMaxMagnitude ? kNoValue : 0.0;
  }
  if (enable == 1) {
    const double a = std::abs(value);
    switch (kind) {
      case kCurrent: c = value; break;
      case kMinimum: keep_extreme(m, true, a); break;
      case kMaximum:
      case kMaxMagnitude: keep_extreme(m, false, a); break;
      case kSquareIntegral: m += (value * value).real() * e_s1::delt; break;
      default: break;
    }
  }
  if (!e_s1::laststep) return;
  const auto label20 = column_label(label);
  if (kind == kCurrent)
    mruno(opt, optvar, minmax, id, kComplex, nv, nm, ndiv, false, 0, 0.0, c, label20.view());
  else
    mruno(opt, optvar, minmax, id, kReal, nv, nm, ndiv, false, 0, m, {}, label20.view());
}
