// The dimension table: working sizes from required sizes (put_nd) and the fixed
// order in which the allocation groups are allocated and released.
#include "model/ndde.h"

#include <array>
#include <cstdio>
#include <limits>
#include <string>

#include "model/fatal.h"
#include "model/groups.h"

namespace ndde {

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kOutOfMemoryRule = 45;  // asterisks under the out-of-memory report

// nd1 ... nd80 by number (index 0 unused).
const std::array<std::int32_t*, 81> kNd = {
    nullptr, &nd1,  &nd2,  &nd3,  &nd4,  &nd5,  &nd6,  &nd7,  &nd8,  &nd9,  &nd10,
    &nd11,   &nd12, &nd13, &nd14, &nd15, &nd16, &nd17, &nd18, &nd19, &nd20, &nd21,
    &nd22,   &nd23, &nd24, &nd25, &nd26, &nd27, &nd28, &nd29, &nd30, &nd31, &nd32,
    &nd33,   &nd34, &nd35, &nd36, &nd37, &nd38, &nd39, &nd40, &nd41, &nd42, &nd43,
    &nd44,   &nd45, &nd46, &nd47, &nd48, &nd49, &nd50, &nd51, &nd52, &nd53, &nd54,
    &nd55,   &nd56, &nd57, &nd58, &nd59, &nd60, &nd61, &nd62, &nd63, &nd64, &nd65,
    &nd66,   &nd67, &nd68, &nd69, &nd70, &nd71, &nd72, &nd73, &nd74, &nd75, &nd76,
    &nd77,   &nd78, &nd79, &nd80};

}  // namespace

// Output channels come in blocks of ten: the next multiple of 10 above m, and at
// most the largest 32-bit value (the rounding of a value near it must not wrap).
std::int32_t channel_block(std::int32_t required) {
  const std::int64_t m = required < 1 ? 1 : required;
  const std::int64_t rounded = 10 * (m / 10) + 10;
  return rounded > kInt32Max ? kInt32Max : static_cast<std::int32_t>(rounded);
}

std::int32_t& nd(int k) {
  if (k < 1 || k > 80) {
    const std::int64_t idx[1] = {k};
    const std::int32_t ext[1] = {80};
    wakro::detail::index_stop("nd", 1, idx, ext);
  }
  return *kNd[static_cast<std::size_t>(k)];
}

std::int32_t with_margin(std::int32_t value, std::int32_t margin) {
  const std::int64_t sum = std::int64_t{value} + margin;
  return sum > kInt32Max ? kInt32Max : static_cast<std::int32_t>(sum);
}

std::int64_t sparsity_default(std::int64_t n) { return n * (n - 1) / 2 + 1; }

void put_nd() {
  // Entries 50 and 65..68 belong to allocate_pf, 74..80 to their users.
  for (int k = 1; k <= dim::mbranches; ++k) {
    if (k == dim::umec || k == dim::pgbs || k == dim::pf_buses ||
        (k >= dim::pf_nwb && k <= dim::pf_nc))
      continue;
    nd(k) = working_size(e_ndim(k));
  }
  nd9 = std::max(e_ndim(dim::umec), 10);
  nd13 = channel_block(e_ndim(dim::pgbs));
  // Arrays indexed by "conductor of any line" are sized with nd5: make it hold the
  // largest conductor count of every line model, phase-domain and MFDTD included.
  nd5 = nd_conductors();
  // The sparse index lists and the work matrices take nd19 and nd1 until the MNA
  // set-up sizes them for its extra rows; an order of 0 would leave them unusable.
  if (nd74 < 1) nd74 = nd19;
  if (nd75 < 1) nd75 = nd1;
}

void allocate_nd(std::int32_t& status) {
  status = 0;
  put_nd();
  a_s();
  a_tlines();
  a_interp();
  a_calcvi();
  a_ideal();
  a_spcial();
  a_umec();
  a_branches();
  a_quolbv3();
  a_storage();
  a_temp();
  a_radiolinks();
  a_rtconfig();
  a_mna();
}

void deallocate_nd() {
  d_s();
  d_tlines();
  d_sparsity();
  d_interp();
  d_calcvi();
  d_ideal();
  d_spcial();
  d_umec();
  d_branches();
  d_quolbv3();
  d_storage();
  d_temp();
  d_radiolinks();
  d_rtconfig();
  d_mna();
}

void chk_nexc() {
  std::fputs(" WARNING: CHK_NEXC is not implemented\n", stdout);
  std::fflush(stdout);
}

void out_of_memory(std::string_view name) {
  std::string text = " ERROR(ndalloc): Ran out of memory while allocating common block /";
  text.append(name);
  text += "/\n Quit some applications or increase swap space\n ";
  text.append(kOutOfMemoryRule, '*');
  text += '\n';
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  throw wakro::FatalExit(wakro::kRuntimeStopStatus);
}

}  // namespace ndde
