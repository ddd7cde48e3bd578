// Load-flow display tables (allocate_pf, deallocate_pf) and the re-sizing of the
// output-channel values (reallocate_pgb).
#include "model/pf_display.h"

#include <algorithm>

#include "model/e_s4.h"
#include "model/ndde.h"

namespace pf_display {

void allocate_pf(std::int32_t& nbus_in, std::int32_t& nwb_in, std::int32_t& nb_in,
                 std::int32_t& ntwdg_in, std::int32_t& nc_in) {
  // The dialogue may send its station data again: start from released tables.
  deallocate_pf();

  nbus = nbus_in;
  ndde::e_ndim(dim::pf_buses) = nbus_in;
  ndde::nd50 = std::max(nbus_in, 1);
  pfdata.allocate(ndde::nd50);
  pfsubs.allocate(ndde::nd50, 2);
  pfnodes.allocate(ndde::nd50, 3);

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
  pfbus.allocate(ndde::nd65);
  pfbranch.allocate(ndde::nd65, 3, ndde::nd66);
  pftwindings.allocate(ndde::nd65, 3, ndde::nd67, 2);
  pfconductors.allocate(ndde::nd65, 3, ndde::nd68, 2);
  pfpqdata.allocate(ndde::nd65, 3);
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
