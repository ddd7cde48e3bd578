// The harmonic-impedance registry: the bounded append, and the group routines of
// the scan's work modules (which nothing in the engine calls yet).
#include "model/harmimp.h"

#include <cstdint>

#include "model/harmimp1.h"
#include "model/harmimp2.h"
#include "model/harmimp3.h"
#include "model/ndde.h"
#include "model/release_each.h"

namespace harmimp {

bool harm_append(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                 std::initializer_list<double> values) {
  if (harm_num < 0 || harm_num >= kMaxRecords) return false;
  if (nodes.size() > 6 || values.size() > 5) return false;
  const std::int32_t r = harm_num + 1;
  harm_type(r) = type;
  harm_ss(r) = ss;
  int j = 1;
  for (std::int32_t n : nodes) harm_node(r, j++) = n;
  for (; j <= 6; ++j) harm_node(r, j) = 0;
  j = 1;
  for (double v : values) harm_var(r, j++) = v;
  for (; j <= 5; ++j) harm_var(r, j) = 0.0;
  harm_num = r;  // the count is stored last, once the record is complete
  return true;
}

}  // namespace harmimp

void a_harmimp1_1(std::int32_t n) {
  harmimp1::mbus1.allocate(2 * static_cast<std::int64_t>(ndde::nd2));
  harmimp1::ssnodes.allocate(ndde::nd2);
  harmimp1::nlookup.allocate(n);
}

void a_harmimp1_2() { harmimp1::lmat.allocate(static_cast<std::int64_t>(harmimp1::ku) + 1); }

void a_harmimp2() { harmimp2::yl.allocate(harmimp1::ntot, harmimp1::ntot); }

void a_harmimp3() {
  using namespace harmimp3;
  yvec.allocate(static_cast<std::int64_t>(harmimp1::ku) + 1);
  li.allocate(ndde::nd3, ndde::nd3);
  lit.allocate(ndde::nd3, ndde::nd3);
  zttf.allocate(ndde::nd3, ndde::nd3);
  tftmp1.allocate(ndde::nd3, ndde::nd3);
  tftmp2.allocate(ndde::nd3, ndde::nd3);
}

void d_harmimp1_1() {
  wakro::release_each(harmimp1::mbus1, harmimp1::ssnodes, harmimp1::nlookup);
}

void d_harmimp1_2() { harmimp1::lmat.release(); }

void d_harmimp2() { harmimp2::yl.release(); }

void d_harmimp3() {
  using namespace harmimp3;
  wakro::release_each(yvec, li, lit, zttf, tftmp1, tftmp2);
}
