// switchbr: operates, at the present instant inside the step, every switch of
// subsystem ss whose crossing falls at frac (the switching fraction chosen by
// interpol), in the order of the switch list (modes of wakro::switch_mode).
//
//   surge arrester (arrester)     steps one segment in the direction left in EBRON:
//                                 the segment's conductance and EMF become the ON
//                                 state, and it is turned on with mode arrester
//   segmented branch (segmented)  steps one segment in the direction left in its
//                                 record: GEQ from the segment's inductance less
//                                 the companion's GEQ; the instant is recorded
//   power-electronic switch       OFF -> ON with mode current_falling and its holding
//                                 level, ON -> OFF with mode voltage_rising (diode)
//                                 or plain and its forward level; the instants go
//                                 to its record
//   any other switch              changes state with mode plain
//
// Per-step limits: a power-electronic switch operates at most ten times (counter
// ICNT from 10 down); an arrester or segmented branch is stopped after ten steps
// that alternate in direction (ICNT counts them with alternating sign); an
// arrester is warned about at five. A switch at its limit leaves CONSID and keeps
// its state for the rest of the step. Every operation lowers MXINV(ss).
#include <cmath>
#include <cstdlib>
#include <string>

#include "diag/format.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/branch_codes.h"
#include "diag/stacktext.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/fixedtext.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "model/temp1.h"
#include "network/companion.h"
#include "network/solution.h"
#include "network/switch_records.h"
#include "network/switching.h"

namespace {

// The alternation count of an arrester or segmented branch: grows by one in
// magnitude, changing sign, while the steps alternate in direction; returns to 0
// after two steps the same way. Returns the new magnitude when it grew, else 0.
std::int32_t count_alternation(std::int32_t& icnt, std::int32_t direction) {
  if (direction < 1) {
    if (icnt >= 0) {
      icnt = -(icnt + 1);
      return -icnt;
    }
    icnt = 0;
    return 0;
  }
  if (icnt < 0) {
    icnt = 1 - icnt;
    return icnt;
  }
  icnt = 0;
  return 0;
}

// "at time <solution time>", built in the caller's room (the limit messages
// may come every step, so they allocate nothing).
std::string_view at_time(wakro::StackText<40>& line, wakro::FieldRoom& room) {
  return line << "at time " << wakro::trim_right(wakro::edit_g(room, int1::solution_time, 23, 16));
}

[[noreturn]] void bad_record(std::int32_t ss, std::int32_t br, const char* what) {
  wakro_message(
      0, 0, wakro::msg::kError, wakro::msg::first_of(2),
      std::string(what) + " of switch in branch " + std::to_string(br) + " of subsystem ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                std::to_string(ss) + " points outside its tables.");
  wakro_quit("SWITCHBR", 0);
}

void arrester_step(std::int32_t ss, std::int32_t br) {
  using namespace branches;
  const std::int32_t e = static_cast<std::int32_t>(std::lround(ebron(br, ss)));
  const double v = vbranch(ss, br);
  const std::int32_t n = count_alternation(temp1::icnt(br), e);
  if (n == 5 || n >= 10) {
    if (n >= 10) temp1::consid(br) = false;
    wakro::StackText<64> head;
    wakro::StackText<80> what;
    wakro::StackText<40> when;
    wakro::FieldRoom room;
    wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::first_of(3),
                  head << "Arrester in branch " << br << " of subsystem ");
    wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::kMiddleLine,
                  what << ss
                       << (n == 5 ? " had excessive switching in one time step "
                                  : " reached maximum number of switching in one time step "));
    wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::kLastLine, at_time(when, room));
  }
  const wakro::ArresterTable a{br, ss};
  const std::int32_t segs = a.segments();
  const std::int32_t p = a.index();
  if (segs < 1 || p < 0 ||
      !wakro::record_fits(p + std::int64_t{1}, 3 * std::int64_t{segs}, e_s2::stor.extent(1)))
    bad_record(ss, br, "Arrester table");
  // The new segment, never beyond the last one of the table.
  std::int32_t g = static_cast<std::int32_t>(std::lround(e + swlevl(br, ss)));
  if (std::abs(g) > segs - 1) g = g < 0 ? -(segs - 1) : segs - 1;
  const std::int32_t k = std::abs(g);
  geqon(br, ss) = a.conductance(k);
  ebron(br, ss) = v < 0.0 ? a.emf(k) : -a.emf(k);
  wakro::turnon_switch(ss, br, wakro::switch_mode::arrester, g);
}

void segment_step(std::int32_t ss, std::int32_t br) {
  const std::int64_t wide_r = -std::int64_t{branches::thisbr(br, ss)};
  if (!wakro::record_fits(wide_r, 4, rt_config::rtci.extent(1)))
    bad_record(ss, br, "Segment record");
  const auto r = static_cast<std::int32_t>(wide_r);
  const wakro::SegmentedRecord rec{r};
  const std::int32_t d = rec.step();
  if (count_alternation(temp1::icnt(br), d) >= 10) temp1::consid(br) = false;
  const std::int32_t s = rec.segments();
  const std::int32_t c = rec.companion();
  const std::int32_t g = rec.segment() + d;
  if (s < 1 ||
      !wakro::record_fits(rec.base(), 3 * std::int64_t{s} + 1, rt_config::rtcf.extent(1)) ||
      std::abs(g) > s - 1 || c < 0 || c > int2::insb(ss))
    bad_record(ss, br, "Segment record");
  if (g == 0) {
    branches::geq(br, ss) = 0.0;
  } else {
    const double l = rec.inductance(std::abs(g));
    if (!(l > 0.0)) bad_record(ss, br, "Segment inductance");
    const double companion = c > 0 ? branches::geq(c, ss) : 0.0;
    branches::geq(br, ss) = wakro::inductive_conductance(l, e_s1::delt) - companion;
  }
  rec.segment() = g;
  // The instant in steps (step number plus the fraction solved), the scale in
  // which the crossing test compares it.
  const double step_start = (ctrl::iii - 1) * e_s1::delt;
  rec.last_change() = ctrl::iii + (int1::solution_time - step_start) / e_s1::delt;
  setmxinv(ss, branches::ief(br, ss), branches::iet(br, ss));
}

void pe_switch_step(std::int32_t ss, std::int32_t br, const wakro::PeSwitchRecord& rec) {
  if (--temp1::icnt(br) < 1) {
    temp1::consid(br) = false;
    wakro::StackText<64> head;
    wakro::StackText<80> what;
    wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::first_of(2),
                  head << "Power Electronic Switch in branch " << br << " of subsystem ");
    wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::kLastLine,
                  what << ss << " reached maximum number of switching in one time step.");
  }
  if (branches::openbr(br, ss)) {
    rec.last_turnon() = int1::solution_time;
    wakro_turnon(ss, br, wakro::switch_mode::current_falling, rec.level_after_turnon());
  } else {
    rec.last_turnoff() = int1::solution_time;
    const std::int32_t mode = rec.type() == wakro::pe_switch::diode
                                  ? wakro::switch_mode::voltage_rising
                                  : wakro::switch_mode::plain;
    wakro_turnoff(ss, br, mode, rec.level_after_turnoff());
  }
}

}  // namespace

void switchbr(std::int32_t ss, double frac) {
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
    const std::int32_t br = branches::brnsw(k, ss);
    // Step 1: not at this instant.
    if (frac < int1::xstor(br, ss) || !temp1::consid(br)) {
      int1::xstor(br, ss) = wakro::kNoCrossing;
      continue;
    }
    // Step 2: its mode and record.
    const std::int32_t m = std::abs(int1::iorv(br, ss));
    const std::int32_t t = branches::thisbr(br, ss);
    const std::int32_t c = t >= 1 ? storage::stori(t) : 0;
    storage::this_ = t;
    // Step 3: operate it by its kind.
    if (m == wakro::switch_mode::arrester) {
      arrester_step(ss, br);
    } else if (m == wakro::switch_mode::segmented) {
      segment_step(ss, br);
    } else if (wakro::is_pe_switch_code(c)) {
      pe_switch_step(ss, br, wakro::PeSwitchRecord{t});
    } else if (branches::openbr(br, ss)) {
      wakro_turnon(ss, br, wakro::switch_mode::plain, 0.0);
    } else {
      wakro_turnoff(ss, br, wakro::switch_mode::plain, 0.0);
    }
  }
}
