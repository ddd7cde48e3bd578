// The record-check hooks and their defaults (see record_checks.h).
#include "network/record_checks.h"

#include "model/dim.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/ndde.h"

namespace wakro {

std::string record_item(std::string_view what, std::int64_t k) {
  return std::string(what) + " " + std::to_string(k);
}

std::string record_of_subsystem(std::string_view what, std::int32_t ss) {
  return std::string(what) + " of " + record_item("subsystem", ss);
}

std::string record_nodes(std::span<const std::int32_t> nodes) {
  std::string text;
  for (const std::int32_t n : nodes) {
    if (!text.empty()) text += ' ';
    text += std::to_string(n);
  }
  return text;
}

void RecordChecker::node(std::string_view record, std::int64_t node, std::int32_t ss) const {
  range(record, node, 0, e_s0::mbus(ss));
}

void RecordChecker::subsystem(std::string_view record, std::int64_t ss) const { range(record, ss, 1, int2::nmat); }

namespace {

void unchecked_record(const RecordChecker& c, std::int32_t ss, std::int32_t b, std::int32_t t) {
  c.refuse_range(record_of_subsystem(record_item("unchecked component record of branch", b), ss), t, 0, 0);
}
void unchecked_lines(const RecordChecker& c) {
  c.count("lines without a registered check", ndde::e_ndim(dim::tlines_total), 0);
}

constexpr RecordCheckHooks defaults() { return {&unchecked_record, &unchecked_record, &unchecked_lines}; }

RecordCheckHooks g_hooks = defaults();

}  // namespace

RecordCheckHooks& record_check_hooks() { return g_hooks; }
void reset_record_check_hooks() { g_hooks = defaults(); }

}  // namespace wakro
