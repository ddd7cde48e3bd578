// The statistics of a result file of a multiple run: per column the minimum,
// maximum, mean, standard deviation and the 2 % and 98 % levels, and a
// probability-density table per column, as the multiple-run output file and
// the extra recording files append them after their rows.
//
// Formulas over the N rows of a column x(1..N):
//   mean  = sum(x) / N
//   sigma = sqrt(s / (N (N - 1))), s = N sum(x^2) - sum(x)^2 (0 when not
//           positive), and sigma = 0 for a single row
//   levels = mean -/+ 2.053748941152 sigma
//   edges  e(i) = min + (max - min) i / ndiv, i = 0 .. ndiv; a value counts in
//           the first bucket i with e(i-1) <= x < e(i), below e(0) in bucket 1
//           and from e(ndiv) on in bucket ndiv (so the maximum is in the last).
// The figures are those of the finite values as they are: no start value
// shows through the minimum or maximum, and values too large for the plain
// sums of squares are summed scaled, so that only a figure which itself
// passes the largest double is not finite.
// A run whose value in a column is not a finite number (NaN, an infinity, or
// a value too wide for its field) is left out of that column's figures: N is
// then, per column, the number of runs that fed it, and the summary gives
// those numbers on a line of its own. A row marked as the row of a run that
// was cut short feeds no figure at all; the summary says how many there were.
// With every value finite and no run cut short the summary and the tables
// are exactly those of the formulas above over all N rows.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wakro::multirun {

inline constexpr std::int32_t kMaxDensityDivisions = 100;
// Standard deviations from the mean to the 2 % and 98 % levels of a normal
// distribution.
inline constexpr double kTwoPercentDeviations = 2.053748941152;

// Reads the values of one row: `leading` words (rank code, run number) are
// passed over, then `values.size()` values follow. A value is a real, or a
// bracketed complex pair "(re,im)", which counts as its magnitude. The texts
// the writers give a value that is not a finite number ("NaN", "Infinity",
// "-Infinity", "Inf", "-Inf") read back as that value, and a field of
// asterisks (a value too wide for its field) as NaN; so does a value whose
// three-digit exponent was written without its "E". False when the row holds
// fewer values or one of them is no number.
bool read_row_values(std::string_view line, int leading, std::span<double> values);

// The largest magnitude written with 10 significant digits that reads back
// as a double: 1.7976931348623157E308 rounded would be written as
// "0.1797693135+309", beyond the range of a double.
inline constexpr double kLargestWritten = 1.797693134e308;
// x as the writers of the result files hand it to the G16.10 editing: a
// finite value of larger magnitude than kLargestWritten as that magnitude
// with its sign (the same 10 digits, the last one cut instead of rounded up),
// any other value unchanged.
double readable(double x);

// A running minimum or maximum starts with no value (NaN), so that a run which
// gave no number records NaN (left out of the statistics) and no start value
// shows through as a figure.
inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
// The running minimum (smaller) or maximum s after x: the first number taken,
// a later one when smaller (larger), a value that is not a number never.
inline void keep_extreme(double& s, bool smaller, double x) {
  if (std::isnan(x)) return;
  if (std::isnan(s) || (smaller ? x < s : x > s)) s = x;
}

// The row of a run that was cut short ends with this mark.
inline constexpr std::string_view kCutShortMark = "(cut short)";
// The row with the mark after it.
std::string mark_cut_short(std::string_view row);
bool is_cut_short_row(std::string_view line);

// The statistics of ncol columns over the rows given to add().
class ColumnStatistics {
 public:
  ColumnStatistics(int ncol, int ndiv);
  void add(std::span<const double> row);
  // Counts a row of a run that was cut short, which feeds no figure.
  void add_cut_short() { ++cut_short_; }
  int rows() const { return static_cast<int>(rows_.size()) / ncol_; }
  int cut_short() const { return cut_short_; }
  // Rows whose value in column col is a finite number.
  int used(int col) const;

  // "" then "Statistical Summary Based on N Runs:" (N the rows added), the
  // count of runs cut short when there were any, the rule, the heading line
  // and the six statistic lines, then, when a column was fed by fewer than N
  // runs, the runs that fed each column; each line ending in '\n'.
  std::string summary(std::string_view heading) const;
  // "", the given title line, the rule, the column heading and ndiv lines of
  // centre, probability, cumulative probability and its complement (in %) of
  // column col (1-based); a column without a finite value gets a line saying
  // so instead of the table.
  std::string density(int col, std::string_view title) const;

  double mean(int col) const;
  double sigma(int col) const;
  double minimum(int col) const;
  double maximum(int col) const;
  // Bucket counts of column col, buckets 1 .. ndiv.
  std::vector<int> counts(int col) const;

 private:
  double value(int row, int col) const { return rows_[static_cast<std::size_t>(row * ncol_ + col - 1)]; }
  struct Moments {
    double mean;
    double sigma;
  };
  Moments moments(int col) const;
  // The bucket edges e(0..ndiv) of column col.
  std::vector<double> edges(int col) const;

  int ncol_;
  int ndiv_;
  int cut_short_ = 0;
  std::vector<double> rows_;
};

}  // namespace wakro::multirun
