// The control-panel case: no network, two control values set by the design
// environment (a slider at control address 1, a push button at address 2),
// which each output pass copies into the output channel values 1 and 2, so
// that the design environment sees, in the values it watches, what the case
// saw in that step.
#include "panel_case.h"

#include <algorithm>
#include <cstdint>

#include "model/e_s4.h"
#include "model/quolbv3.h"

void dsdyn() {}

void dsout() {
  if (!quolbv3::cx.allocated() || !e_s4::pgb.allocated()) return;
  const std::int32_t n = std::min({quolbv3::cx.extent(1), e_s4::pgb.extent(1), std::int32_t{2}});
  for (std::int32_t k = 1; k <= n; ++k) e_s4::pgb(k) = quolbv3::cx(k);
}

void dsdyn_begin() {}
void dsout_begin() { dsout(); }
