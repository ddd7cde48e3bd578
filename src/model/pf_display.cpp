// Load-flow display tables (allocate_pf; announce_pf with the reserve_pf_*
// routines that grow the tables as their rows arrive; deallocate_pf) and the
// re-sizing of the output-channel values (reallocate_pgb).
#include "model/pf_display.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <tuple>
#include <vector>

#include "model/e_s4.h"
#include "model/ndde.h"

namespace pf_display {

namespace {

// Releases the tables, then stores the five counts, records them in the
// dimension table and derives nd50 and nd65..nd68.
void allocate_pf_counts(std::int32_t nbus_in, std::int32_t nwb_in, std::int32_t nb_in, std::int32_t ntwdg_in,
                        std::int32_t nc_in) {
  // The dialogue may send its station data again: start from released tables.
  deallocate_pf();
  nbus = nbus_in;
  ndde::e_ndim(dim::pf_buses) = nbus_in;
  ndde::nd50 = std::max(nbus_in, 1);
  nwb = nwb_in;
  nb = nb_in;
  ntwdg = ntwdg_in;
  nc = nc_in;
  ndde::e_ndim(dim::pf_nwb) = nwb_in;
  ndde::e_ndim(dim::pf_nb) = nb_in;
  ndde::e_ndim(dim::pf_ntwdg) = ntwdg_in;
  ndde::e_ndim(dim::pf_nc) = nc_in;
  ndde::nd65 = std::max(nwb_in, 1);
  ndde::nd66 = std::max(nb_in, 1);
  ndde::nd67 = std::max(ntwdg_in, 1);
  ndde::nd68 = std::max(nc_in, 1);
}

}  // namespace

void allocate_pf(std::int32_t& nbus_in, std::int32_t& nwb_in, std::int32_t& nb_in,
                 std::int32_t& ntwdg_in, std::int32_t& nc_in) {
  allocate_pf_counts(nbus_in, nwb_in, nb_in, ntwdg_in, nc_in);
  pfdata.allocate(ndde::nd50);
  pfsubs.allocate(ndde::nd50, 2);
  pfnodes.allocate(ndde::nd50, 3);
  pfbus.allocate(ndde::nd65);
  pfbranch.allocate(ndde::nd65, 3, ndde::nd66);
  pftwindings.allocate(ndde::nd65, 3, ndde::nd67, 2);
  pfconductors.allocate(ndde::nd65, 3, ndde::nd68, 2);
  pfpqdata.allocate(ndde::nd65, 3);
}

namespace {

// Allocates `a` again with the extents `ext`, keeping every element that lies
// within both the old and the new extents (the rest are zero).
template <class T, int R>
void regrow(wakro::FArray<T, R>& a, const std::array<std::int32_t, R>& ext) {
  std::array<std::int32_t, R> old{};
  for (int d = 0; d < R; ++d) old[d] = a.extent(d + 1);
  if (old == ext) return;
  const std::vector<T> kept(a.data(), a.data() + a.size());
  a.release();
  std::apply([&a](auto... e) { a.allocate(e...); }, ext);
  for (std::size_t n = 0; n < kept.size(); ++n) {
    std::int64_t rest = static_cast<std::int64_t>(n), at = 0, stride = 1;
    bool inside = true;
    for (int d = 0; d < R; ++d) {
      const std::int64_t i = rest % old[d];
      rest /= old[d];
      inside = inside && i < ext[d];
      at += i * stride;
      stride *= ext[d];
    }
    if (inside) a.data()[at] = kept[n];
  }
}

// The room for `needed` rows of a table holding `held`, up to `limit`:
// doubled, so that rows arriving one by one are copied a bounded number of times.
std::int32_t room_for(std::int32_t needed, std::int32_t held, std::int32_t limit) {
  if (needed <= held) return held;
  const std::int64_t doubled = std::int64_t{held} * 2;
  return static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(needed, doubled), limit));
}

// The entry tables with `rows` measuring-branch rows and the entry rooms given.
void regrow_entries(std::int32_t rows, std::int32_t branches, std::int32_t windings, std::int32_t conductors) {
  regrow(pfbranch, {rows, 3, branches});
  regrow(pftwindings, {rows, 3, windings, 2});
  regrow(pfconductors, {rows, 3, conductors, 2});
}

}  // namespace

void announce_pf(std::int32_t nbus_in, std::int32_t nwb_in, std::int32_t nb_in, std::int32_t ntwdg_in,
                 std::int32_t nc_in) {
  // The counts recorded and derived as for tables of their full size, ...
  allocate_pf_counts(nbus_in, nwb_in, nb_in, ntwdg_in, nc_in);
  // ... the tables without rows.
  pfdata.allocate(0);
  pfsubs.allocate(0, 2);
  pfnodes.allocate(0, 3);
  pfbus.allocate(0);
  pfbranch.allocate(0, 3, 0);
  pftwindings.allocate(0, 3, 0, 2);
  pfconductors.allocate(0, 3, 0, 2);
  pfpqdata.allocate(0, 3);
}

void reserve_pf_bus(std::int32_t row) {
  const std::int32_t rows = room_for(row, pfsubs.extent(1), ndde::nd50);
  regrow(pfdata, {rows});
  regrow(pfsubs, {rows, 2});
  regrow(pfnodes, {rows, 3});
}

void reserve_pf_branch(std::int32_t row) {
  const std::int32_t rows = room_for(row, pfbus.extent(1), ndde::nd65);
  regrow(pfbus, {rows});
  regrow(pfpqdata, {rows, 3});
  regrow_entries(rows, pfbranch.extent(3), pftwindings.extent(3), pfconductors.extent(3));
}

void reserve_pf_entry(int kind, std::int32_t m) {
  std::int32_t room[3] = {pfbranch.extent(3), pftwindings.extent(3), pfconductors.extent(3)};
  const std::int32_t limit[3] = {ndde::nd66, ndde::nd67, ndde::nd68};
  room[kind] = room_for(m, room[kind], limit[kind]);
  regrow_entries(pfbus.extent(1), room[0], room[1], room[2]);
}

void deallocate_pf() {
  pfdata.release();
  pfsubs.release();
  pfnodes.release();
  pfbus.release();
  pfbranch.release();
  pftwindings.release();
  pfconductors.release();
  pfpqdata.release();
}

void reallocate_pgb(std::int32_t n) {
  e_s4::pgb.release();
  e_s4::pgb.allocate(n);
}

}  // namespace pf_display
