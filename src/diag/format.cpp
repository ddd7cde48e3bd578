// The layout renderer: a small parser that turns a layout text into a list of
// items, an executor that walks the items with the values, and the field
// editors I, F, E, G and A.
#include "diag/format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace wakro {

namespace {

// Widths, digit counts, repeat counts and columns above this are refused as
// malformed, so a bad layout can never ask for huge fields.
constexpr int kMaxNumber = 1000;
// Nested repeat counts multiply: a layout stops after this many items or when a
// line would grow beyond this many columns, so no layout can hang or exhaust memory.
constexpr long kMaxSteps = 1000000;
constexpr std::size_t kMaxColumns = 65536;

std::string stars(int w) { return std::string(static_cast<std::size_t>(w > 0 ? w : 1), '*'); }

// Right-aligns s in w columns, or asterisks when it does not fit (w <= 0: as is).
std::string fit(std::string s, int w) {
  if (w <= 0) return s;
  if (s.size() > static_cast<std::size_t>(w)) return stars(w);
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

// ---- The real editors ------------------------------------------------------
//
// The F, E and G editors build their fields in buffers the caller provides and
// allocate nothing themselves, so that a per-step text (the instant of a
// switching, say) can be edited on the stack. Scratch hands out pieces of one
// work area; Field collects the characters of one text in such a piece.

class Scratch {
 public:
  explicit Scratch(std::span<char> room) : room_(room) {}
  // n characters of the work area; an empty piece when it is used up.
  std::span<char> take(std::size_t n) {
    if (n > room_.size() - used_) return {};
    const std::span<char> piece = room_.subspan(used_, n);
    used_ += n;
    return piece;
  }

 private:
  std::span<char> room_;
  std::size_t used_ = 0;
};

class Field {
 public:
  explicit Field(std::span<char> room) : room_(room) {}
  void put(char c) {
    if (n_ < room_.size()) room_[n_++] = c;
  }
  void put(std::string_view s) {
    for (char c : s) put(c);
  }
  void put(char c, std::size_t count) {
    for (; count > 0; --count) put(c);
  }
  std::string_view view() const { return {room_.data(), n_}; }

 private:
  std::span<char> room_;
  std::size_t n_ = 0;
};

void put_stars(int w, Field& out) { out.put('*', static_cast<std::size_t>(w > 0 ? w : 1)); }

// Right-aligns s in w columns, or asterisks when it does not fit (w <= 0: as is).
void put_fit(std::string_view s, int w, Field& out) {
  if (w <= 0) return out.put(s);
  if (s.size() > static_cast<std::size_t>(w)) return put_stars(w, out);
  out.put(' ', static_cast<std::size_t>(w) - s.size());
  out.put(s);
}

void put_non_finite(double x, int w, Field& out) {
  if (std::isnan(x)) return put_fit("NaN", w, out);
  const bool negative = x < 0;
  const std::size_t sign = negative ? 1 : 0;
  if (w <= 0 || static_cast<std::size_t>(w) >= sign + 8)
    return put_fit(negative ? "-Infinity" : "Infinity", w, out);
  put_fit(negative ? "-Inf" : "Inf", w, out);
}

// |x| in scientific form with p digits after the point: the leading digits
// (p + 1 of them, no point) into digits and the decimal exponent of the first
// digit. False when the work area is used up.
bool scientific_digits(double ax, int p, Scratch& sc, Field& digits, int& exponent) {
  // Room for the p digits after the point, the lead digit, the point and the
  // exponent: a field may ask for up to kMaxNumber digits.
  const std::span<char> buf = sc.take(static_cast<std::size_t>(p > 0 ? p : 0) + 16);
  if (buf.empty()) return false;
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), ax, std::chars_format::scientific, p);
  const std::string_view s(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  const std::size_t e = s.find('e');
  for (std::size_t k = 0; k < e; ++k)
    if (s[k] != '.') digits.put(s[k]);
  exponent = 0;
  std::string_view ex = s.substr(e + 1);
  if (!ex.empty() && ex[0] == '+') ex.remove_prefix(1);
  std::from_chars(ex.data(), ex.data() + ex.size(), exponent);
  return true;
}

void put_f(double x, int w, int d, Scratch& sc, Field& out) {
  if (!std::isfinite(x)) return put_non_finite(x, w, out);
  if (d < 0) d = 0;
  const std::size_t room = static_cast<std::size_t>(330 + d);
  const std::span<char> buf = sc.take(room);
  const std::span<char> body_room = sc.take(room + 2);
  if (buf.empty() || body_room.empty()) return put_stars(w, out);
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(x),
                                 std::chars_format::fixed, d);
  std::string_view s(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  const bool point = d == 0;  // a point after the digits
  const std::size_t sign = (std::signbit(x) && x != 0.0) ? 1 : 0;
  // The zero before the point is optional: it goes when the field is too narrow.
  const std::size_t length = s.size() + (point ? 1 : 0);
  const bool second_is_point = s.size() > 1 ? s[1] == '.' : (point && s.size() == 1);
  if (w > 0 && sign + length > static_cast<std::size_t>(w) && length > 1 && s[0] == '0' &&
      second_is_point)
    s.remove_prefix(1);
  Field body(body_room);
  if (sign != 0) body.put('-');
  body.put(s);
  if (point) body.put('.');
  put_fit(body.view(), w, out);
}

void put_e(double x, int w, int d, Scratch& sc, Field& out) {
  if (!std::isfinite(x)) return put_non_finite(x, w, out);
  if (d < 1 || w <= 0) return put_stars(w, out);
  const std::span<char> mant_room = sc.take(static_cast<std::size_t>(d) + 1);
  const std::span<char> s_room = sc.take(static_cast<std::size_t>(d) + 16);
  if (mant_room.empty() || s_room.empty()) return put_stars(w, out);
  Field mant(mant_room);
  int exponent = 0;
  if (x == 0.0) {
    mant.put('0', static_cast<std::size_t>(d));
  } else {
    if (!scientific_digits(std::fabs(x), d - 1, sc, mant, exponent)) return put_stars(w, out);
    exponent += 1;  // 0.ddd form: the point goes before the first digit
  }
  const int aexp = std::abs(exponent);
  char ex[8];
  std::size_t nex = 0;
  if (aexp <= 99) {
    ex[nex++] = 'E';
    ex[nex++] = exponent < 0 ? '-' : '+';
    if (aexp < 10) ex[nex++] = '0';
  } else if (aexp <= 999) {
    ex[nex++] = exponent < 0 ? '-' : '+';
  } else {
    return put_stars(w, out);
  }
  nex = static_cast<std::size_t>(std::to_chars(ex + nex, ex + sizeof ex, aexp).ptr - ex);
  const bool negative = std::signbit(x) && x != 0.0;
  const std::size_t length = (negative ? 1 : 0) + 2 + mant.view().size() + nex;
  // The zero before the point goes when the field is too narrow.
  const bool lead_zero = length <= static_cast<std::size_t>(w);
  Field s(s_room);
  if (negative) s.put('-');
  s.put(lead_zero ? "0." : ".");
  s.put(mant.view());
  s.put(std::string_view(ex, nex));
  put_fit(s.view(), w, out);
}

void put_g(double x, int w, int d, Scratch& sc, Field& out) {
  if (!std::isfinite(x)) return put_non_finite(x, w, out);
  if (d < 1 || w <= 4) return put_stars(w, out);
  int k = 0;  // digits before the point of the value rounded to d digits
  if (x != 0.0) {
    const std::span<char> mant_room = sc.take(static_cast<std::size_t>(d) + 1);
    if (mant_room.empty()) return put_stars(w, out);
    Field mant(mant_room);
    int exponent = 0;
    if (!scientific_digits(std::fabs(x), d - 1, sc, mant, exponent)) return put_stars(w, out);
    k = exponent + 1;
    if (k < 0 || k > d) return put_e(x, w, d, sc, out);
  } else {
    k = 1;
  }
  const std::span<char> f_room = sc.take(static_cast<std::size_t>(w));
  if (f_room.empty()) return put_stars(w, out);
  Field f(f_room);
  put_f(x, w - 4, d - k, sc, f);
  if (f.view().find('*') != std::string_view::npos) return put_stars(w, out);
  out.put(f.view());
  out.put(' ', 4);
}

using Editor = void (*)(double, int, int, Scratch&, Field&);

// One of the real editors with a work area and a field from the heap.
std::string edit_real(Editor editor, double x, int w, int d) {
  std::string room(field_scratch_need(w, d), '\0');
  std::string text(static_cast<std::size_t>(w > 0 ? w : 0) + 340 + static_cast<std::size_t>(d > 0 ? d : 0), '\0');
  Scratch sc(room);
  Field out(text);
  editor(x, w, d, sc, out);
  text.resize(out.view().size());
  return text;
}

}  // namespace

std::string edit_i(std::int64_t v, int w, int m) {
  const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  std::string digits = (m == 0 && v == 0) ? std::string() : std::to_string(mag);
  if (m > 0 && digits.size() < static_cast<std::size_t>(m))
    digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
  if (v < 0) digits.insert(0, 1, '-');
  return fit(std::move(digits), w);
}

std::string edit_f(double x, int w, int d) { return edit_real(&put_f, x, w, d); }

std::string edit_e(double x, int w, int d) { return edit_real(&put_e, x, w, d); }

std::string edit_g(double x, int w, int d) { return edit_real(&put_g, x, w, d); }

std::string_view edit_g(FieldRoom& room, double x, int w, int d) {
  Scratch sc(room.scratch_);
  Field out(room.text_);
  put_g(x, w, d, sc, out);
  return out.view();
}

std::string edit_a(std::string_view t, int w) {
  if (w < 0) return std::string(t);
  if (t.size() >= static_cast<std::size_t>(w)) return std::string(t.substr(0, static_cast<std::size_t>(w)));
  return std::string(static_cast<std::size_t>(w) - t.size(), ' ') + std::string(t);
}

namespace {

// ---- Parsing -------------------------------------------------------------

struct Item {
  enum Kind { Lit, Slash, Skip, Tab, Int, Fix, Exp, Gen, Txt, Group } kind = Lit;
  int repeat = 1;
  int w = -1;  // width (Skip: count, Tab: column)
  int d = -1;  // decimals / digits / minimum digits; -1 when absent
  std::string lit;
  std::vector<Item> sub;
  bool is_data() const { return kind == Int || kind == Fix || kind == Exp || kind == Gen || kind == Txt; }
};

class Parser {
 public:
  explicit Parser(std::string_view text) {
    // Blanks outside quotes carry no meaning: drop them first.
    bool quoted = false;
    for (char c : text) {
      if (c == '\'') quoted = !quoted;
      if (quoted || c != ' ') s_ += c;
    }
  }

  bool parse(std::vector<Item>& items) {
    if (!eat('(')) return false;
    if (!parse_list(items)) return false;
    return pos_ == s_.size();
  }

 private:
  bool eat(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  static bool digit(char c) { return c >= '0' && c <= '9'; }

  // A number, or -1 when none is there; -2 when it is too large.
  int number() {
    if (!digit(peek())) return -1;
    long v = 0;
    while (digit(peek())) {
      v = v * 10 + (s_[pos_++] - '0');
      if (v > kMaxNumber) return -2;
    }
    return static_cast<int>(v);
  }

  // Items up to and including the closing parenthesis.
  bool parse_list(std::vector<Item>& items) {
    for (;;) {
      while (eat(',')) {
      }
      if (eat(')')) return true;
      if (pos_ >= s_.size()) return false;
      Item it;
      if (!parse_item(it)) return false;
      items.push_back(std::move(it));
    }
  }

  bool parse_item(Item& it) {
    const int n = number();
    if (n == -2 || n == 0) return false;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(peek())));
    if (c == '\0') return false;
    ++pos_;
    switch (c) {
      case '(':
        it.kind = Item::Group;
        it.repeat = n > 0 ? n : 1;
        return parse_list(it.sub);
      case '\'':
        if (n > 0) return false;
        it.kind = Item::Lit;
        return literal(it.lit);
      case '/':
        it.kind = Item::Slash;
        it.repeat = n > 0 ? n : 1;
        return true;
      case 'X':
        it.kind = Item::Skip;
        it.w = n > 0 ? n : 1;
        return true;
      case 'T':
        if (n > 0) return false;
        it.kind = Item::Tab;
        it.w = number();
        return it.w >= 1;
      case 'I':
      case 'F':
      case 'E':
      case 'G':
      case 'A':
        break;
      default:
        return false;
    }
    it.repeat = n > 0 ? n : 1;
    it.w = number();
    if (it.w == -2) return false;
    if (c == 'A') {
      it.kind = Item::Txt;
      return it.w != 0;
    }
    if (it.w < 0) return false;
    if (eat('.')) {
      it.d = number();
      if (it.d < 0) return false;
    }
    switch (c) {
      case 'I':
        it.kind = Item::Int;
        return true;
      case 'F':
        it.kind = Item::Fix;
        break;
      case 'E':
        it.kind = Item::Exp;
        break;
      default:
        it.kind = Item::Gen;
        break;
    }
    return it.d >= 0;  // reals need their decimals
  }

  bool literal(std::string& out) {
    for (;;) {
      if (pos_ >= s_.size()) return false;
      const char c = s_[pos_++];
      if (c != '\'') {
        out += c;
        continue;
      }
      if (peek() == '\'') {  // doubled apostrophe
        out += '\'';
        ++pos_;
        continue;
      }
      return true;
    }
  }

  std::string s_;
  std::size_t pos_ = 0;
};

// ---- Execution -----------------------------------------------------------

class Writer {
 public:
  Writer(std::string& out, std::span<const FmtValue> values) : out_(out), values_(values) {}

  // Walks the items; false when writing stopped at a data item without a value.
  bool run(const std::vector<Item>& items, std::size_t from = 0) {
    for (std::size_t k = from; k < items.size(); ++k) {
      const Item& it = items[k];
      for (int r = 0; r < it.repeat; ++r)
        if (!run_one(it)) return false;
    }
    return true;
  }

  void end_line() {
    out_ += rec_;
    out_ += '\n';
    rec_.clear();
    pos_ = 0;
  }

  bool values_left() const { return next_ < values_.size(); }

 private:
  bool run_one(const Item& it) {
    if (++steps_ > kMaxSteps || pos_ > kMaxColumns) return false;
    switch (it.kind) {
      case Item::Lit:
        put(it.lit);
        return true;
      case Item::Slash:
        end_line();
        return true;
      case Item::Skip:
        pos_ += static_cast<std::size_t>(it.w);
        return true;
      case Item::Tab:
        pos_ = static_cast<std::size_t>(it.w - 1);
        return true;
      case Item::Group:
        return run(it.sub);
      default:
        break;
    }
    if (!values_left()) return false;
    put(edit(it, values_[next_++]));
    return true;
  }

  static std::string edit(const Item& it, const FmtValue& v) {
    using K = FmtValue::Kind;
    switch (it.kind) {
      case Item::Int:
        return v.kind() == K::Int ? edit_i(v.integer(), it.w, it.d) : stars(it.w);
      case Item::Fix:
        return v.kind() == K::Real ? edit_f(v.real(), it.w, it.d) : stars(it.w);
      case Item::Exp:
        return v.kind() == K::Real ? edit_e(v.real(), it.w, it.d) : stars(it.w);
      case Item::Gen:
        return v.kind() == K::Real ? edit_g(v.real(), it.w, it.d) : stars(it.w);
      default:
        return v.kind() == K::Text ? edit_a(v.text(), it.w) : stars(it.w);
    }
  }

  // Writes s at the current column; columns skipped over become blanks.
  void put(const std::string& s) {
    if (rec_.size() < pos_ + s.size()) rec_.resize(pos_ + s.size(), ' ');
    rec_.replace(pos_, s.size(), s);
    pos_ += s.size();
  }

  std::string& out_;
  std::span<const FmtValue> values_;
  std::size_t next_ = 0;
  long steps_ = 0;
  std::string rec_;
  std::size_t pos_ = 0;
};

bool has_data(const std::vector<Item>& items, std::size_t from) {
  for (std::size_t k = from; k < items.size(); ++k) {
    if (items[k].is_data()) return true;
    if (items[k].kind == Item::Group && has_data(items[k].sub, 0)) return true;
  }
  return false;
}

}  // namespace

bool render_layout(std::string& out, std::string_view layout, std::span<const FmtValue> values) {
  std::vector<Item> items;
  if (!Parser(layout).parse(items)) return false;
  std::string text;
  Writer wr(text, values);
  // Where the layout is taken again when values remain: its last top-level
  // group, or its beginning.
  std::size_t again = 0;
  for (std::size_t k = 0; k < items.size(); ++k)
    if (items[k].kind == Item::Group) again = k;
  const bool can_repeat = has_data(items, again);
  std::size_t from = 0;
  while (wr.run(items, from) && wr.values_left() && can_repeat) {
    wr.end_line();
    from = again;
  }
  wr.end_line();
  out += text;
  return true;
}

std::string render_layout(std::string_view layout, std::span<const FmtValue> values) {
  std::string out;
  render_layout(out, layout, values);
  return out;
}

std::string render_layout(std::string_view layout, std::initializer_list<FmtValue> values) {
  return render_layout(layout, std::span<const FmtValue>(values.begin(), values.size()));
}

bool write_layout(std::ostream& os, std::string_view layout, std::span<const FmtValue> values) {
  std::string out;
  if (!render_layout(out, layout, values)) return false;
  os << out;
  return true;
}

bool write_layout(std::ostream& os, std::string_view layout, std::initializer_list<FmtValue> values) {
  return write_layout(os, layout, std::span<const FmtValue>(values.begin(), values.size()));
}

}  // namespace wakro
