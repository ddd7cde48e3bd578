// Integers and reals to texts, the build-version text, date and time.
#include "diag/textutil.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ctime>
#include <vector>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/random.h"

namespace {

constexpr std::int32_t kField = 72;

std::vector<std::string_view> words(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == sep) ++i;
    const std::size_t j = std::min(s.find(sep, i), s.size());
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

int to_int(std::string_view s) {
  int v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

}  // namespace

wakro::FixedText<72> int2str(std::int32_t n) { return wakro::FixedText<72>(std::to_string(n)); }

void int2str(wakro::FixedText<72>& text, std::int32_t n) { text = int2str(n); }

wakro::FixedText<72> int2str2(std::int32_t ndig, std::int32_t n) {
  std::string s = std::to_string(n);
  const std::int32_t want = std::min(ndig, kField);  // never more than the field holds
  if (static_cast<std::int32_t>(s.size()) < want)
    s.insert(0, static_cast<std::size_t>(want) - s.size(), '0');
  return wakro::FixedText<72>(s);
}

void int2str2(wakro::FixedText<72>& text, std::int32_t ndig, std::int32_t n) { text = int2str2(ndig, n); }

wakro::FixedText<72> real2str(double x, std::string_view layout) {
  const wakro::FmtValue v[] = {x};
  const std::string out = wakro::render_layout(layout, v);
  std::string_view line(out);
  line = line.substr(0, std::min(line.find('\n'), line.size()));
  const std::size_t first = line.find_first_not_of(' ');
  return wakro::FixedText<72>(first == std::string_view::npos ? std::string_view{} : line.substr(first));
}

void getbuildverstr(char* text, std::size_t len) {
  const std::string s = wakro::build_version_text(__DATE__, __TIME__, wakro::console_err());
  wakro::assign_padded(text, len, s);
}

void datetim(std::int32_t& year, std::int32_t& month, std::int32_t& day, std::int32_t& hour,
             std::int32_t& minute, std::int32_t& second) {
  const wakro::WallClock t = wakro::wall_clock_now();
  year = t.year;
  month = t.month;
  day = t.day;
  hour = t.hour;
  minute = t.minute;
  second = t.second;
}

void cputime(std::int32_t& hours, std::int32_t& minutes, std::int32_t& seconds,
             std::int32_t& milliseconds) {
  timespec used{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) used = timespec{};
  const std::int64_t ms = std::int64_t{used.tv_sec} * 1000 + used.tv_nsec / 1000000;
  hours = static_cast<std::int32_t>(ms / 3600000);
  minutes = static_cast<std::int32_t>(ms / 60000 % 60);
  seconds = static_cast<std::int32_t>(ms / 1000 % 60);
  milliseconds = static_cast<std::int32_t>(ms % 1000);
}

namespace wakro {

std::string build_version_text(std::string_view date, std::string_view time, std::ostream& err) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::vector<std::string_view> d = words(date, ' ');
  const std::vector<std::string_view> t = words(time, ':');
  int month = -1;
  if (!d.empty())
    for (std::size_t m = 0; m < kMonths.size(); ++m)
      if (d[0] == kMonths[m]) month = static_cast<int>(m);
  if (month < 0) {
    err << "WARNING: wrong time stamp '" << date << "' in code!\n";
    month = 0;
  }
  std::tm tm{};
  tm.tm_year = (d.size() > 2 ? to_int(d[2]) : 1970) - 1900;
  tm.tm_mon = month;
  tm.tm_mday = d.size() > 1 ? to_int(d[1]) : 1;
  tm.tm_hour = !t.empty() ? to_int(t[0]) : 0;
  tm.tm_min = t.size() > 1 ? to_int(t[1]) : 0;
  tm.tm_sec = t.size() > 2 ? to_int(t[2]) : 0;
  tm.tm_isdst = -1;  // daylight saving as the library decides
  std::tm local = tm;
  const std::time_t when = std::mktime(&tm);
  if (when != static_cast<std::time_t>(-1)) localtime_r(&when, &local);
  return "Build# " + edit_i(local.tm_year + 1900, 4) + edit_i(local.tm_mon + 1, 2, 2) +
         edit_i(local.tm_mday, 2, 2);
}

}  // namespace wakro
