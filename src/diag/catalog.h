// The message catalogue: numbered texts in six categories (1 general,
// 2 data_errs, 3 warnings, 4 multirun, 5 runinfo, 6 csmf), addressed by category
// and code, with placeholders filled from the caller's values.
//
// Placeholder grammar: "[" , an optional argument position "1".."9", a type
// letter I (integer), R (real) or S (text), an optional width, an optional
// printf-style conversion, "]". "[[" is a literal "[". I with width 2 takes the
// value as a 16-bit integer, R with width 4 as a 32-bit float; S<n> takes the
// first n characters of the text without their trailing blanks (n at most 255),
// S alone the text up to a NUL. Without a conversion I prints as "%d", R as
// "%g" and S as "%s".
//
// Running alone, a message is expanded and written to the console. With the link
// to the design environment (exQuolb), only the numbers kind*1000+code 1002,
// 5040-5043, 5070 and 5080-5087 travel, as one link message holding 5, kind,
// code and the values; every other message is neither printed nor sent.
//
// Category 2 holds the data errors: code 0 (the caller's own text) and codes 10
// and above are fatal. After their texts are written, the message ends the run by
// throwing wakro::FatalExit with status 2000 + code; only the process entry
// catches it.
//
// The values are typed (MsgArg) rather than a variable argument list, so a text
// with more placeholders than values reports "<Invalid arg for '...'>" instead
// of reading memory it was not given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/fixedtext.h"

namespace wakro {

// One value of a catalogue message.
class MsgArg {
 public:
  enum class Kind : unsigned char { Int16, Int32, Float, Double, Text };

  MsgArg(std::int16_t v) : kind_(Kind::Int16), i_(v) {}
  MsgArg(std::int32_t v) : kind_(Kind::Int32), i_(v) {}
  MsgArg(float v) : kind_(Kind::Float), r_(v) {}
  MsgArg(double v) : kind_(Kind::Double), r_(v) {}
  MsgArg(std::string_view t) : kind_(Kind::Text), t_(t) {}
  MsgArg(const char* t) : kind_(Kind::Text), t_(t ? t : "") {}
  MsgArg(const std::string& t) : kind_(Kind::Text), t_(t) {}
  template <std::size_t N>
  MsgArg(const FixedText<N>& t) : kind_(Kind::Text), t_(t.view()) {}

  Kind kind() const { return kind_; }
  bool is_integer() const { return kind_ == Kind::Int16 || kind_ == Kind::Int32; }
  bool is_real() const { return kind_ == Kind::Float || kind_ == Kind::Double; }
  bool is_text() const { return kind_ == Kind::Text; }
  std::int32_t integer() const { return i_; }
  double real() const { return r_; }
  std::string_view text() const { return t_; }

 private:
  Kind kind_;
  std::int32_t i_ = 0;
  double r_ = 0.0;
  std::string_view t_;
};

// The caller's values and how many of them the texts so far have consumed.
struct MsgArgs {
  std::span<const MsgArg> list;
  std::size_t next = 0;
  std::span<const MsgArg> rest() const { return list.subspan(next); }
};

}  // namespace wakro

// The static text table (msg_wakro.cpp).
extern const char* const* const msg_wakro[];

class Catalog {
 public:
  explicit Catalog(const char* const* const* table);

  // Number of categories, and of texts in a category (0 outside 1..Categories()).
  std::int32_t Categories() const { return ncat_; }
  std::int32_t Count(int category) const;

  // The text of (category, code), or null outside the catalogue. Code 0 (the
  // category's name) is never returned. Both behave identically.
  const char* GetDefaultText(int category, int code) const;
  const char* GetText(int category, int code) const;

 private:
  const char* const* const* table_;
  std::int32_t ncat_ = 0;
  std::vector<std::int32_t> counts_;  // by category, from 1
};

// The catalogue of the process; created by the process entry over msg_wakro.
// While it is null the messages use a catalogue of their own over msg_wakro.
inline Catalog* catWakro = nullptr;

// The message entries of engine and model code. kind is the category. With code 0
// the first value is the caller's own text, used instead of a catalogue text, and
// the placeholder values follow it. The three names behave identically.
void outxmsg(std::int32_t kind, std::int32_t code, std::span<const wakro::MsgArg> args = {});
void outxmsgr1(std::int32_t kind, std::int32_t code, std::span<const wakro::MsgArg> args = {});
void outxmsgi4(std::int32_t kind, std::int32_t code, std::span<const wakro::MsgArg> args = {});

template <class... A>
void outxmsg(std::int32_t kind, std::int32_t code, const A&... a) {
  const std::array<wakro::MsgArg, sizeof...(A)> list{wakro::MsgArg(a)...};
  outxmsg(kind, code, std::span<const wakro::MsgArg>(list));
}
template <class... A>
void outxmsgr1(std::int32_t kind, std::int32_t code, const A&... a) {
  outxmsg(kind, code, a...);
}
template <class... A>
void outxmsgi4(std::int32_t kind, std::int32_t code, const A&... a) {
  outxmsg(kind, code, a...);
}

// Applies the fatal rule of category 2 and writes (or sends) the texts; text is
// the caller's own text (code 0) or null.
void OutputMessage(int kind, int code, const char* text, wakro::MsgArgs& args);
// Expands and writes, or sends, one text; advances args past the values its
// placeholders take.
void OutMsg(int kind, int code, wakro::MsgArgs& args, const char* text);
// Appends the placeholder values of one text to the outgoing link message.
void SendArgs(std::string_view text, std::span<const wakro::MsgArg> collected);

namespace wakro {
// The console expansion of one text with the values collected for it.
std::string expand_message(std::string_view text, std::span<const MsgArg> collected);
// Whether kind*1000+code is one of the numbers that travel over the link.
bool catalogue_number_sent(int kind, int code);
}  // namespace wakro
