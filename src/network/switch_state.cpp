// The two state changes of a switching branch and the marker of the first row of
// its subsystem's matrix that must be factorised again, with the mark that a
// switching changed it.
//
// wakro_turnoff / wakro_turnon leave: OPENBR, GEQ (GEQOF / GEQON), EBR and EBRD
// (EBROF / EBRON), SOURCE (|EBR| > 1e-20), the switching mode IORV and level
// SWLEVL of the next test, IDEALBR (cleared on turn-off; set on a turn-on into
// an ideal ON state, GEQON = 0), and MXINV(ss) lowered to the branch's lower
// non-ground end node. Both refuse a surge arrester, which only the network's
// own switching (wakro::turnon_switch) operates.
#include <algorithm>
#include <cmath>

#include "diag/message.h"
#include "diag/quit.h"
#include "diag/stacktext.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s8.h"
#include "model/int1.h"
#include "network/switching.h"

void setmxinv(std::int32_t ss, std::int32_t p, std::int32_t q) {
  wakro::lower_mxinv(ss, p, q);
  e_s8::switched(ss) = true;
}

void wakro::lower_mxinv(std::int32_t ss, std::int32_t p, std::int32_t q) {
  std::int32_t k = 0;
  if (p == 0) {
    k = q;
  } else if (q == 0) {
    k = p;
  } else {
    k = std::min(p, q);
  }
  e_s8::mxinv(ss) = std::min(e_s8::mxinv(ss), k);
}

namespace {

void take_state(std::int32_t ss, std::int32_t br, bool open, double g, double e, std::int32_t kind,
                double level) {
  using namespace branches;
  openbr(br, ss) = open;
  geq(br, ss) = g;
  ebr(br, ss) = e;
  ebrd(br, ss) = e;
  source(br, ss) = std::abs(e) > wakro::kTiny;
  int1::iorv(br, ss) = kind;
  swlevl(br, ss) = level;
}

// A surge arrester (the arrester switching mode) is operated by the network alone: its state
// is a segment of its table, and a turn-on or turn-off from outside would leave
// GEQ, EBR and the segment in SWLEVL disagreeing.
void refuse_arrester(std::int32_t ss, std::int32_t br, const char* what, const char* tag) {
  if (std::abs(int1::iorv(br, ss)) != wakro::switch_mode::arrester) return;
  wakro::StackText<64> head;
  wakro::StackText<96> last;
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                head << "Arrester in branch " << br << " of subsystem ");
  wakro_message(
      0, 0, wakro::msg::kError, wakro::msg::kLastLine,
      last << ss << " is operated by the network; a model cannot turn it " << what << ".");
  wakro_quit(tag, 0);
}

}  // namespace

void wakro_turnoff(std::int32_t ss, std::int32_t br, std::int32_t kind, double level) {
  using namespace branches;
  refuse_arrester(ss, br, "off", "TURNOFF");
  take_state(ss, br, true, geqof(br, ss), ebrof(br, ss), kind, level);
  idealbr(br, ss) = false;
  setmxinv(ss, ief(br, ss), iet(br, ss));
}

void wakro_turnon(std::int32_t ss, std::int32_t br, std::int32_t kind, double level) {
  refuse_arrester(ss, br, "on", "TURNON");
  wakro::turnon_switch(ss, br, kind, level);
}

void wakro::turnon_switch(std::int32_t ss, std::int32_t br, std::int32_t kind, double level) {
  using namespace branches;
  take_state(ss, br, false, geqon(br, ss), ebron(br, ss), kind, level);
  if (geqon(br, ss) == 0.0) idealbr(br, ss) = true;
  setmxinv(ss, ief(br, ss), iet(br, ss));
}
