// a_tlines / d_tlines: allocation and release of the line-model storage
// (modules e_s7, e_s7ph, e_s7mfd, e_tlint, e_s7eni, e_tldyn), and the re-sizing of
// that group for a later run with tandem lines.
//
// a_tlines creates every array, module by module in the order e_s7, e_s7ph,
// e_s7mfd, e_tlint, e_s7eni, e_tldyn and within a module in the order of its list,
// with bounds 1 .. the working sizes of the dimension table; it sets no value. It
// must run only when none of the arrays exists: the first one found allocated stops
// the program ("Attempting to allocate already allocated variable '<name>'"), and
// the arrays created before it stay as they are. d_tlines releases every array that
// exists and skips the others, so it may run at any time, also twice.
#include <algorithm>
#include <cstdint>

#include "model/e_s0.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"
#include "model/groups.h"
#include "model/ndde.h"

// One allocation or release per list row; the extents of a row are a parenthesised
// list of working sizes, so `allocate extents` is the call.
#define WAKRO_ALLOC_E_S7(name, T, rank, extents) e_s7::name.allocate extents;
#define WAKRO_ALLOC_E_S7PH(name, T, rank, extents) e_s7ph::name.allocate extents;
#define WAKRO_ALLOC_E_S7MFD(name, T, rank, extents) e_s7mfd::name.allocate extents;
#define WAKRO_ALLOC_E_TLINT(name, T, rank, extents) e_tlint::name.allocate extents;
#define WAKRO_ALLOC_E_S7ENI(name, T, rank, extents) e_s7eni::name.allocate extents;
#define WAKRO_ALLOC_E_TLDYN(name, T, rank, extents) e_tldyn::name.allocate extents;

#define WAKRO_FREE_E_S7(name, T, rank, extents) e_s7::name.release();
#define WAKRO_FREE_E_S7PH(name, T, rank, extents) e_s7ph::name.release();
#define WAKRO_FREE_E_S7MFD(name, T, rank, extents) e_s7mfd::name.release();
#define WAKRO_FREE_E_TLINT(name, T, rank, extents) e_tlint::name.release();
#define WAKRO_FREE_E_S7ENI(name, T, rank, extents) e_s7eni::name.release();
#define WAKRO_FREE_E_TLDYN(name, T, rank, extents) e_tldyn::name.release();

void a_tlines() {
  // The list rows name the working sizes (nd5 ... nd70, nd_conductors()) bare.
  using namespace ndde;
  WAKRO_E_S7_ARRAYS(WAKRO_ALLOC_E_S7)
  WAKRO_E_S7PH_ARRAYS(WAKRO_ALLOC_E_S7PH)
  WAKRO_E_S7MFD_ARRAYS(WAKRO_ALLOC_E_S7MFD)
  WAKRO_E_TLINT_ARRAYS(WAKRO_ALLOC_E_TLINT)
  WAKRO_E_S7ENI_ARRAYS(WAKRO_ALLOC_E_S7ENI)
  WAKRO_E_TLDYN_ARRAYS(WAKRO_ALLOC_E_TLDYN)
}

void d_tlines() {
  WAKRO_E_S7_ARRAYS(WAKRO_FREE_E_S7)
  WAKRO_E_S7PH_ARRAYS(WAKRO_FREE_E_S7PH)
  WAKRO_E_S7MFD_ARRAYS(WAKRO_FREE_E_S7MFD)
  WAKRO_E_TLINT_ARRAYS(WAKRO_FREE_E_TLINT)
  WAKRO_E_S7ENI_ARRAYS(WAKRO_FREE_E_S7ENI)
  WAKRO_E_TLDYN_ARRAYS(WAKRO_FREE_E_TLDYN)
}

// The working sizes that follow the contents of the line-constants files (pole
// counts, buffer lengths, conductor totals) and so may change from one tandem run
// to the next. The line counts nd5, nd6, nd41, nd53, nd58, nd69, nd70 are not here.
namespace {

struct TandemSize {
  int key;             // entry of e_ndim
  std::int32_t* size;  // working size derived from it
};

const TandemSize kTandemSizes[] = {
    {dim::maxpoles, &ndde::nd8},        {dim::travwaves, &ndde::nd31},
    {dim::transforms, &ndde::nd32},     {dim::transpoles, &ndde::nd33},
    {dim::attpoles, &ndde::nd34},       {dim::surgepoles, &ndde::nd35},
    {dim::nummodes, &ndde::nd36},       {dim::nummodes_ph, &ndde::nd42},
    {dim::maxmodes_ph, &ndde::nd43},    {dim::travwaves_ph, &ndde::nd44},
    {dim::prop_ph, &ndde::nd45},        {dim::hserc_ph, &ndde::nd46},
    {dim::ycserc_ph, &ndde::nd47},      {dim::xhk_ph, &ndde::nd48},
    {dim::maxpoles_ph, &ndde::nd49},    {dim::nummodes_mfdtd, &ndde::nd54},
    {dim::maxmodes_mfdtd, &ndde::nd55}, {dim::maxpoles_mfdtd, &ndde::nd56},
    {dim::maxinc_mfdtd, &ndde::nd57},
};

}  // namespace

void resize_tlines_for_tandem() {
  d_tlines();
  for (const TandemSize& t : kTandemSizes) *t.size = std::max(ndde::e_ndim(t.key), 1);
  a_tlines();
  // The line currents kept per conductor (e_s0::cdctl) belong to group s but are
  // indexed like globaldm: when the widest line has grown, they grow with it. The
  // line models fill them again on this run.
  if (e_s0::cdctl.allocated() && e_s0::cdctl.extent(1) < ndde::nd_conductors()) {
    e_s0::cdctl.release();
    e_s0::cdctl.allocate(ndde::nd_conductors(), 2, ndde::nd58);
  }
}
