// Names of the multiple-run result files (see names.h).
#include "multirun/names.h"

#include <cstdlib>

#include "files/words.h"
#include "model/fixedtext.h"

namespace wakro::multirun {

namespace {
char digit(std::int64_t v) { return static_cast<char>('0' + v % 10); }
// |v| without overflow for the most negative 32-bit value.
std::int64_t magnitude(std::int32_t v) { return std::llabs(std::int64_t{v}); }
}  // namespace

std::string rank_code(std::int32_t rank) {
  const std::int64_t r = magnitude(rank);
  std::string code(4, '0');
  code[0] = r >= 10000 ? 'A' : digit(r / 1000);
  code[1] = digit(r / 100);
  code[2] = digit(r / 10);
  code[3] = digit(r);
  return code;
}

std::string_view base_name(std::string_view name) {
  const std::size_t end = name.find_first_of(" .", file_part_start(name));
  return end == std::string_view::npos ? name : name.substr(0, end);
}

std::string unit_digits(std::int32_t unit) {
  const std::int64_t u = magnitude(unit);
  return {u >= 100 ? 'A' : digit(u / 10), digit(u)};
}

std::string mrun_file_name(std::string_view base, std::int32_t rank) {
  std::string name(base);
  if (rank != 0) name.append("_").append(rank_code(rank));
  return name + ".out";
}

std::string_view extra_stem(std::string_view name) {
  const std::string_view text = trim_right(name);
  return text.substr(0, name_cut(text, kExtraNameLength));
}

std::string extra_file_name(std::string_view name, std::int32_t unit, std::int32_t rank) {
  std::string file(extra_stem(name));
  file.append("_").append(unit_digits(unit));
  if (rank != 0) file.append("_").append(rank_code(rank));
  return file + ".out";
}

std::string merged_extra_file_name(std::string_view name, std::int32_t unit) {
  return std::string(base_name(name)).append("_").append(unit_digits(unit)) + ".out";
}

}  // namespace wakro::multirun
