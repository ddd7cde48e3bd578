// The ex… bindings on the link to the design environment, extract, and the
// conversions between fixed-width fields and C values.
//
// Every binding works on the link of index 0 (exQuolb) and does nothing when
// that link does not exist or another index is given, so model code that runs
// alone never reaches a null link.
#include "link/bindings.h"

#include <charconv>
#include <cstring>

#include "link/exchange.h"

namespace {

// Longest text exputs carries (its working buffer holds 516 bytes).
constexpr std::size_t kPutTextMax = 515;
// Local buffer of exgets (511 characters and the NUL).
constexpr std::size_t kGetTextBuffer = 512;

}  // namespace

Exchange* exLink(std::int32_t index) { return index == 0 ? exQuolb : nullptr; }

void exsend(const std::int32_t& index) {
  if (Exchange* link = exLink(index)) link->SendMsg();
}

bool exrecv(const std::int32_t& index, const bool& wait) {
  Exchange* link = exLink(index);
  return link != nullptr && link->RecvMsg(wait);
}

bool exdataw(const std::int32_t& index) {
  Exchange* link = exLink(index);
  return link != nullptr && link->isDataWaiting();
}

void exputi(const std::int32_t& index, const std::int32_t& value) {
  if (Exchange* link = exLink(index)) *link << value;
}

void exputl(const std::int32_t& index, const bool& value) {
  unsigned char first = 0;
  std::memcpy(&first, &value, 1);
  if (Exchange* link = exLink(index)) *link << static_cast<std::int32_t>(first);
}

void exputr(const std::int32_t& index, const double& value) {
  if (Exchange* link = exLink(index)) *link << value;
}

void exputc(const std::int32_t& index, const double& re, const double& im) {
  if (Exchange* link = exLink(index)) *link << re << im;
}

void exputg(const std::int32_t& index, const double& value) {
  Exchange* link = exLink(index);
  if (link == nullptr) return;
  // Same text as "%.4g" in the C locale, whatever locale the process runs in.
  char text[64];
  const auto res = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::general, 4);
  *res.ptr = '\0';
  *link << text;
}

void exputs(const std::int32_t& index, std::string_view text) {
  Exchange* link = exLink(index);
  if (link == nullptr) return;
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.size() > kPutTextMax) text = text.substr(0, kPutTextMax);
  char buffer[kPutTextMax + 1];
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  *link << buffer;
}

void exputs(const std::int32_t& index, const char* text) {
  if (text == nullptr) text = "";
  exputs(index, std::string_view(text, strnlen(text, kPutTextMax)));
}

void exgeti(const std::int32_t& index, std::int32_t& value) {
  if (Exchange* link = exLink(index)) *link >> value;
}

void exgetr(const std::int32_t& index, double& value) {
  if (Exchange* link = exLink(index)) *link >> value;
}

void exgetc(const std::int32_t& index, double& re, double& im) {
  if (Exchange* link = exLink(index)) *link >> re >> im;
}

void exgets(const std::int32_t& index, const std::int32_t& n, char* field) {
  Exchange* link = exLink(index);
  if (link == nullptr) return;
  char buffer[kGetTextBuffer];
  link->ReadText(buffer, sizeof buffer);
  if (n >= 1 && field != nullptr) StrC2F(field, buffer, n);
}

std::int32_t extract(const std::int32_t& value, const std::int32_t& p, const std::int32_t& b) {
  if (b < 1) return 0;
  const int shift = p < 0 ? 0 : (p > 31 ? 31 : p);
  const std::int64_t shifted = value >> shift;  // arithmetic shift
  const std::int64_t mask = b >= 32 ? -1 : (std::int64_t{1} << b) - 1;
  return static_cast<std::int32_t>(shifted & mask);
}

// ---------------------------------------------------------------- conversions

void StrC2F(char* dst, const char* src, std::int32_t n) {
  if (n < 1) {
    std::strcpy(dst, src);
    return;
  }
  std::int32_t i = 0;
  for (; i < n && src[i] != '\0'; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = ' ';
}

void StrF2C(char* dst, const char* src, std::int32_t n) {
  if (n < 1) {
    std::strcpy(dst, src);
    return;
  }
  std::int32_t i = 0;
  for (; i < n && src[i] != '\0'; ++i) dst[i] = src[i];
  if (i == n) {
    // A full field: its trailing blanks are padding.
    while (i > 0 && dst[i - 1] == ' ') --i;
  }
  dst[i] = '\0';
}

unsigned char BoolF2C(const void* p, std::int32_t /*size*/) {
  unsigned char first = 0;
  std::memcpy(&first, p, 1);
  return first;
}

std::int32_t IntF2C(const void* p, std::int32_t size) {
  if (size == 2) {
    std::int16_t v = 0;
    std::memcpy(&v, p, 2);
    return v;
  }
  std::int32_t v = 0;
  std::memcpy(&v, p, 4);
  return v;
}

void IntC2F(void* p, std::int32_t size, std::int32_t v) {
  if (size == 2) {
    const auto low = static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
    std::memcpy(p, &low, 2);
    return;
  }
  std::memcpy(p, &v, 4);
}

double DblF2C(const void* p, std::int32_t size) {
  if (size == 4) {
    float f = 0.0f;
    std::memcpy(&f, p, 4);
    return f;
  }
  double d = 0.0;
  std::memcpy(&d, p, 8);
  return d;
}

void DblC2F(void* p, std::int32_t size, double v) {
  if (size == 4) {
    const auto f = static_cast<float>(v);
    std::memcpy(p, &f, 4);
    return;
  }
  std::memcpy(p, &v, 8);
}
