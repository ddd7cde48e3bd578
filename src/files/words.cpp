// Words of data lines and the small text services of the input files.
#include "files/words.h"

#include <cmath>
#include <string>

#include "diag/listout.h"
#include "files/listread.h"
#include "files/units.h"

namespace {

constexpr std::size_t kWidth = 72;

bool skipped(char c) { return c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '#'; }
bool word_end(char c) { return c == ' ' || c == '\t' || c == '=' || c == '\'' || c == '"'; }

// The word found from column index `from` (0-based) on: sets first/last to its
// 0-based bounds and gives true, or false when only skipped characters follow.
bool find_word(const Line72& line, std::size_t from, std::size_t& first, std::size_t& last) {
  std::size_t i = from;
  while (i < kWidth && skipped(line[i])) ++i;
  if (i >= kWidth) return false;
  first = i;
  while (i < kWidth && !word_end(line[i])) ++i;
  last = i - 1;
  return true;
}

Line72 word_text(const Line72& line, std::size_t first, std::size_t last) {
  return Line72(line.view().substr(first, last - first + 1));
}

// Rule 4: the line's last character, a tab read as the blank it stands for.
Line72 last_character(const Line72& line) {
  if (line[kWidth - 1] == '\t') return Line72();
  return Line72(line.view().substr(kWidth - 1, 1));
}

}  // namespace

Line72 wakro_firstwrd(const Line72& line) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!find_word(line, 0, first, last)) return last_character(line);
  return word_text(line, first, last);
}

Line72 wakro_secondwrd(const Line72& line) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!find_word(line, 0, first, last)) return last_character(line);
  if (last == kWidth - 1) return word_text(line, first, last);
  // Resume two columns after the first word's last character; a resume point
  // beyond the line finds nothing.
  const std::size_t resume = last + 2;
  std::size_t f2 = 0;
  std::size_t l2 = 0;
  if (resume >= kWidth || !find_word(line, resume, f2, l2)) return last_character(line);
  return word_text(line, f2, l2);
}

Line72 wakro_rhs72str(const Line72& line) {
  const std::string_view v = line.view();
  const std::size_t eq = v.find('=');
  if (eq == std::string_view::npos) return Line72();
  std::string_view rest = v.substr(eq + 1);
  const std::size_t start = rest.find_first_not_of(" \t");
  if (start == std::string_view::npos) return Line72();
  return Line72(rest.substr(start));
}

Line72 wakro_inclname(const Line72& line) {
  Line72 name;
  const std::string_view v = line.view();
  const std::size_t e = v.find('E');
  if (e == std::string_view::npos) return name;
  if (wakro::list_read(v.substr(e + 1), {name}) != wakro::ReadStatus::ok) name.blank();
  return name;
}

void wakro_getfname(const Line72& line, Line72& name) {
  const std::string_view v = line.view();
  const std::size_t open = v.substr(0, kWidth - 1).find_first_of("'\"");
  if (open == std::string_view::npos) {
    wakro::ListLine() << "GET_FNAME 01: Cannot extract filename from " << v;
    return;
  }
  const std::size_t close = v.find_first_of("'\"", open + 1);
  if (close == std::string_view::npos) {
    wakro::ListLine() << "GET_FNAME 02: Cannot extract filename from " << v;
    return;
  }
  name.assign(v.substr(open + 1, close - open - 1));
}

bool wakro_sectname(const Line72& word) {
  const char c = word[0];
  return c == '{' || c == '}' || word.view().find(':') != std::string_view::npos;
}

void wakro_skipcmnt(std::int32_t unit) {
  for (;;) {
    std::string record;
    const wakro::ReadStatus st = wakro::read_record(unit, record);
    if (st == wakro::ReadStatus::end) {
      wakro::ListLine() << "SKIPCMNT: Unexpected End_Of_File";
      return;
    }
    if (st == wakro::ReadStatus::error) {
      wakro::ListLine() << "SKIPCMNT: Error while reading data";
      return;
    }
    const Line72 word = wakro_firstwrd(Line72(record));
    if (!word.is_blank() && word[0] != '!') {
      wakro::step_back(unit);
      return;
    }
  }
}

Line72 initstr72() { return Line72(); }

std::int32_t getdl(std::string_view text, std::int32_t length) {
  if (length < 1) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), text.size());
  return static_cast<std::int32_t>(wakro::trim_right(text.substr(0, n)).size());
}

bool notblank(const Line72& line) { return !line.is_blank(); }

std::size_t file_part_start(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? 0 : slash + 1;
}

double dclean(double x) {
  if (!std::isfinite(x) || std::fabs(x) < 1.0e-30) return x;
  const double p = std::pow(10.0, std::round(std::log10(std::fabs(x))) - 7.0);
  return std::copysign(std::round(std::fabs(x) / p) * p, x);
}
