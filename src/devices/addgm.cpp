// wakro_addgm and wakro_addgm2: a packed admittance stamped among listed nodes.
// Nothing is allocated: the packed values are read in place.
#include "devices/addgm.h"

#include <span>
#include <string_view>

#include "devices/device_support.h"
#include "diag/quit.h"
#include "model/e_s1.h"
#include "network/matrix.h"

namespace {

constexpr std::string_view kTag = "WAKRO_ADD_GM";

void add(std::int32_t ny, std::int32_t n, std::int32_t iss, const std::int32_t* nodes,
         const double* y) {
  // 1. Size of the packed triangle.
  if (n < 1 || ny != n * (n + 1) / 2) {
    wakro::devices::device_warn("dimension mismatch");
    wakro_quit(kTag, 0);
  }
  const std::span<const std::int32_t> list(nodes, static_cast<std::size_t>(n));
  const std::span<const double> values(y, static_cast<std::size_t>(ny));
  // 2. The stamp, in the matrix's own convention.
  wakro::stamp_admittance(kTag, iss, list, wakro::SymmetricAdmittance::packed(values, n),
                          wakro::AdmittanceMeaning::between_nodes);
}

}  // namespace

void wakro_addgm(std::int32_t ny, std::int32_t n, std::int32_t iss, const std::int32_t* nodes,
                 const double* y) {
  if (!e_s1::timezero) return;
  add(ny, n, iss, nodes, y);
}

void wakro_addgm2(std::int32_t ny, std::int32_t n, std::int32_t iss, const std::int32_t* nodes,
                  const double* y) {
  add(ny, n, iss, nodes, y);
}
