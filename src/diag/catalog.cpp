// The message catalogue: construction, the fatal rule, expansion on the console
// and the typed link record.
#include "diag/catalog.h"

#include <algorithm>
#include <limits>

#include "diag/console.h"
#include "diag/message.h"
#include "diag/printf_field.h"
#include "link/exchange.h"
#include "model/fatal.h"

namespace wakro {

namespace {

constexpr std::size_t kMaxCollected = 10;  // values one text can take
constexpr std::size_t kMaxBody = 31;       // characters of a placeholder body
constexpr std::size_t kMaxTextWidth = 255; // characters of an S value

const Catalog& catalogue() {
  if (catWakro) return *catWakro;
  static const Catalog fallback(msg_wakro);
  return fallback;
}

// Number of values a text asks for: every "[" that is not part of a "[[".
std::size_t placeholder_count(std::string_view t) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '[') continue;
    if (i + 1 < t.size() && t[i + 1] == '[') {
      ++i;
      continue;
    }
    ++n;
  }
  return n;
}

// A placeholder body split into its type letter, width and conversion.
struct Body {
  char letter = '\0';
  int width = -1;  // -1: none
  std::string_view conversion;
};

Body split_body(std::string_view b) {
  Body r;
  if (b.empty()) return r;
  r.letter = b[0];
  std::size_t k = 1;
  if (k < b.size() && b[k] >= '0' && b[k] <= '9') {
    r.width = 0;
    while (k < b.size() && b[k] >= '0' && b[k] <= '9') {
      r.width = std::min(r.width * 10 + (b[k] - '0'), 100000);
      ++k;
    }
  }
  r.conversion = b.substr(k);
  return r;
}

// The text value of an S placeholder: the first width characters without their
// trailing blanks, or the text up to a NUL when no width is given.
std::string_view text_value(std::string_view t, int width) {
  if (width >= 1) {
    t = t.substr(0, std::min({t.size(), static_cast<std::size_t>(width), kMaxTextWidth}));
    return trim_right(t);
  }
  const std::size_t nul = t.find('\0');
  return nul == std::string_view::npos ? t : t.substr(0, nul);
}

std::int32_t int_value(const MsgArg& a, int width) {
  return width == 2 ? static_cast<std::int16_t>(a.integer()) : a.integer();
}

// Width 4 reads the value as a 32-bit float. A double beyond the float range
// becomes an infinity of its sign (the conversion itself would be undefined).
double real_value(const MsgArg& a, int width) {
  const double v = a.real();
  if (width != 4) return v;
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  if (v > kFloatMax) return std::numeric_limits<double>::infinity();
  if (v < -kFloatMax) return -std::numeric_limits<double>::infinity();
  return static_cast<double>(static_cast<float>(v));
}

std::string unsupported(std::string_view body) {
  return "<Format code not support '" + std::string(body) + "'>";
}

std::string invalid(std::string_view body) { return "<Invalid arg for '" + std::string(body) + "'>"; }

// The printed form of one placeholder with its value.
std::string convert(std::string_view body, const MsgArg& a) {
  if (body.size() > kMaxBody) return unsupported(body);
  const Body b = split_body(body);
  std::string_view kinds;
  std::string_view fallback;
  switch (b.letter) {
    case 'I': kinds = "di"; fallback = "%d"; break;
    case 'R': kinds = "fFeEgG"; fallback = "%g"; break;
    case 'S': kinds = "s"; fallback = "%s"; break;
    default: return unsupported(body);
  }
  const auto conv = parse_conversion(b.conversion.empty() ? fallback : b.conversion, kinds);
  if (!conv) return unsupported(body);
  switch (b.letter) {
    case 'I':
      if (!a.is_integer()) return invalid(body);
      return printf_int(*conv, int_value(a, b.width));
    case 'R':
      if (!a.is_real()) return invalid(body);
      return printf_real(*conv, real_value(a, b.width));
    default:
      if (!a.is_text()) return invalid(body);
      return printf_text(*conv, text_value(a.text(), b.width));
  }
}

}  // namespace

std::string expand_message(std::string_view t, std::span<const MsgArg> collected) {
  std::string out;
  std::size_t pos = 0;  // argument position
  for (std::size_t i = 0; i < t.size();) {
    if (t[i] != '[') {
      out += t[i++];
      continue;
    }
    if (i + 1 < t.size() && t[i + 1] == '[') {
      out += '[';
      i += 2;
      continue;
    }
    std::size_t j = i + 1;
    if (j < t.size() && t[j] >= '1' && t[j] <= '9') pos = static_cast<std::size_t>(t[j++] - '1');
    const std::size_t close = t.find(']', j);
    if (close == std::string_view::npos) break;  // no closing bracket: the walk ends
    const std::string_view body = t.substr(j, close - j);
    i = close + 1;
    if (pos < collected.size())
      out += convert(body, collected[pos++]);
    else
      out += invalid(body);
  }
  return out;
}

bool catalogue_number_sent(int kind, int code) {
  const long n = static_cast<long>(kind) * 1000 + code;
  return n == 1002 || (n >= 5040 && n <= 5043) || n == 5070 || (n >= 5080 && n <= 5087);
}

}  // namespace wakro

using wakro::MsgArg;
using wakro::MsgArgs;

// ---- Catalog ---------------------------------------------------------------

Catalog::Catalog(const char* const* const* table) : table_(table) {
  // Categories: the non-null entries from entry 1 up to the first null entry.
  while (table_ && table_[ncat_ + 1] != nullptr) ++ncat_;
  counts_.assign(static_cast<std::size_t>(ncat_) + 1, 0);
  for (std::int32_t i = 1; i <= ncat_; ++i) {
    std::int32_t n = 0;
    while (table_[i][n + 1] != nullptr) ++n;
    counts_[static_cast<std::size_t>(i)] = n;
  }
}

std::int32_t Catalog::Count(int category) const {
  if (category < 1 || category > ncat_) return 0;
  return counts_[static_cast<std::size_t>(category)];
}

const char* Catalog::GetDefaultText(int category, int code) const {
  if (code < 1 || code > Count(category)) return nullptr;
  return table_[category][code];
}

const char* Catalog::GetText(int category, int code) const { return GetDefaultText(category, code); }

// ---- The message routines ----------------------------------------------------

void SendArgs(std::string_view t, std::span<const MsgArg> collected) {
  if (!exQuolb) return;  // no link: nothing to append to
  Exchange& ex = *exQuolb;
  std::size_t used = 0;
  for (std::size_t i = 0; i < t.size() && used < collected.size(); ++i) {
    if (t[i] != '[') continue;
    if (i + 1 < t.size() && t[i + 1] == '[') {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    if (j < t.size() && t[j] >= '1' && t[j] <= '9') ++j;  // positions do not apply here
    const std::size_t close = t.find(']', j);
    if (close == std::string_view::npos) return;
    const wakro::Body b = wakro::split_body(t.substr(j, close - j));
    const MsgArg& a = collected[used++];
    i = close;
    // A value of the wrong kind still gives the peer a value of the right type.
    switch (b.letter) {
      case 'I':
        ex << (a.is_integer() ? wakro::int_value(a, b.width) : std::int32_t{0});
        break;
      case 'R':
        ex << (a.is_real() ? wakro::real_value(a, b.width) : 0.0);
        break;
      case 'S':
        ex << std::string(a.is_text() ? wakro::text_value(a.text(), b.width) : std::string_view{}).c_str();
        break;
      default:
        break;  // another letter uses up its value and sends nothing
    }
  }
}

void OutMsg(int kind, int code, MsgArgs& args, const char* text) {
  const char* t = text ? text : wakro::catalogue().GetDefaultText(kind, code);
  if (!t) return;  // no such message: nothing written, no value taken
  const std::string_view tv(t);

  // Collect the values the placeholders ask for (at most 10).
  const std::size_t n = std::min({wakro::placeholder_count(tv), wakro::kMaxCollected, args.rest().size()});
  const std::span<const MsgArg> collected = args.rest().first(n);
  args.next += n;

  if (exQuolb) {
    if (!wakro::catalogue_number_sent(kind, code)) return;
    wakro::close_open_model_message();
    *exQuolb << std::int32_t{5} << static_cast<std::int32_t>(kind) << static_cast<std::int32_t>(code);
    SendArgs(tv, collected);
    exQuolb->SendMsg();
    return;
  }
  if (code != 0) t = wakro::catalogue().GetText(kind, code);
  if (!t || *t == '\0') return;
  wakro::console() << wakro::expand_message(t, collected);
}

void OutputMessage(int kind, int code, const char* text, MsgArgs& args) {
  if (kind != 2) {
    OutMsg(kind, code, args, text);
    return;
  }
  if (code >= 1 && code <= 9) {
    OutMsg(kind, code, args, nullptr);
    return;
  }
  if (code < 0) {
    OutMsg(kind, code, args, nullptr);
    return;
  }
  OutMsg(2, 1, args, nullptr);  // "*** Error in reading of data file! ***"
  if (code == 0) {
    OutMsg(2, 0, args, text ? text : "");
  } else if (code >= 30 && code <= 39) {
    OutMsg(2, 2, args, nullptr);
    OutMsg(2, code, args, nullptr);
    OutMsg(2, 3, args, nullptr);
  } else {
    OutMsg(2, code, args, nullptr);
  }
  wakro::console().flush();
  throw wakro::FatalExit(2000 + code);
}

void outxmsg(std::int32_t kind, std::int32_t code, std::span<const MsgArg> args) {
  MsgArgs cursor{args, 0};
  const char* own = nullptr;
  std::string own_text;
  if (code == 0) {
    // The caller's own text comes first among the values.
    if (!args.empty() && args[0].is_text()) own_text = std::string(args[0].text());
    if (!args.empty()) cursor.next = 1;
    own = own_text.c_str();
  }
  OutputMessage(kind, code, own, cursor);
}

void outxmsgr1(std::int32_t kind, std::int32_t code, std::span<const MsgArg> args) {
  outxmsg(kind, code, args);
}

void outxmsgi4(std::int32_t kind, std::int32_t code, std::span<const MsgArg> args) {
  outxmsg(kind, code, args);
}
