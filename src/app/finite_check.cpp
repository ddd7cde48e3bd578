// The run loop's watch for non-finite values (see finite_check.h).
#include "app/finite_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/int2.h"
#include "model/outppp.h"
#include "model/run_loop.h"
#include "multirun/run_end.h"

namespace {

std::string fixed(double v, int digits) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, digits);
  return std::string(buffer, r.ptr);
}

std::string value_text(double v) { return std::isnan(v) ? "nan" : (v > 0.0 ? "+inf" : "-inf"); }

// A single run ends here (status 2000). In a set of multiple runs only this
// run ends: the next step becomes its last, so the case still writes its row
// of the run's results, the row is marked as cut short and left out of the
// set's figures, and the set goes on with its next run.
void stop(const std::string& what) {
  wakro::ListLine() << "ERROR: Not a finite value at time " << fixed(e_s1::time, 5) << " s: " << what;
  if (!ctrl::multirun) wakro_quit("RUNLOOP", 0);
  wakro::ListLine() << "The run is cut short; the set goes on with its next run.";
  wakro::multirun::run_cut_short = true;
  const std::int64_t next = std::int64_t{ctrl::iii} + 1;
  if (next < run_loop::lasttsn) run_loop::lasttsn = static_cast<std::int32_t>(next);
}

// The value of output column k, found through the output list as the channel
// files find it; a column whose place lies outside the channel values is 0.
double channel_value(std::int32_t k) {
  const auto& order = ctrl::lastrun ? outppp::ipgbi : outppp::mpgbi;
  if (!order.allocated() || k > order.extent(1) || !e_s4::pgb.allocated()) return 0.0;
  const std::int32_t j = order(k);
  return (j >= 1 && j <= e_s4::pgb.extent(1)) ? e_s4::pgb(j) : 0.0;
}

}  // namespace

namespace wakro {

void stop_if_not_finite() {
  // A run of a set already cut short here runs its last step as it stands.
  if (ctrl::multirun && wakro::multirun::run_cut_short) return;
  // 1. The network solution, subsystem by subsystem.
  if (e_s0::vdc.allocated() && e_s0::mbus.allocated()) {
    const std::int32_t subsystems = std::min({int2::nmat, e_s0::vdc.extent(2), e_s0::mbus.extent(1)});
    for (std::int32_t ss = 1; ss <= subsystems; ++ss) {
      const std::int32_t nodes = std::min(e_s0::mbus(ss), e_s0::vdc.extent(1));
      for (std::int32_t n = 1; n <= nodes; ++n) {
        const double v = e_s0::vdc(n, ss);
        if (std::isfinite(v)) continue;
        stop("subsystem " + std::to_string(ss) + ", node " + std::to_string(n) + " voltage " + value_text(v));
        return;
      }
    }
  }
  // 2. The output channels, in column order.
  const std::int32_t columns = ctrl::lastrun ? outppp::jplt : outppp::mplt;
  for (std::int32_t k = 1; k <= columns; ++k) {
    const double v = channel_value(k);
    if (std::isfinite(v)) continue;
    std::string name;
    if (outppp::pgbname.allocated() && k <= outppp::pgbname.extent(1)) name = std::string(outppp::pgbname(k).trimmed());
    stop("output channel " + std::to_string(k) + " " + value_text(v) + (name.empty() ? "" : " (" + name + ")"));
    return;
  }
}

}  // namespace wakro
