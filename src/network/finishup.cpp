// finishup: keeps the previous-step copies of subsystem ss at the end of its step,
// so that the next step compares against and interpolates from them.
//
// Leaves: CCLID := CCLI; EBRD := EBR (except a registered source under source
// extrapolation, whose EBRD incalcvi has already moved), CCBRD := CCBR, GEQD :=
// GEQ; CCIND, GGIND of the Norton nodes; CCMCD := CCMC and CDCTRO := CDCTR +
// FININJS of the subsystem's transformers. storage::this_ is left at the last
// branch's storage index.
#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s5.h"
#include "model/tf_subsystems.h"
#include "model/int2.h"
#include "model/options.h"
#include "model/storage.h"
#include "model/umec.h"
#include "network/branch_view.h"
#include "network/solution.h"

void finishup(std::int32_t ss) { finishup(ss, wakro::subsystem_columns(ss)); }

void finishup(std::int32_t ss, const wakro::SubsystemColumns& c) {
  using namespace branches;
  using wakro::copy_values;
  // Step 1: the line and Norton injections kept.
  wakro::keep_injections(c, int2::nmb(ss));

  // Step 2: branch copies.
  const std::int32_t nbr = std::max(int2::insb(ss), 0);
  const bool interpolated = options::xterpsrc(ss);  // a registered source keeps its EBRD
  double* const ebr = c.ebr.first - 1;  // by branch number
  double* const ebrd = c.ebrd.first - 1;
  if (interpolated) {
    // The lookup of the step: EBRD := EBR between the registered branches.
    const wakro::SourceRecords& records = wakro::source_records(ss);
    std::int32_t from = 1;
    for (std::int32_t k = 0; k < records.registered_count; ++k) {
      const std::int32_t reg = records.registered_branches[static_cast<std::size_t>(k)];
      copy_values(ebr + from, reg - from, ebrd + from);
      from = reg + 1;
    }
    copy_values(ebr + from, nbr + 1 - from, ebrd + from);
    if (nbr > 0) storage::this_ = records.last_owner;
  } else {
    copy_values(c.ebr.first, nbr, c.ebrd.first);
  }
  copy_values(c.ccbr.first, nbr, c.ccbrd.first);
  copy_values(c.geq.first, nbr, c.geqd.first);

  // Step 3: transformer windings.
  using namespace e_s5;
  if (jset <= 0 || numt(ss) <= 0) return;
  const std::int32_t units = numt(ss);
  // Column t of a per-winding array, by winding from 1.
  const auto winding = [](auto& a, std::int32_t t) {
    return a.data() + static_cast<std::ptrdiff_t>(t - 1) * a.extent(1) - 1;
  };
  std::int32_t count = 0;
  for (const std::int32_t t : in_subsystem(ss, int2::nmat)) {
    if (++count > units) {
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                    "Error duing solution of transformers. ");
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                    "Transformer Subsystem Numbers are mis-aligned");
      wakro_quit("FINISHUP", 0);
    }
    const double* const hist = winding(ccmc, t);
    double* const hist_before = winding(ccmcd, t);
    const double* const cur = winding(e_s0::cdctr, t);
    double* const cur_before = winding(e_s0::cdctro, t);
    const double* const inj = winding(umec::fininjs, t);
    const std::int32_t nw = msiz(t);
    for (std::int32_t w = 1; w <= nw; ++w) {
      hist_before[w] = hist[w];
      cur_before[w] = cur[w] + inj[w];
    }
  }
}
