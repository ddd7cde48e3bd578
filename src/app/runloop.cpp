// wakro_runloop and wakro_chkstep: one run of the case.
//
// A run from data files runs the steps 0 .. ndelt (the first at time zero); a
// run from a snapshot of S steps runs S + 1 .. S + 1 + ndelt. A stop request
// moves run_loop::lasttsn to the next step, which then runs as the last one.
// A snapshot promised for the end of the run (snpdat::at_run_end) is written
// at the step that is run_loop::lasttsn when it runs: at the finish time the
// run has, however it was settled or moved.
// The step number is advanced in 64 bits, so a run of 2147483647 steps ends
// without the counter wrapping round.
//
// With the link, the step allowance paces the run: the command handler is
// polled at the start of a step and blocks while no steps are granted. A link
// that breaks ends the run as a stop command would, so no wait spins on a dead
// socket. A stop signal (SIGINT, SIGTERM, SIGHUP, ...) does the same at the
// start of the next step; the step at which every run ends is kept for the end
// report of a set that a stop signal ends.
#include "app/runloop.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/driver.h"
#include "app/finite_check.h"
#include "app/seams.h"
#include "app/stoprun.h"
#include "app/timestep.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "link/bindings.h"
#include "link/exchange.h"
#include "link/process.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/emtio.h"
#include "model/fixedtext.h"
#include "model/fnames.h"
#include "model/harmimp.h"
#include "model/int1.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/run_loop.h"
#include "model/snpdat.h"

namespace {

constexpr std::int32_t kLink = 0;

bool link_broken() { return exQuolb != nullptr && exQuolb->Broken(); }

// The command handler; a broken link reads as the stop command.
std::int32_t poll_commands(std::int32_t& allowance) {
  std::int32_t answer = 0;
  wakro::seams().getmsgv3(allowance, answer);
  if (answer == 0 && link_broken()) answer = 1;
  return answer;
}

// True when the last run writes its scheduled snapshot at this step: within
// half a step of its time, or at the run's last step when it was promised for
// the end of the run (a stop request never moves the last step to this step or
// an earlier one, so the step found here stays the last).
bool snapshot_due() {
  if (snpdat::at_run_end) return ctrl::iii == run_loop::lasttsn;
  return std::fabs(snpdat::tsnap - e_s1::time) < 0.5001 * e_s1::delt;
}

// Messages 2 (run start), 19 (engine-to-engine line names) and 20 (output
// interval) at the start of a run with the link.
void send_run_start(std::int32_t points) {
  wakro::Seams& s = wakro::seams();
  wakro::FixedText<16> host;
  getmyhostname(host.c, 16);
  wakro::close_open_model_message();
  exputi(kLink, 2);
  exputi(kLink, outppp::jplt);
  exputi(kLink, points);
  exputi(kLink, ctrl::nrun);
  exputi(kLink, ctrl::mmm);
  exputi(kLink, ctrl::lumbra_wakroid);
  exputs(kLink, host.trimmed());
  exsend(kLink);
  s.sendeninames();
  if (ctrl::firstrun) s.init_monitorcode();
  wakro::close_open_model_message();
  exputi(kLink, 20);
  exputr(kLink, e_s1::print * 1.0e6);
  exsend(kLink);
}

// After the last step: the final data and the design environment's decision.
void end_of_run(bool gui, std::int32_t& abort) {
  wakro::Seams& s = wakro::seams();
  if (gui) {
    s.send_pfdata();
    s.outqbv3();
    s.send_endofrunmsgs();
    // A stop signal ends the wait for the answer: no other run follows.
    std::int32_t answer = 0;
    do {
      std::int32_t allowance = 0;
      answer = poll_commands(allowance);
    } while (answer == 0 && wakro::stop_signal() == 0);
    if (answer == 1) {
      abort = 1;
      wakro_stoprun1(1);
    } else if (answer == 2) {
      std::int32_t more = 0;
      exgeti(kLink, more);
      if (ctrl::mrunctrl != 0 && more == 1) ++ctrl::nrun;
    }
  }
  if (outppp::outfil != 0 && fnames::iunitout != 0 && fnames::iouttype == 0) s.wakro_outputfile(2);
}

}  // namespace

namespace wakro {

std::int32_t steps_per_output(double print, double delt) {
  if (!(delt > 0.0)) return 1;
  const double n = print / delt;
  if (!(n > 0.0)) return 0;
  return round_to_int(std::min(n, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace wakro

void wakro_chkstep(double& print, double& savedPrint, std::int32_t& counter,
                   std::int32_t& stepsPerOutput, std::int32_t& poll, std::int32_t& output) {
  if (print != savedPrint) {
    stepsPerOutput = wakro::steps_per_output(print, e_s1::delt);
    savedPrint = print;
  }
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
  if (counter < stepsPerOutput) {
    poll = 0;
    output = 0;
    return;
  }
  counter = 0;
  output = 1;
  poll = (quolbv3::guisoc != 0 && exdataw(kLink)) ? 1 : 0;
}

void wakro_runloop(bool& /*version5*/, bool& gui, std::int32_t& abort) {
  wakro::Seams& s = wakro::seams();
  const bool fromData = assorc::input.view() == "DATA";

  // Start of the run.
  e_s1::firststep = true;
  abort = 0;
  std::int32_t stepsPerOutput = wakro::steps_per_output(e_s1::print, e_s1::delt);
  double savedPrint = e_s1::print;
  std::int32_t counter = 0;
  if (fromData) {
    counter = stepsPerOutput - 1;
    e_s1::timezero = true;
    s.set_klu();
  } else {
    e_s1::timezero = false;
  }
  ctrl::iii = snpdat::iiisnp >= 1 ? snpdat::iiisnp + 1 : 0;
  run_loop::lasttsn = static_cast<std::int32_t>(
      std::min<std::int64_t>(std::int64_t{ctrl::iii} + ctrl::ndelt, std::numeric_limits<std::int32_t>::max()));
  // A run of one step (a short resume) takes its first step as its last: the
  // recorders that write at the last step write there.
  e_s1::laststep = ctrl::iii == run_loop::lasttsn;
  const std::int32_t points = std::max(ctrl::ndelt, 0) / std::max(stepsPerOutput, 1);
  std::int32_t allowance = 0;
  if (!gui) {
    allowance = std::min(ctrl::ndelt, std::numeric_limits<std::int32_t>::max() - 1) + 1;
  } else {
    send_run_start(points);
  }
  // The pointer sets of a run from a snapshot are recorded at the end of its
  // first step, as for a start from data: the values the snapshot restores
  // stand at the stores' full dimensions, not where a completed pass leaves
  // the pointers.

  // The steps.
  bool running = !wakro::run_without_steps;
  while (running) {
    std::int32_t poll = 0;
    std::int32_t output = 0;
    wakro_chkstep(e_s1::print, savedPrint, counter, stepsPerOutput, poll, output);
    e_s4::update_ag = 0;
    if (gui) {
      s.reset_button();
      if (poll != 0 || e_s1::firststep || allowance <= 0) {
        if (poll_commands(allowance) == 1) {
          abort = 1;
          wakro_stoprun1(1);
        }
        if (e_s1::firststep && !e_s1::timezero && outppp::jplt == outppp::jplt2 && ctrl::not2trace == 0) {
          --ctrl::iii;
          s.outqbv3();
          ++ctrl::iii;
        }
      }
      if (e_s1::firststep || e_s1::laststep) e_s4::update_ag = 1;
      if (ctrl::not2trace != 0) e_s4::update_ag = 0;
    }
    // A stop signal ends the run as the design environment's stop does: this
    // step and the next one run, the next as the last.
    if (wakro::stop_signal() != 0 && wakro::signal_stop.signal == 0) {
      wakro::signal_stop.signal = wakro::stop_signal();
      wakro_stoprun1(1);
    }
    if (e_s1::timezero) {
      wakro_resetdsd();
      harmimp::harm_num = 0;
      s.dsdyn_begin();
      wakro_resetdso();
      s.dsout_begin();
      wakro_chknrtc();
    }
    e_s1::delt = ctrl::ddelt;
    e_s1::time = ctrl::ddelt * ctrl::iii;
    int1::solution_time = ctrl::ddelt * (static_cast<double>(ctrl::iii) - 1.0);

    wakro_timestep();

    if (options::prndim && e_s1::firststep) s.writedim(emtio::iout);
    if (gui && ctrl::not2trace != 0) s.qbstep(e_s1::firststep ? 0 : 1);
    if (gui && ctrl::not2trace == 0 && (e_s1::firststep || output != 0)) {
      s.qbstep(0);
      s.outqbv3();
    }
    if (output != 0) s.wakro_percentcomplete(gui);
    if (ctrl::lastrun) {
      if (outppp::snpfil != 0 && snapshot_due()) s.writesnap();
      if (output != 0 && !gui && outppp::pplot != 0.0) s.wakro_screenplot();
    }
    // A solution or channel gone non-finite ends the run here, before the
    // step's values are written.
    if (output != 0) wakro::stop_if_not_finite();
    if (output != 0 && outppp::outfil != 0) {
      if (fnames::iouttype != 0)
        s.wakro_outputfilebin(3);
      else if (fnames::iunitout != 0)
        s.wakro_outputfile(3);
    }

    const std::int64_t next = std::int64_t{ctrl::iii} + 1;
    allowance = std::max(allowance - 1, 0);
    e_s1::timezero = false;
    e_s1::firststep = false;
    if (next > run_loop::lasttsn) {
      running = false;
    } else {
      ctrl::iii = static_cast<std::int32_t>(next);
      if (next == run_loop::lasttsn) e_s1::laststep = true;
    }
  }
  // Where the run ended, for the end report of a set that a stop signal ends
  // (also one that comes after this run's last step).
  if (wakro::stop_signal() != 0 && wakro::signal_stop.signal == 0) wakro::signal_stop.signal = wakro::stop_signal();
  wakro::signal_stop.step = ctrl::iii;
  wakro::signal_stop.time = e_s1::time;
  if (ctrl::iii < std::numeric_limits<std::int32_t>::max() && !wakro::run_without_steps) ++ctrl::iii;

  end_of_run(gui, abort);
}
