// Column statistics of the multiple-run result files (see statistics.h).
#include "multirun/statistics.h"

#include <cmath>
#include <complex>

#include "diag/format.h"
#include "files/listread.h"

namespace wakro::multirun {

namespace {

constexpr std::string_view kSummaryRule = "-----------------------------------------";
constexpr std::string_view kDensityRule = "-------------------------------------------------------------------";
constexpr std::string_view kDensityHeading =
    "Centre of Range     Probability(%)   Cumulative Prob.(%)   100-Cumulative Prob.";
constexpr double kNoMinimum = 1.0e30;
constexpr double kNoMaximum = -1.0e30;

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

std::string g16(double x) { return edit_g(x, 16, 10); }

}  // namespace

bool read_row_values(std::string_view line, int leading, std::span<double> values) {
  std::size_t pos = 0;
  for (int k = 0; k < leading; ++k)
    if (next_item(line, pos).empty()) return false;
  for (double& v : values) {
    const std::string_view item = next_item(line, pos);
    if (item.empty()) return false;
    if (item.front() == '(') {
      std::complex<double> c;
      if (list_read(item, {c}) != ReadStatus::ok) return false;
      v = std::abs(c);
    } else if (list_read(item, {v}) != ReadStatus::ok) {
      return false;
    }
  }
  return true;
}

ColumnStatistics::ColumnStatistics(int ncol, int ndiv) : ncol_(ncol), ndiv_(ndiv) {}

void ColumnStatistics::add(std::span<const double> row) {
  for (int c = 0; c < ncol_; ++c) rows_.push_back(row[static_cast<std::size_t>(c)]);
}

double ColumnStatistics::minimum(int col) const {
  double m = kNoMinimum;
  for (int r = 0; r < rows(); ++r) m = std::min(m, value(r, col));
  return m;
}

double ColumnStatistics::maximum(int col) const {
  double m = kNoMaximum;
  for (int r = 0; r < rows(); ++r) m = std::max(m, value(r, col));
  return m;
}

double ColumnStatistics::mean(int col) const {
  double sum = 0.0;
  for (int r = 0; r < rows(); ++r) sum += value(r, col);
  return sum / rows();
}

double ColumnStatistics::sigma(int col) const {
  const std::int64_t n = rows();
  if (n < 2) return 0.0;
  double sum = 0.0;
  double sumsq = 0.0;
  for (int r = 0; r < rows(); ++r) {
    sum += value(r, col);
    sumsq += value(r, col) * value(r, col);
  }
  double s = static_cast<double>(n) * sumsq - sum * sum;
  if (!(s > 0.0)) s = 0.0;
  return std::sqrt(s / static_cast<double>(n * (n - 1)));
}

double ColumnStatistics::edge(int col, int i) const {
  const double lo = minimum(col);
  return lo + (maximum(col) - lo) * i / ndiv_;
}

std::vector<int> ColumnStatistics::counts(int col) const {
  std::vector<double> e(static_cast<std::size_t>(ndiv_) + 1);
  for (int i = 0; i <= ndiv_; ++i) e[static_cast<std::size_t>(i)] = edge(col, i);
  std::vector<int> count(static_cast<std::size_t>(ndiv_) + 1, 0);
  for (int r = 0; r < rows(); ++r) {
    const double x = value(r, col);
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
  return out;
}

std::string ColumnStatistics::density(int col, std::string_view title) const {
  std::string out = std::string("\n").append(title).append("\n");
  out += std::string(kDensityRule) + "\n";
  out += std::string(kDensityHeading) + "\n";
  const std::vector<int> count = counts(col);
  const double n = rows();
  int cumulative = 0;
  for (int i = 1; i <= ndiv_; ++i) {
    cumulative += count[static_cast<std::size_t>(i)];
    const double centre = (edge(col, i - 1) + edge(col, i)) * 0.5;
    const double cum = 100.0 * cumulative / n;
    for (double x : {centre, 100.0 * count[static_cast<std::size_t>(i)] / n, cum, 100.0 - cum})
      out += g16(x) + "    ";
    out += "\n";
  }
  return out;
}

}  // namespace wakro::multirun
