// Column statistics of the multiple-run result files (see statistics.h).
#include "multirun/statistics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "diag/format.h"
#include "files/listread.h"

namespace wakro::multirun {

namespace {

constexpr std::string_view kSummaryRule = "-----------------------------------------";
constexpr std::string_view kDensityRule = "-------------------------------------------------------------------";
constexpr std::string_view kDensityHeading =
    "Centre of Range     Probability(%)   Cumulative Prob.(%)   100-Cumulative Prob.";
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Largest magnitudes summed as they are (see moments()).
constexpr double kLargestPlain = 1.0e140;
constexpr double kSmallestPlain = 1.0e-140;
constexpr std::string_view kCutShortLine = "('Runs cut short and left out of the summary: ',I6)";
constexpr std::string_view kUsedLabel = "Runs used: ";
constexpr std::string_view kUsedNote =
    "Values that are not finite numbers (NaN, Infinity) are left out of the figures.";
constexpr std::string_view kNoFiniteValue = "No run gave a finite value: no density table.";

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

// Moves pos past blanks and at most one comma.
void skip_separators(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos < line.size() && line[pos] == ',') ++pos;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
}

// The next item of the row: a bracketed pair whole, or a word.
std::string_view next_item(std::string_view line, std::size_t& pos) {
  skip_separators(line, pos);
  if (pos >= line.size()) return {};
  const std::size_t start = pos;
  if (line[pos] == '(') {
    const std::size_t close = line.find(')', pos);
    if (close == std::string_view::npos) {
      pos = line.size();
      return line.substr(start);
    }
    pos = close + 1;
    return line.substr(start, pos - start);
  }
  while (pos < line.size() && !is_separator(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

std::string g16(double x) { return edit_g(readable(x), 16, 10); }

std::string_view trimmed(std::string_view s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The value of a text the writers give a value that is not a finite number
// (edit_g's forms, and the asterisks of a field too narrow for its value).
bool read_non_finite(std::string_view item, double& v) {
  item = trimmed(item);
  if (item == "NaN" || (!item.empty() && item.find_first_not_of('*') == std::string_view::npos)) {
    v = kNaN;
  } else if (item == "Infinity" || item == "Inf" || item == "+Infinity" || item == "+Inf") {
    v = kInfinity;
  } else if (item == "-Infinity" || item == "-Inf") {
    v = -kInfinity;
  } else {
    return false;
  }
  return true;
}

// A value whose exponent needs three digits is written without its "E"
// ("0.1000000000+151", "-.1000000000-149").
bool read_wide_exponent(std::string_view item, double& v) {
  item = trimmed(item);
  const std::size_t sign = item.find_last_of("+-");
  constexpr std::string_view kExponentLetters = "EeDd";
  if (sign == std::string_view::npos || sign == 0 ||
      kExponentLetters.find(item[sign - 1]) != std::string_view::npos)
    return false;
  const std::string text = std::string(item.substr(0, sign)).append("E").append(item.substr(sign));
  return list_read(text, {v}) == ReadStatus::ok;
}

// One whole number: a word without blanks inside. A "/" would end the free-
// format read and leave v as it was, and a second word would be passed over,
// so an item with either is no number.
bool read_real(std::string_view item, double& v) {
  item = trimmed(item);
  if (item.empty() || item.find_first_of(" \t,/") != std::string_view::npos) return false;
  return list_read(item, {v}) == ReadStatus::ok || read_non_finite(item, v) || read_wide_exponent(item, v);
}

// A bracketed pair "(re,im)", read as its magnitude; each part must be one
// whole real (read_real), so extra words inside the brackets are no number.
bool read_complex_magnitude(std::string_view item, double& v) {
  const std::size_t comma = item.find(',');
  if (item.size() < 2 || item.back() != ')' || comma == std::string_view::npos) return false;
  double re = 0.0;
  double im = 0.0;
  if (!read_real(item.substr(1, comma - 1), re) || !read_real(item.substr(comma + 1, item.size() - comma - 2), im))
    return false;
  v = std::abs(std::complex<double>(re, im));
  return true;
}

}  // namespace

double readable(double x) {
  return std::isfinite(x) && std::fabs(x) > kLargestWritten ? std::copysign(kLargestWritten, x) : x;
}

bool read_row_values(std::string_view line, int leading, std::span<double> values) {
  std::size_t pos = 0;
  for (int k = 0; k < leading; ++k)
    if (next_item(line, pos).empty()) return false;
  for (double& v : values) {
    const std::string_view item = next_item(line, pos);
    if (item.empty()) return false;
    if (!(item.front() == '(' ? read_complex_magnitude(item, v) : read_real(item, v))) return false;
  }
  return true;
}

std::string mark_cut_short(std::string_view row) { return std::string(row).append("   ").append(kCutShortMark); }

bool is_cut_short_row(std::string_view line) {
  const std::string_view t = trimmed(line);
  return t.size() > kCutShortMark.size() && t.substr(t.size() - kCutShortMark.size()) == kCutShortMark;
}

ColumnStatistics::ColumnStatistics(int ncol, int ndiv) : ncol_(ncol), ndiv_(ndiv) {}

void ColumnStatistics::add(std::span<const double> row) {
  for (int c = 0; c < ncol_; ++c) rows_.push_back(row[static_cast<std::size_t>(c)]);
}

int ColumnStatistics::used(int col) const {
  int n = 0;
  for (int r = 0; r < rows(); ++r) n += std::isfinite(value(r, col)) ? 1 : 0;
  return n;
}

double ColumnStatistics::minimum(int col) const {
  double m = kNaN;
  for (int r = 0; r < rows(); ++r)
    if (const double x = value(r, col); std::isfinite(x) && !(m <= x)) m = x;
  return m;
}

double ColumnStatistics::maximum(int col) const {
  double m = kNaN;
  for (int r = 0; r < rows(); ++r)
    if (const double x = value(r, col); std::isfinite(x) && !(m >= x)) m = x;
  return m;
}

ColumnStatistics::Moments ColumnStatistics::moments(int col) const {
  const std::int64_t n = used(col);
  if (n == 0) return {kNaN, kNaN};
  // Values of ordinary size take the plain sums, whose figures the files have
  // always shown. Values so large that N^2 x^2 could overflow, or so small
  // that x^2 would underflow, are first divided by the power of two nearest
  // the largest magnitude (an exact division), summed, and scaled back.
  double largest = 0.0;
  for (int r = 0; r < rows(); ++r)
    if (std::isfinite(value(r, col))) largest = std::max(largest, std::fabs(value(r, col)));
  const bool ordinary = largest == 0.0 || (largest >= kSmallestPlain && largest <= kLargestPlain);
  const int exponent = ordinary ? 0 : std::ilogb(largest);
  double sum = 0.0;
  double sumsq = 0.0;
  for (int r = 0; r < rows(); ++r) {
    if (!std::isfinite(value(r, col))) continue;
    const double y = std::ldexp(value(r, col), -exponent);
    sum += y;
    sumsq += y * y;
  }
  const double mean = std::ldexp(sum / static_cast<double>(n), exponent);
  if (n < 2) return {mean, 0.0};
  double s = static_cast<double>(n) * sumsq - sum * sum;
  if (!(s > 0.0)) s = 0.0;
  return {mean, std::ldexp(std::sqrt(s / static_cast<double>(n * (n - 1))), exponent)};
}

double ColumnStatistics::mean(int col) const { return moments(col).mean; }

double ColumnStatistics::sigma(int col) const { return moments(col).sigma; }

std::vector<double> ColumnStatistics::edges(int col) const {
  const double lo = minimum(col);
  const double hi = maximum(col);
  // A range so wide that (hi - lo) ndiv passes the largest double is stepped
  // by halves: e(i) = lo + h i + h i, h = (hi/2 - lo/2) / ndiv.
  const bool wide = !std::isfinite((hi - lo) * ndiv_);
  const double h = (hi * 0.5 - lo * 0.5) / ndiv_;
  std::vector<double> e(static_cast<std::size_t>(ndiv_) + 1);
  for (int i = 0; i <= ndiv_; ++i)
    e[static_cast<std::size_t>(i)] = wide ? lo + h * i + h * i : lo + (hi - lo) * i / ndiv_;
  return e;
}

std::vector<int> ColumnStatistics::counts(int col) const {
  const std::vector<double> e = edges(col);
  std::vector<int> count(static_cast<std::size_t>(ndiv_) + 1, 0);
  for (int r = 0; r < rows(); ++r) {
    const double x = value(r, col);
    if (!std::isfinite(x)) continue;
    for (int i = 1; i <= ndiv_; ++i) {
      if (e[static_cast<std::size_t>(i) - 1] <= x && x < e[static_cast<std::size_t>(i)]) {
        ++count[static_cast<std::size_t>(i)];
        break;
      }
    }
    if (x < e[0]) ++count[1];
    if (x >= e[static_cast<std::size_t>(ndiv_)]) ++count[static_cast<std::size_t>(ndiv_)];
  }
  return count;
}

std::string ColumnStatistics::summary(std::string_view heading) const {
  std::string out = "\n";
  out += render_layout("('Statistical Summary Based on ',I6,' Runs:')", {rows()});
  if (cut_short_ > 0) out += render_layout(kCutShortLine, {cut_short_});
  out += std::string(kSummaryRule) + "\n";
  out += std::string(heading) + "\n";
  struct Line {
    const char* label;
    double (*of)(const ColumnStatistics&, int);
  };
  static const Line lines[] = {
      {"Minimum:   ", [](const ColumnStatistics& s, int c) { return s.minimum(c); }},
      {"Maximum:   ", [](const ColumnStatistics& s, int c) { return s.maximum(c); }},
      {"Mean:      ", [](const ColumnStatistics& s, int c) { return s.mean(c); }},
      {"Std Dev:   ", [](const ColumnStatistics& s, int c) { return s.sigma(c); }},
      {" 2% Level: ",
       [](const ColumnStatistics& s, int c) { return s.mean(c) - kTwoPercentDeviations * s.sigma(c); }},
      {"98% Level: ",
       [](const ColumnStatistics& s, int c) { return s.mean(c) + kTwoPercentDeviations * s.sigma(c); }},
  };
  for (const Line& l : lines) {
    out += l.label;
    for (int c = 1; c <= ncol_; ++c) out += g16(l.of(*this, c)) + " ";
    out += "\n";
  }
  bool every_row_used = rows() > 0;
  for (int c = 1; c <= ncol_; ++c) every_row_used = every_row_used && used(c) == rows();
  if (!every_row_used) {
    out += kUsedLabel;
    for (int c = 1; c <= ncol_; ++c) out += edit_i(used(c), 16) + " ";
    out += std::string("\n").append(kUsedNote).append("\n");
  }
  return out;
}

std::string ColumnStatistics::density(int col, std::string_view title) const {
  std::string out = std::string("\n").append(title).append("\n");
  out += std::string(kDensityRule) + "\n";
  if (used(col) == 0) return out.append(kNoFiniteValue).append("\n");
  out += std::string(kDensityHeading) + "\n";
  const std::vector<int> count = counts(col);
  const std::vector<double> e = edges(col);
  const double n = used(col);
  int cumulative = 0;
  for (int i = 1; i <= ndiv_; ++i) {
    cumulative += count[static_cast<std::size_t>(i)];
    const double a = e[static_cast<std::size_t>(i) - 1];
    const double b = e[static_cast<std::size_t>(i)];
    const double centre = std::isfinite(a + b) ? (a + b) * 0.5 : a * 0.5 + b * 0.5;
    const double cum = 100.0 * cumulative / n;
    for (double x : {centre, 100.0 * count[static_cast<std::size_t>(i)] / n, cum, 100.0 - cum})
      out += g16(x) + "    ";
    out += "\n";
  }
  return out;
}

}  // namespace wakro::multirun
