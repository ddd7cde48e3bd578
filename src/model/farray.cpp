// The index stop of the case-sized arrays (names the array, the index and the
// bounds) and the memory budget that every allocation is checked against.
#include "model/farray.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace wakro {

namespace {

std::atomic<std::uint64_t> g_held{0};
std::atomic<std::uint64_t> g_budget_override{0};

// The soft limit of a resource, or "no limit" as the largest value.
std::uint64_t soft_limit(int resource) {
  rlimit r{};
  if (getrlimit(resource, &r) != 0 || r.rlim_cur == RLIM_INFINITY)
    return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(r.rlim_cur);
}

}  // namespace

std::uint64_t machine_memory_budget() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  std::uint64_t budget = std::numeric_limits<std::uint64_t>::max();
  if (pages > 0 && page_size > 0)
    budget = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size) / 2;
  return std::min({budget, soft_limit(RLIMIT_AS), soft_limit(RLIMIT_DATA)});
}

std::uint64_t array_memory_budget() {
  const std::uint64_t set = g_budget_override.load();
  return set != 0 ? set : machine_memory_budget();
}

std::uint64_t array_bytes_held() { return g_held.load(); }

void set_array_memory_budget(std::uint64_t bytes) { g_budget_override.store(bytes); }

}  // namespace wakro

namespace wakro::detail {

bool take_array_bytes(std::uint64_t bytes) {
  const std::uint64_t budget = array_memory_budget();
  std::uint64_t held = g_held.load();
  do {
    if (bytes > budget || held > budget - bytes) return false;
  } while (!g_held.compare_exchange_weak(held, held + bytes));
  g_array_layout.fetch_add(1, std::memory_order_relaxed);
  return true;
}

void give_back_array_bytes(std::uint64_t bytes) {
  g_held.fetch_sub(bytes);
  g_array_layout.fetch_add(1, std::memory_order_relaxed);
}

void index_stop(const char* name, int rank, const std::int64_t* idx,
                const std::int32_t* ext) {
  std::string msg = "Array index out of bounds: ";
  msg += name;
  msg += '(';
  for (int d = 0; d < rank; ++d) {
    if (d) msg += ',';
    msg += std::to_string(idx[d]);
  }
  msg += ") outside (";
  for (int d = 0; d < rank; ++d) {
    if (d) msg += ',';
    msg += "1:" + std::to_string(ext[d]);
  }
  msg += ')';
  runtime_stop(msg);
}

}  // namespace wakro::detail
