// The free-format console writer.
#include "diag/listout.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "diag/console.h"
#include "diag/format.h"

namespace wakro {

ListLine::ListLine() : ListLine(console()) {}

ListLine::ListLine(std::ostream& os) : os_(os), line_(" ") {}

ListLine::~ListLine() {
  if (!empty_) end();
}

void ListLine::item(std::string_view s, bool is_text) {
  if (!empty_ && !(is_text && last_text_)) line_ += ' ';
  line_ += s;
  last_text_ = is_text;
  empty_ = false;
}

ListLine& ListLine::operator<<(std::string_view text) {
  item(text, true);
  return *this;
}

ListLine& ListLine::operator<<(const char* text) { return *this << std::string_view(text ? text : ""); }

ListLine& ListLine::operator<<(std::int32_t value) { return *this << static_cast<std::int64_t>(value); }

ListLine& ListLine::operator<<(std::int64_t value) {
  // "%11d": at least 11 columns, right-aligned; a wider value is written whole.
  std::string digits = edit_i(value, 0);
  if (digits.size() < 11) digits.insert(0, 11 - digits.size(), ' ');
  item(digits, false);
  return *this;
}

ListLine& ListLine::operator<<(double value) {
  item(list_real(value), false);
  return *this;
}

ListLine& ListLine::operator<<(bool value) {
  item(value ? "T" : "F", false);
  return *this;
}

void ListLine::end() {
  line_ += '\n';
  os_ << line_;
  line_.assign(1, ' ');
  last_text_ = false;
  empty_ = true;
}

std::string list_real(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace wakro
