// itriang_errmsg: the diagnostics of the factorisation. k >= 1: a zero pivot at
// node k of subsystem ss (an error; the caller then ends the run); k < 1: the
// nodes of ss whose diagonal lost more than 14 digits by cancellation (a
// warning). Both end with the checklist of likely causes. Writes model messages
// and console lines only; no workspace.
#include <string>

#include "diag/listout.h"
#include "diag/message.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "network/solution.h"

namespace {

void rule() { wakro::ListLine() << std::string(52, '*'); }

}  // namespace

void itriang_errmsg(std::int32_t k, std::int32_t ss) {
  if (k >= 1) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(6),
                  "Singularity (a zero diagonal) encountered");
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                  " during the triangularization of the circuit");
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                  " conductance matrix. This occured at node ");
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                  std::to_string(k) + " in subsystem " + std::to_string(ss));
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                  ". The simulation cannot be completed due to ");
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                  "numerically ill-conditioned matrices.");
    rule();
  } else {
    wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::first_of(4),
                  "A very small diagonal was encountered ");
    wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kMiddleLine,
                  "during the triangularization of the circuit ");
    wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kMiddleLine,
                  "conductance matrix. The simulation results can be ");
    wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kLastLine,
                  "incorrect due to numerically ill-conditioned matrices.");
    rule();
    wakro::ListLine() << "A very small diagonal was encountered";
    wakro::ListLine() << "For subsystem " << ss << ", this occurred at nodes:";
    for (std::int32_t i = 1; i <= e_s0::mbus(ss); ++i)
      if (int2::nilltr(i, ss)) wakro::ListLine() << i;
  }
  wakro_message(0, 0, wakro::msg::kWarning, wakro::msg::kSingleLine, "Check Runtime Messages");
  for (const char* line :
       {"Look for:", " - Isolated nodes or branches in the circuit.",
        " - Nodes connected to nothing but open switches.",
        " - A transformer sub-circuit which is ungrounded.",
        " - Switching branches with very high open resistances.", "Try:",
        " - Grounding a transformer sub-circuit (either by a",
        "   direct ground connection or by elements to ground).",
        " - Connecting a high resistance to ground from identified nodes.",
        " - Reducing open resistance of switching branches  ",
        "   if the resistances are too high (typically > 1 Mohm)."})
    wakro::ListLine() << line;
  rule();
}
