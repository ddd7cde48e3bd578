// Ideal multi-winding transformers and the winding-file configuration
// (ideal_windings.h).
//
// idealymatrix, winding n the reference, m = n - 1:
//   A(p, p) = X(p, n),  A(p, q) = (X(p, n) + X(q, n) - X(q, p)) / 2   (p, q <= m)
//   B = A^-1;  Y(p, q) = B(p, q),  Y(n, q) = Y(q, n) = -sum_p B(p, q),
//   Y(n, n) = -sum_q Y(n, q);  Gamma(i, j) = Y(i, j) 2 pi f S / (Vi Vj).
// The record written (kind 1, or kind 2 for an inductance file): for i <= j,
// tfdata(2i, j) = Gamma(i, j) or L(i, j), tfdata(2j - 1, j) = R(j), and 0.0 in
// the off-diagonal resistance slots.
#include "transformers/ideal_windings.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "blocks/matrix.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/listread.h"
#include "files/units.h"
#include "files/words.h"
#include "model/constants.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/rt_config.h"
#include "transformers/cfg_checks.h"
#include "transformers/settfparm.h"

namespace {

using wakro::kTwoPi;
constexpr double kSmallest = 1e-32;  // least rating, voltage or leakage of the array form
constexpr double kLeastRated = 1e-6;  // least rating, voltage or frequency of the file form
constexpr std::string_view kNwdgTag = "TF_NWDG     ";
constexpr std::string_view kFileTag = "N_WDG_TF_CFG";

using namespace wakro::nameplate_text;
constexpr std::string_view kWindingsText = "Unrealistic Number of Transformer Windings.";
constexpr std::string_view kReadText = "Unexpected error in reading file ";

std::size_t pairs(std::int32_t n) { return static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2; }
std::size_t packed(std::int32_t i, std::int32_t j) {  // pair (i, j), i < j, 0-based position
  return static_cast<std::size_t>((j - 1) * (j - 2) / 2 + i - 1);
}
std::size_t at(std::int32_t i, std::int32_t j, std::int32_t n) {  // column-major (i, j), from 1
  return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n) + static_cast<std::size_t>(i - 1);
}

void error_line(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                text);
}

// A value that passes a lower limit (a NaN does not).
bool at_least(double v, double limit) { return v >= limit; }

bool winding_count_fits(std::int32_t n) { return n >= 2 && n <= ndde::nd3; }

// The record of the inverse inductances y (n x n) and resistances r.
void gamma_record(std::int32_t n, const std::vector<double>& y, const std::vector<double>& r) {
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= j; ++i) {
      rt_config::tfdata(2 * i - 1, j) = i == j ? r[static_cast<std::size_t>(j - 1)] : 0.0;
      rt_config::tfdata(2 * i, j) = y[at(i, j, n)];
    }
}

}  // namespace

bool idealymatrix(std::int32_t n, double f, double s, std::span<const double> x,
                  std::span<const double> v, std::span<double> y) {
  if (n < 2 || x.size() < pairs(n) || v.size() < static_cast<std::size_t>(n) ||
      y.size() < static_cast<std::size_t>(n) * static_cast<std::size_t>(n))
    return false;
  const std::int32_t m = n - 1;
  const auto mm = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  std::vector<double> a(mm), b(mm), work(mm), dummy(1);
  std::vector<std::int32_t> rows(static_cast<std::size_t>(m)), cols(static_cast<std::size_t>(m));
  std::fill(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(n) * n, 0.0);

  // Step 1: the short-circuit reactances referred to winding n.
  for (std::int32_t p = 1; p <= m; ++p) {
    a[at(p, p, m)] = x[packed(p, n)];
    for (std::int32_t q = 1; q < p; ++q)
      a[at(p, q, m)] = a[at(q, p, m)] = 0.5 * (x[packed(p, n)] + x[packed(q, n)] - x[packed(q, p)]);
  }
  // Step 2: their inverse.
  if (!matinv(a.data(), b.data(), m, dummy.data(), work.data(), rows.data(), cols.data())) return false;

  // Step 3: bordered so that rows and columns sum to zero.
  double ynn = 0.0;
  for (std::int32_t q = 1; q <= m; ++q) {
    double col = 0.0;
    for (std::int32_t p = 1; p <= m; ++p) {
      y[at(p, q, n)] = b[at(p, q, m)];
      col += b[at(p, q, m)];
    }
    y[at(n, q, n)] = y[at(q, n, n)] = -col;
    ynn -= y[at(n, q, n)];
  }
  y[at(n, n, n)] = ynn;

  // Step 4: inverse inductances.
  bool finite = true;
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= i; ++j) {
      const double g = y[at(i, j, n)] * kTwoPi * f * s * (1.0 / v[static_cast<std::size_t>(i - 1)]) *
                       (1.0 / v[static_cast<std::size_t>(j - 1)]);
      y[at(i, j, n)] = y[at(j, i, n)] = g;
      finite = finite && std::isfinite(g);
    }
  if (!finite) std::fill(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(n) * n, 0.0);
  return finite;
}

void e_tfnw1_cfg(std::int32_t k, std::int32_t n, double s, double f, std::span<const double> x,
                 std::span<const double> p, std::span<const double> v) {
  // Step 1: checks.
  const auto nn = static_cast<std::size_t>(std::max(n, 0));
  if (!winding_count_fits(n) || x.size() < pairs(n) || p.size() < nn || v.size() < nn) {
    error_line(kWindingsText);
    wakro_quit(kNwdgTag, 0);
  }
  bool failed = false;
  auto fail = [&failed](std::string_view text) {
    failed = true;
    error_line(text);
  };
  if (!at_least(s, kSmallest)) fail(kMvaText);
  if (std::any_of(v.begin(), v.begin() + n, [](double vi) { return !at_least(vi, kSmallest); }))
    fail(kVoltageText);
  if (std::any_of(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(pairs(n)),
                  [](double xi) { return !at_least(xi, kSmallest); })) {
    error_line(kLeakageText);
    wakro_quit(kNwdgTag, 0);
  }
  if (!(f > 0.0)) fail(kFrequencyText);
  if (failed) wakro_quit(kNwdgTag, 0);
  wakro::check_tf_handover(k, wakro::kTfInverseInductance, kNwdgTag, n);

  // Step 2: resistances from the copper losses, r = P S / I^2.
  std::vector<double> r(nn, 0.0), y(nn * nn);
  for (std::size_t i = 0; i < nn; ++i) {
    const double current = s / v[i];
    if (p[i] > 0.0) r[i] = p[i] * s / (current * current);
  }
  // Step 3: the inverse inductances, the record and the formation.
  if (!idealymatrix(n, f, s, x, v, y)) {
    error_line(kLeakageText);
    wakro_quit(kNwdgTag, 0);
  }
  gamma_record(n, y, r);
  wakro_settfparm(k, wakro::kTfInverseInductance, kNwdgTag, n);
}

// ---------------------------------------------------------------------------
// The winding file.

namespace {

// What the winding file holds: the matrix values in file order and the
// resistances (0 when the flag is 0).
struct WindingFile {
  std::vector<double> values;
  std::vector<double> r;
};

// A comment line of the data files: 'C' or 'c' in column 1, a blank line, or a
// first word starting with '!' or '/'.
bool comment(const std::string& record) {
  const Line72 line(std::string_view(record).substr(0, std::min<std::size_t>(record.size(), 72)));
  if (line[0] == 'C' || line[0] == 'c' || line.is_blank()) return true;
  const Line72 word = wakro_firstwrd(line);
  return word[0] == '!' || word[0] == '/';
}

// Passes over comment lines; false at the end of the file or a read error.
bool skip_comments(std::int32_t unit) {
  std::string record;
  for (;;) {
    if (wakro::read_record(unit, record) != wakro::ReadStatus::ok) return false;
    if (!comment(record)) {
      wakro::step_back(unit);
      return true;
    }
  }
}

// Reads the file's values; false on an end of file or a value that is not a
// number.
bool read_winding_file(std::int32_t unit, std::int32_t type, std::int32_t n, WindingFile& out) {
  const std::size_t count = type == 1 ? pairs(n) : static_cast<std::size_t>(n) * static_cast<std::size_t>(n + 1) / 2;
  out.values.assign(count, 0.0);
  out.r.assign(static_cast<std::size_t>(n), 0.0);
  if (!skip_comments(unit)) return false;
  for (double& value : out.values)
    if (wakro::list_read_unit(unit, {value}) != wakro::ReadStatus::ok) return false;
  std::int32_t flag = 0;
  if (!skip_comments(unit) || wakro::list_read_unit(unit, {flag}) != wakro::ReadStatus::ok) return false;
  if (flag == 0) return true;
  std::vector<double> row;
  for (std::int32_t i = 1; i <= n; ++i) {
    row.assign(static_cast<std::size_t>(i), 0.0);
    if (wakro::list_read_unit(unit, {std::span<double>(row)}) != wakro::ReadStatus::ok) return false;
    out.r[static_cast<std::size_t>(i - 1)] = row.back();
  }
  return true;
}

// Opens the file on the unit stack, reads it and closes it, leaving the file
// name and section as found. False when it could not be read whole.
bool load_winding_file(std::string_view file, std::int32_t type, std::int32_t n, WindingFile& out) {
  const wakro::FixedText<72> saved_name = fnames::filename;
  fnames::filename = file.substr(0, std::min<std::size_t>(file.size(), 72));
  wakro_openfile();
  const wakro::FixedText<72> saved_section = fnames::section;
  const bool ok = read_winding_file(fnames::iunit, type, n, out);
  wakro_closefile();
  fnames::filename = saved_name;
  fnames::section = saved_section;
  return ok;
}

void file_checks(std::int32_t type, std::int32_t n, double f, double s, std::span<const double> v) {
  bool failed = false;
  auto fail = [&failed](std::string_view text) {
    failed = true;
    error_line(text);
  };
  if (type != 1 && type != 2) fail("Unexpected transformer type");
  if (n < 2) {
    fail("Number of windings should be more than 1");
  } else if (n > ndde::nd3) {
    fail(kWindingsText);
  }
  if (type == 1 && n >= 2) {
    if (!at_least(s, kLeastRated)) fail("Unrealistically low rated MVA specified");
    const bool short_v = v.size() < static_cast<std::size_t>(n);
    if (short_v || std::any_of(v.begin(), v.begin() + n, [](double vi) { return !at_least(vi, kLeastRated); }))
      fail("Unrealistically low rated voltage specified in the input vector");
    if (!at_least(f, kLeastRated)) {
      error_line("Unrealistically low rated frequency specified");
      wakro_quit(kFileTag, 0);
    }
  }
  if (failed) wakro_quit(kFileTag, 0);
}

}  // namespace

void n_wdg_tf_cfg(std::int32_t k1, std::int32_t k2, std::int32_t k3, std::int32_t type,
                  std::int32_t n, double f, double s, std::span<const double> v,
                  std::string_view file) {
  // Step 1: checks, the units of the bank first among those that take the
  // record; step 2: the file.
  file_checks(type, n, f, s, v);
  wakro::check_tf_handover(k1, type, kFileTag, n);
  for (const std::int32_t k : {k2, k3})
    if (k != 0) wakro::check_tf_handover(k, type, kFileTag, n);
  WindingFile wf;
  if (!load_winding_file(file, type, n, wf)) {
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::first_of(2),
                  kReadText);
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kLastLine,
                  file);
    wakro_quit(kFileTag, 0);
  }

  // Step 3: the record, cleared once the reactances are known to fit.
  const auto nn = static_cast<std::size_t>(n);
  if (type == 1) {
    std::vector<double> x(pairs(n)), y(nn * nn), r(nn);
    std::size_t next = 0;
    for (std::int32_t i = 1; i < n; ++i)
      for (std::int32_t row = i + 1; row <= n; ++row) x[packed(i, row)] = wf.values[next++];
    if (!idealymatrix(n, f, s, x, v, y)) {
      error_line(kLeakageText);
      wakro_quit(kFileTag, 0);
    }
    rt_config::tfdata.fill(0.0);
    for (std::size_t j = 0; j < nn; ++j) r[j] = wf.r[j] * v[j] * v[j] / s;  // pu to ohm
    gamma_record(n, y, r);
  } else {
    rt_config::tfdata.fill(0.0);
    std::size_t next = 0;
    for (std::int32_t row = 1; row <= n; ++row)
      for (std::int32_t col = 1; col <= row; ++col) rt_config::tfdata(2 * col, row) = wf.values[next++];
    for (std::int32_t j = 1; j <= n; ++j) rt_config::tfdata(2 * j - 1, j) = wf.r[static_cast<std::size_t>(j - 1)];
  }

  // Step 4: the same record for each unit of the bank.
  wakro_settfparm(k1, type, kFileTag, n);
  if (k2 != 0) wakro_settfparm(k2, type, kFileTag, n);
  if (k3 != 0) wakro_settfparm(k3, type, kFileTag, n);
}
