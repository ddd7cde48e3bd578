// wakro_initswbr: set-up of a switching branch by the device that owns it.
//
// Checks the branch number and its switch attribute (the validators end the run
// under the caller's tag), refuses an OFF resistance that is not above the ON
// resistance or not above the ideal-branch threshold 1/GONMAX(ss), and a negative
// ON resistance. Leaves: GEQOF = 1/ROFF, EBRON = -EON, EBROF = -EOFF, the branch
// OFF (wakro_turnoff, plain mode, level 0), XSTOR = no crossing; GEQON = 1/RON, or 0 with
// IDEALSS(ss) set when |RON| is at most the ideal-branch threshold (the rule the
// branch reader follows for ordinary branches). A switch between two nodes is
// entered in the fill pattern of the matrix, so the factorisation sees its
// coupling whichever component created it.
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "diag/format.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/fixedtext.h"
#include "model/ideal.h"
#include "model/int1.h"
#include "network/companion.h"
#include "network/switching.h"

namespace {

[[noreturn]] void refuse(std::string_view caller, std::string_view first, std::int32_t b,
                         std::int32_t ss, std::string_view last) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                std::string(first) + std::to_string(b) + " of subsystem ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                std::to_string(ss) + std::string(last));
  wakro_quit(caller, 0);
}

}  // namespace

void wakro_initswbr(std::int32_t ss, std::int32_t br, double ron, double roff, double eon,
                    double eoff, std::string_view caller) {
  using namespace branches;
  // Step 1: a breaker passes its branch number signed; the number is its magnitude.
  const std::int32_t b = std::abs(br);
  wakro_testbrn(caller, b, ss);
  wakro_testswa(caller, b, ss);

  // Step 2: the resistances.
  constexpr std::string_view kOff = "OFF resistance of switch in branch ";
  const double threshold = 1.0 / ideal::gonmax(ss);
  if (roff <= ron) refuse(caller, kOff, b, ss, " must be larger than the ON resistance.");
  if (ron < 0.0)
    refuse(caller, "ON resistance of switch in branch ", b, ss, " must not be negative.");
  if (roff <= threshold) {
    const std::string text = wakro::edit_g(threshold, 23, 16);
    refuse(caller, kOff, b, ss,
           " must be larger than the ideal branch threshold " +
               std::string(wakro::trim_right(text)));
  }

  // Step 3: OFF.
  geqof(b, ss) = 1.0 / roff;
  ebron(b, ss) = -eon;
  ebrof(b, ss) = -eoff;
  swlevl(b, ss) = 0.0;
  int1::xstor(b, ss) = wakro::kNoCrossing;
  idealbr(b, ss) = false;
  wakro_turnoff(ss, b, wakro::switch_mode::plain, 0.0);

  // Step 4: the ON state.
  if (std::abs(ron) > threshold) {
    geqon(b, ss) = 1.0 / ron;
  } else {
    geqon(b, ss) = 0.0;
    e_s0::idealss(ss) = true;
  }

  // The coupling of the two end nodes in the fill pattern.
  wakro::mark_branch(e_s0::assign_filled_ptr(ss), ief(b, ss), iet(b, ss));
}
