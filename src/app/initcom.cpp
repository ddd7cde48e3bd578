// wakro_initcom: the initialisation of each run — run flags, the number of
// steps, the per-subsystem solution counters and the custom-harmonic records.
//
// The number of steps is checked on every run (a later run may change the
// finish time): a time step of 0 or below, or a run of more than 2147483647
// steps, ends the run before its first step. A run from a snapshot that lies at
// or beyond the finish time runs no step and says so.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/driver.h"
#include "app/seams.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "model/clvi.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/harm_cus_com.h"
#include "model/int2.h"
#include "model/outppp.h"
#include "model/snpdat.h"
#include "model/temp1.h"
#include "network/matrix.h"

namespace {

constexpr double kMaxSteps = 2147483647.0;

[[noreturn]] void fatal_two_lines(std::string_view first, std::string_view last) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2), first);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine, last);
  wakro_quit("INITCOM     ", 0);
}

[[noreturn]] void run_too_long() {
  fatal_two_lines("Duration of run is too long for the selected time step. ",
                  "Increase the solution time step or reduce the duration of run. ");
}

// The number of steps of the run.
void count_steps() {
  if (!(e_s1::delt > 0.0) || !std::isfinite(e_s1::delt))
    fatal_two_lines("The solution time step is zero or negative. ",
                    "Set a positive solution time step. ");
  const double limit = e_s1::delt * kMaxSteps;
  wakro::run_without_steps = false;
  if (snpdat::iiisnp < 1) {
    if (!(e_s1::fintim <= limit)) run_too_long();
    ctrl::ndelt = wakro::round_to_int(e_s1::fintim / e_s1::delt);
    return;
  }
  if (ctrl::firstrun) e_s1::fintim += e_s1::delt * snpdat::iiisnp;
  if (!(e_s1::fintim <= limit)) run_too_long();
  const std::int64_t n =
      static_cast<std::int64_t>(wakro::round_to_int(e_s1::fintim / e_s1::delt)) - snpdat::iiisnp - 1;
  if (n < 0) {
    wakro_warn(0, 0, wakro::msg::kSingleLine, "The snapshot lies at or beyond the finish time: no step is run.");
    wakro::run_without_steps = true;
    ctrl::ndelt = 0;
    return;
  }
  ctrl::ndelt = static_cast<std::int32_t>(n);
}

// A snapshot the design environment asked for at the time step (time 0)
// before the case gave one (the dialogue runs before the case is read) goes
// to the run's first step: time zero plus one step from data, the snapshot's
// time plus one step on resume; a periodic one then follows every step.
void place_first_step_snapshot() {
  if (!snpdat::at_first_step) return;
  snpdat::tsnap = static_cast<double>(snpdat::iiisnp + 1) * e_s1::delt;
  if (!(snpdat::snpinc > 0.0)) snpdat::snpinc = e_s1::delt;
}

template <class A>
std::int32_t rows_of(const A& a, std::int32_t wanted) {
  return a.allocated() ? std::clamp(wanted, 0, a.extent(1)) : 0;
}

// The counters of each subsystem (bounded by the arrays they live in).
void reset_subsystems() {
  const std::int32_t nmat = rows_of(int2::ntriang, int2::nmat);
  for (std::int32_t s = 1; s <= nmat; ++s) {
    int2::ntriang(s) = 0;
    if (e_s1::timezero && temp1::stabck.allocated()) temp1::stabck(s) = true;
    // A run from a snapshot keeps the start row the snapshot holds: its
    // factors were made again from the restored matrices, and a factorisation
    // on its first step would solve that step as one after a change.
    const bool from_data = assorc::input.view() == "DATA";
    if (from_data) wakro::refactorise_from_first_row(s);
    // The chatter counters too: the snapshot restored them.
    const std::int32_t nodes = e_s0::mbus.allocated() && from_data ? rows_of(clvi::icntv, e_s0::mbus(s)) : 0;
    for (std::int32_t k = 1; k <= nodes; ++k) {
      clvi::icntv(k, s) = 0;
      clvi::nchat_rep(k, s) = true;
    }
    const std::int32_t branches = int2::insb.allocated() && from_data ? rows_of(clvi::icntbr, int2::insb(s)) : 0;
    for (std::int32_t k = 1; k <= branches; ++k) {
      clvi::icntbr(k, s) = 0;
      clvi::brchat_rep(k, s) = true;
    }
    if (ctrl::firstrun) {
      if (outppp::outfil != 0 && outppp::jplt < 1) outppp::outfil = 0;
      if (snpdat::newsnp != 0 && snpdat::snpinc > 0.0 &&
          wakro::round_to_int(static_cast<double>(ctrl::ndelt) * e_s1::delt / snpdat::snpinc) > 10)
        wakro::ListLine() << "Warning: Too many snapshots";
    }
  }
}

}  // namespace

void wakro_initcom() {
  fnames::iunitout = 0;
  wakro::seams().clear_button_list();
  ctrl::firstrun = ctrl::mmm == 1;
  ctrl::lastrun = ctrl::mmm == ctrl::nrun;
  snpdat::icntsp = 0;
  snpdat::icntsprt = 0;
  snpdat::rtsnap = 0;
  ctrl::ddelt = e_s1::delt;
  if (e_s1::print < e_s1::delt) e_s1::print = e_s1::delt;
  count_steps();
  place_first_step_snapshot();
  reset_subsystems();
  harm_cus_com1::comp_indx = 0;
  harm_cus_com1::cnodes = {};
  harm_cus_com1::cbranches = {};
  harm_cus_com::ctype = {};
}
