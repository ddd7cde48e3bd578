// The free-format reader: a scanner over one line or over the records of a unit,
// and the conversion of each item to its target's kind.
#include "files/listread.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace wakro {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// What the scanner found where the next item should start.
enum class Next { value, null, slash, end, error };

class Scanner {
 public:
  // An in-memory line (unit < 0) or the records of a unit.
  Scanner(std::string_view line, std::int32_t unit) : unit_(unit) {
    if (unit_ < 0) {
      rec_.assign(line);
      loaded_ = true;
    }
  }

  // Skips to the start of the next item; on Next::value pos_ is at its first
  // character.
  Next advance() {
    for (;;) {
      if (!loaded_ || pos_ >= rec_.size()) {
        if (unit_ < 0) return Next::end;
        const ReadStatus st = read_record(unit_, rec_);
        if (st == ReadStatus::error) return Next::error;
        if (st == ReadStatus::end) return Next::end;
        loaded_ = true;
        pos_ = 0;
        // A record boundary separates items like a blank does.
        continue;
      }
      const char c = rec_[pos_];
      if (is_blank(c)) {
        ++pos_;
        continue;
      }
      if (c == ',') {
        ++pos_;
        if (!after_value_) return Next::null;
        after_value_ = false;
        continue;
      }
      if (c == '/') return Next::slash;
      return Next::value;
    }
  }

  // A bare token: up to a blank, a comma or (for numbers) a slash.
  std::string_view token(bool slash_ends) {
    const std::size_t start = pos_;
    while (pos_ < rec_.size()) {
      const char c = rec_[pos_];
      if (is_blank(c) || c == ',' || (slash_ends && c == '/')) break;
      ++pos_;
    }
    return std::string_view(rec_).substr(start, pos_ - start);
  }

  // A quoted text starting at pos_ (the quote); false when it is not closed on
  // its line.
  bool quoted(std::string& out) {
    const char q = rec_[pos_++];
    out.clear();
    while (pos_ < rec_.size()) {
      const char c = rec_[pos_++];
      if (c != q) {
        out.push_back(c);
        continue;
      }
      if (pos_ < rec_.size() && rec_[pos_] == q) {
        out.push_back(q);
        ++pos_;
        continue;
      }
      return true;
    }
    return false;
  }

  char peek() const { return pos_ < rec_.size() ? rec_[pos_] : '\0'; }
  void skip_blanks() {
    while (pos_ < rec_.size() && is_blank(rec_[pos_])) ++pos_;
  }
  void take(char c) {
    if (peek() == c) ++pos_;
  }
  bool at(char c) const { return peek() == c; }
  void value_done() { after_value_ = true; }

 private:
  std::int32_t unit_;
  std::string rec_;
  std::size_t pos_ = 0;
  bool loaded_ = false;
  bool after_value_ = false;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool parse_int(std::string_view t, std::int32_t& v) {
  // One optional sign, then digits only.
  const std::size_t first = (!t.empty() && (t.front() == '+' || t.front() == '-')) ? 1 : 0;
  if (first == t.size() || !is_digit(t[first])) return false;
  if (t.front() == '+') t.remove_prefix(1);
  std::int64_t wide = 0;
  const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), wide);
  if (ec != std::errc() || p != t.data() + t.size()) return false;
  if (wide < std::numeric_limits<std::int32_t>::min() ||
      wide > std::numeric_limits<std::int32_t>::max())
    return false;
  v = static_cast<std::int32_t>(wide);
  return true;
}

// Checks the real grammar and converts; an E, D or Q exponent letter is allowed.
bool parse_real(std::string_view t, double& v) {
  std::string s;
  std::size_t i = 0;
  // A leading '+' is taken as an integer's is; the conversion below knows only '-'.
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') s.push_back('-');
    ++i;
  }
  std::size_t digits = 0;
  while (i < t.size() && is_digit(t[i])) s.push_back(t[i++]), ++digits;
  if (i < t.size() && t[i] == '.') {
    s.push_back(t[i++]);
    while (i < t.size() && is_digit(t[i])) s.push_back(t[i++]), ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size()) {
    const char e = t[i];
    if (e != 'E' && e != 'e' && e != 'D' && e != 'd' && e != 'Q' && e != 'q') return false;
    s.push_back('e');
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) s.push_back(t[i++]);
    std::size_t exp_digits = 0;
    while (i < t.size() && is_digit(t[i])) s.push_back(t[i++]), ++exp_digits;
    if (exp_digits == 0 || i != t.size()) return false;
  }
  double x = 0.0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), x);
  if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(x)) return false;
  v = x;
  return true;
}

bool parse_logical(std::string_view t, bool& v) {
  if (!t.empty() && t.front() == '.') t.remove_prefix(1);
  if (t.empty()) return false;
  const char c = t.front();
  if (c == 'T' || c == 't') {
    v = true;
    return true;
  }
  if (c == 'F' || c == 'f') {
    v = false;
    return true;
  }
  return false;
}

void store_text(const ListItem& item, std::string_view text) {
  if (item.count() == 0) {
    static_cast<std::string*>(item.target())->assign(text);
  } else {
    assign_padded(static_cast<char*>(item.target()), item.count(), text);
  }
}

bool read_complex(Scanner& sc, std::complex<double>& v) {
  sc.take('(');
  sc.skip_blanks();
  double re = 0.0;
  double im = 0.0;
  if (!parse_real(sc.token(true), re)) return false;
  sc.skip_blanks();
  if (!sc.at(',')) return false;
  sc.take(',');
  sc.skip_blanks();
  std::string_view t = sc.token(true);
  if (!t.empty() && t.back() == ')') {
    t.remove_suffix(1);
    if (!parse_real(t, im)) return false;
  } else {
    if (!parse_real(t, im)) return false;
    sc.skip_blanks();
    if (!sc.at(')')) return false;
    sc.take(')');
  }
  v = {re, im};
  return true;
}

// Reads one scalar of the given kind into p at the scanner's value.
bool read_value(Scanner& sc, ListItem::Kind kind, void* p, const ListItem& item) {
  using K = ListItem::Kind;
  const char c = sc.peek();
  if (kind == K::Text) {
    std::string text;
    if (c == '\'' || c == '"') {
      if (!sc.quoted(text)) return false;
      store_text(item, text);
    } else {
      store_text(item, sc.token(false));
    }
    return true;
  }
  if (kind == K::Complex) {
    if (c != '(') return false;
    return read_complex(sc, *static_cast<std::complex<double>*>(p));
  }
  const std::string_view t = sc.token(true);
  switch (kind) {
    case K::Int:
    case K::IntSpan:
      return parse_int(t, *static_cast<std::int32_t*>(p));
    case K::Real:
    case K::RealSpan:
      return parse_real(t, *static_cast<double*>(p));
    case K::Logical:
      return parse_logical(t, *static_cast<bool*>(p));
    default:
      return false;
  }
}

ReadStatus run(Scanner& sc, std::span<const ListItem> items) {
  using K = ListItem::Kind;
  for (const ListItem& item : items) {
    const bool is_span = item.kind() == K::IntSpan || item.kind() == K::RealSpan;
    const std::size_t n = is_span ? item.count() : 1;
    for (std::size_t k = 0; k < n; ++k) {
      const Next next = sc.advance();
      if (next == Next::slash) return ReadStatus::ok;
      if (next == Next::end) return ReadStatus::end;
      if (next == Next::error) return ReadStatus::error;
      if (next == Next::null) continue;
      void* p = item.target();
      if (item.kind() == K::IntSpan) p = static_cast<std::int32_t*>(p) + k;
      if (item.kind() == K::RealSpan) p = static_cast<double*>(p) + k;
      if (!read_value(sc, item.kind(), p, item)) return ReadStatus::error;
      sc.value_done();
    }
  }
  return ReadStatus::ok;
}

}  // namespace

ReadStatus list_read(std::string_view line, std::span<const ListItem> items) {
  Scanner sc(line, -1);
  return run(sc, items);
}

ReadStatus list_read(std::string_view line, std::initializer_list<ListItem> items) {
  return list_read(line, std::span<const ListItem>(items.begin(), items.size()));
}

ReadStatus list_read_unit(std::int32_t unit, std::span<const ListItem> items) {
  std::size_t targets = 0;
  for (const ListItem& item : items) {
    const bool is_span =
        item.kind() == ListItem::Kind::IntSpan || item.kind() == ListItem::Kind::RealSpan;
    targets += is_span ? item.count() : 1;
  }
  if (targets == 0) {
    // A read without targets still passes over one record.
    std::string skip;
    return read_record(unit, skip);
  }
  Scanner sc({}, unit);
  return run(sc, items);
}

ReadStatus list_read_unit(std::int32_t unit, std::initializer_list<ListItem> items) {
  return list_read_unit(unit, std::span<const ListItem>(items.begin(), items.size()));
}

}  // namespace wakro
