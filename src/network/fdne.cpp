// get_fdne_y: reads one frequency-dependent network equivalent from its model
// file and evaluates its admittance matrix at the complex frequency s (see
// fdne.h for the file layout). The pole and residue tables live only for the
// call. Every number is read from a line of its own, free format (the first item
// of the line; D or E exponents), independent of the locale.
#include "network/fdne.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <system_error>

#include "files/textfile.h"
#include "model/fatal.h"

namespace fdneharmimp {
namespace {

class ModelFile {
 public:
  ModelFile(std::string_view name) : name_(name) {
    // A device, a folder or a pipe is no model file (a pipe's open would wait).
    if (const std::string_view kind = wakro::not_a_file(name_); !kind.empty()) fail(kind);
    errno = 0;
    in_.open(name_);
    if (!in_) fail("cannot be opened: " + wakro::system_reason(errno));
    std::error_code ec;
    const auto size = std::filesystem::file_size(name_, ec);
    bytes_ = ec ? -1 : static_cast<std::int64_t>(size);
  }
  // Size of the file in bytes (-1 when it cannot be told).
  std::int64_t bytes() const { return bytes_; }
  // Passes over n lines (the header), counting them.
  void skip(std::int32_t n) {
    sl(in_, n);
    line_ += n;
  }

  double real() {
    const std::string item = next_item();
    double v = 0.0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), v);
    // Not-a-number and infinities are read errors, as in every free-format read.
    if (ec != std::errc() || end != item.data() + item.size() || !std::isfinite(v))
      fail("holds a malformed number");
    return v;
  }
  std::int32_t integer() {
    const std::string item = next_item();
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), v);
    if (ec != std::errc() || end != item.data() + item.size()) fail("holds a malformed pole count");
    return v;
  }
  [[noreturn]] void fail(std::string_view why) const {
    wakro::runtime_stop("FDNE model file " + name_ + " " + std::string(why));
  }

 private:
  // The first item of the next line: blanks and commas separate items.
  std::string next_item() {
    std::string line;
    const wakro::TextLine st = wakro::read_text_line(in_, line);
    ++line_;
    if (st == wakro::TextLine::too_long)
      fail("is refused: " + wakro::line_too_long_text(line_));
    if (st != wakro::TextLine::ok) fail("ends too early");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto sep = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    auto b = std::find_if_not(line.begin(), line.end(), sep);
    auto e = std::find_if(b, line.end(), sep);
    std::string item(b, e);
    if (item.empty()) fail("holds an empty line where a number is expected");
    if (item.front() == '+') item.erase(0, 1);
    std::replace(item.begin(), item.end(), 'D', 'E');
    std::replace(item.begin(), item.end(), 'd', 'e');
    return item;
  }

  std::string name_;
  std::ifstream in_;
  std::int64_t bytes_ = -1;
  std::int64_t line_ = 0;  // lines read or skipped so far
};

}  // namespace

void sl(std::istream& in, std::int32_t n) {
  // Skipped lines are not kept, so even a line without end takes no memory.
  for (std::int32_t k = 0; k < n && in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
       ++k) {
  }
}

void get_fdne_y(wakro::FArray<wakro::cplx, 2>& y, wakro::cplx s, std::int32_t n,
                std::string_view name) {
  if (y.allocated()) y.allocate(n, n);  // stops: already allocated
  ModelFile file(name);
  if (n < 1) file.fail("is asked for fewer than one port");

  // Step 1: header.
  file.skip(4);

  // Step 2: the port blocks; the first sizes the tables.
  wakro::FArray<wakro::cplx, 1> poles{"poles"};
  wakro::FArray<wakro::cplx, 3> residues{"residues"};
  std::int32_t m = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t mi = file.integer();
    if (mi < 0) file.fail("gives a negative pole count");
    // Every pole takes 2 + 2n lines of at least one byte each in this block alone,
    // so a count the file cannot hold is refused before it sizes any table.
    const std::int64_t lines = std::int64_t{mi} * (2 + 2 * std::int64_t{n});
    if (i == 1 && file.bytes() >= 0 && lines > file.bytes())
      file.fail("gives a pole count larger than the file can hold");
    if (i == 1) {
      m = mi;
      poles.allocate(m);
      residues.allocate(n, n, m);
    } else if (mi != m) {
      file.fail("gives different pole counts for its ports");
    }
    for (std::int32_t k = 1; k <= m; ++k) {
      const double re = file.real();
      const double im = file.real();
      if (i == 1) poles(k) = {re, im};
      for (std::int32_t j = 1; j <= n; ++j) {
        const double rr = file.real();
        const double ri = file.real();
        residues(j, i, k) = {rr, ri};
      }
    }
  }

  // Step 3: D, row by row, is where Y starts.
  wakro::FArray<double, 2> d{"d"};
  d.allocate(n, n);
  for (std::int32_t p = 1; p <= n; ++p)
    for (std::int32_t q = 1; q <= n; ++q) d(p, q) = file.real();
  for (std::int32_t k = 1; k <= m; ++k)
    if (s - poles(k) == wakro::cplx(0.0, 0.0)) file.fail("has a pole at the frequency asked for");
  y.allocate(n, n);
  for (std::int32_t q = 1; q <= n; ++q)
    for (std::int32_t p = 1; p <= n; ++p) y(p, q) = {d(p, q), 0.0};

  // Step 4: the pole terms.
  for (std::int32_t k = 1; k <= m; ++k) {
    const wakro::cplx den = s - poles(k);
    for (std::int32_t q = 1; q <= n; ++q)
      for (std::int32_t p = 1; p <= n; ++p) y(p, q) += residues(p, q, k) / den;
  }
}

}  // namespace fdneharmimp
