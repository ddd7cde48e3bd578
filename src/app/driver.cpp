// wakro: the run driver. Sets the process-wide defaults, runs the start-up
// dialogue, carries every run of the run set (read the case or snapshot,
// initialise the run, run loop), consolidates a parallel multiple run, writes
// the end report and releases the case-sized state.
#include "app/driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/args.h"
#include "app/runloop.h"
#include "app/seams.h"
#include "app/stoprun.h"
#include "diag/catalog.h"
#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/textutil.h"
#include "link/bindings.h"
#include "link/exchange.h"
#include "link/stop_signal.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/emtio.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/misses.h"
#include "model/multpl.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/pf_display.h"
#include "model/pmr_consolidate.h"
#include "model/quolbv3.h"
#include "model/snpdat.h"
#include "model/versin.h"
#include "multirun/run_end.h"
#include "output/record_bindings.h"

namespace {

// The numbered console texts (outmsg) of the run's start and end.
namespace message {
constexpr std::int32_t kMatrixSwitchings = 203;   // switchings of one subsystem's matrix
constexpr std::int32_t kBanner = 231;             // the version banner
constexpr std::int32_t kRunDate = 232;            // date of the run
constexpr std::int32_t kRunTime = 233;            // time of day of the run
constexpr std::int32_t kInputFile = 234;          // the input file
constexpr std::int32_t kMultipleRunOutput = 237;  // the multiple-run output file
constexpr std::int32_t kStartDate = 238;          // date the run started
constexpr std::int32_t kStartTime = 239;          // time the run started
constexpr std::int32_t kStopTime = 240;           // time the run stopped
constexpr std::int32_t kElapsedTime = 241;        // time elapsed
}  // namespace message

constexpr std::string_view kStars = "***************************************************";

// The process-wide defaults set once per call of the driver.
void set_process_defaults(std::int32_t clientId) {
  getbuildverstr(versin::vername);
  versin::version = 5.0;
  ctrl::lumbra_wakroid = clientId;
  fnames::dumlin.blank();
  fnames::iunit = 49;
  misses::imis = 0;
  e_s7::line = 0;
  e_s7ph::lineph = 0;
  e_s7mfd::linemfd = 0;
  e_s7eni::eni_server = 0;
  e_s7eni::eni_client = 0;
  e_s7::tstepmin = 1.0e99;
  pmr_consolidate::pmr_mrun_filename.blank();
  multpl::mrunfilename.blank();
  pmr_consolidate::pmr_mrun = 0;
  pmr_consolidate::pmr_mrun_done = 0;
  pmr_consolidate::num_entries = 0;
  pmr_consolidate::lpmr_extra_files = 0;
  pmr_consolidate::pmr_mrun_nv = 0;
  pmr_consolidate::pmr_mrun_nm = 0;
  pmr_consolidate::pmr_mrun_ndiv = 0;
  pmr_consolidate::excludelastrun = 0;
  wakro::multirun::runs_before_stop = 0;
  for (int k = 1; k <= 100; ++k) pmr_consolidate::file_list(k) = pmr_consolidate::FileEntry{};
  ctrl::firstrun = true;
}

// Number of scheduled snapshot files of the run; 0 when no positive interval
// is set (a zero interval would divide by zero).
std::int32_t scheduled_snapshots() {
  if (!(snpdat::snpinc > 0.0)) return 0;
  return wakro::round_to_int(static_cast<double>(ctrl::ndelt) * e_s1::delt / snpdat::snpinc);
}

// Asks the design environment whether the results of all ranks are complete
// (21, answered by 32 and 1) and merges them. Any other answer, or no answer,
// skips the consolidation. Only a set that ends as planned asks: a last rank
// stopped from outside (a stop signal, the design environment's abort), at
// whatever point of its runs, asks nothing. A stop signal ends every wait at
// once, so no answer could be waited for, and a design environment that
// aborted the set has ended it; the rank files stay, each closed with the
// statistics of its own rows.
void consolidate_parallel_runs(std::int32_t abort) {
  using namespace pmr_consolidate;
  if (!(ctrl::rank == pmr_count && ctrl::rank >= 2) || exQuolb == nullptr) return;
  if (abort != 0 || wakro::stop_signal() != 0 || wakro::multirun::runs_before_stop != 0) return;
  const std::int32_t link = 0;
  // A stop signal while the answer is awaited ends the wait (exrecv gives
  // false) and with it the consolidation.
  const wakro::WaitsEndOnStop answer_awaited;
  for (;;) {
    wakro::close_open_model_message();
    exputi(link, 21);
    exsend(link);
    if (!exrecv(link, true)) return;
    std::int32_t tag = 0;
    std::int32_t value = -1;
    exgeti(link, tag);
    if (tag != 32) return;
    exgeti(link, value);
    if (value == 1) break;
    if (exQuolb->Broken()) return;
  }
  wakro::Seams& s = wakro::seams();
  if (pmr_mrun != 0) {
    s.pmr_mrun_consolidate();
    s.mrunxtrafiles_statistics(1, pmr_mrun_nv, pmr_mrun_nm, 1, pmr_mrun_ndiv, 0,
                               pmr_mrun_filename.view());
  }
  if (lpmr_extra_files != 0) {
    const int n = std::clamp(num_entries, 0, 100);
    for (int k = 1; k <= n; ++k) {
      const FileEntry& e = file_list(k);
      s.pmr_mrun_extrafiles_consolidate(e.unit, e.name);
      s.mrunxtrafiles_statistics(1, 0, e.nvalues, e.unit, 10, -1, e.name.view());
    }
  }
}

// One run of the run set; returns the abort flag of the run loop.
std::int32_t one_run(bool& version5, bool& gui) {
  wakro::Seams& s = wakro::seams();
  if (ctrl::mmm > 1) s.ofnextrun(ctrl::mmm);
  wakro::multirun::run_cut_short = false;
  snpdat::iiisnp = 0;
  misses::imis = 0;
  e_s5::jset = 0;
  fnames::iunit = 49;
  if (ctrl::multirun)
    wakro::write_layout(wakro::console(), "('=> WAKRO Run # ',I5,' of ',I5,' Started...')",
                        {ctrl::mmm, ctrl::nrun});
  if (assorc::input.view() == "DATA")
    s.readdata();
  else
    s.readsnap();
  wakro_initcom();
  if (ctrl::firstrun) {
    if (outppp::outfil != 0 && outppp::jplt < 1) outppp::outfil = 0;
    wakro::settle_output_type();
    // The files named once the case is read are locked before any is written.
    s.lock_case_files();
    if (snpdat::newsnp != 0) {
      const std::int32_t n = scheduled_snapshots();
      if (n > 10) outmsg(ctrl::multirun ? 229 : 230, n);
    }
  }
  std::int32_t abort = 0;
  // A stop of the whole set lowers the run count to the present run, and the
  // multiple-run component may raise it during run 1, before the stop: a run
  // cut short is named with the count of the set as it stood before the stop.
  const std::int32_t runs_before = ctrl::nrun;
  wakro_runloop(version5, gui, abort);
  // The record file is written whole at the end of each run: a write that fails
  // stops here, before the end report could name the file as written.
  wakro::flush_record_file();
  if (ctrl::multirun && !gui && wakro::multirun::run_cut_short)
    wakro::write_layout(wakro::console(),
                        "('=> Run # ',I5,' of ',I5,' was cut short and is not counted as completed')",
                        {ctrl::mmm, std::max({runs_before, ctrl::nrun, wakro::multirun::runs_before_stop})});
  else if (ctrl::multirun && !gui)
    wakro::write_layout(wakro::console(), "('=> Completed run # ',I5,' of ',I5 )",
                        {ctrl::mmm, ctrl::nrun});
  if (ctrl::lastrun) {
    consolidate_parallel_runs(abort);
    const std::int32_t n = int2::ntriang.allocated() ? std::min(int2::nmat, int2::ntriang.extent(1)) : 0;
    for (std::int32_t ss = 1; ss <= n; ++ss) outmsg(message::kMatrixSwitchings, ss, int2::ntriang(ss));
  }
  return abort;
}

// Requests of the start-up dialogue and the command line that this program
// cannot serve are said once, before the first run, instead of being
// dropped in silence. An output record file that cannot be written falls back
// to the legacy channel files, so the run's output is not lost.
void report_unavailable_requests() {
  using wakro::ListLine;
  if (outppp::snpfil != 0 && !wakro::snapshot_writer_registered())
    ListLine() << "WARNING: No snapshot writer is plugged in: no snapshot file will be written.";
  if (fnames::iouttype == 1 && !wakro::record_file_available()) {
    fnames::iouttype = 0;
    if (outppp::outfil != 0)
      ListLine() << "WARNING: The output record file (-outtype bin) is not available yet:"
                    " the legacy channel files are written instead.";
  }
}

// The notice of a set the design environment ended early. Its result files
// are closed with the statistics of the runs finished (mrun_end_of_set), so the
// notice no longer says that they were left open.
void write_abort_notice() {
  using wakro::ListLine;
  ListLine() << "";
  ListLine() << kStars;
  ListLine() << "WARNING: Quolb aborted WAKRO on run" << ctrl::mmm << " of" << ctrl::nrun;
  ListLine() << kStars;
  ListLine() << "";
}

// The end report's line for a run that a stop signal ended.
void write_signal_stop() {
  const wakro::SignalStop& stop = wakro::signal_stop;
  char line[160];
  std::snprintf(line, sizeof line, "Stopped by %s: the run ended after step %d, at time %.9g s.",
                wakro::stop_signal_name(stop.signal),
                static_cast<int>(stop.step), stop.time);
  wakro::ListLine() << line;
}

// True when the multiple-run output file was opened by this process: it has a
// name and is there.
bool multiple_run_file_written() {
  const std::string_view name = multpl::mrunfilename.trimmed();
  struct stat st {};
  return !name.empty() && ::stat(std::string(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void now(DateTime8& t) {
  if (wakro::date_and_time != nullptr)
    wakro::date_and_time(t);
  else
    wakro::system_date_and_time(t);
}

}  // namespace

void wakro_driver(bool& version5, bool& gui, wakro::FixedText<128>& /*host*/, std::int32_t& /*port*/,
           std::int32_t& clientId) {
  wakro::Seams& s = wakro::seams();
  DateTime8 start{};

  // 1-3. Defaults, tandem lines, the start-up dialogue and the start banner.
  set_process_defaults(clientId);
  s.init_tandem_lines();
  if (!gui) {
    quolbv3::guisoc = 0;
    hello(start, gui);
    s.dialog();
  } else {
    quolbv3::guisoc = 1;
    // A stop signal ends the waits of the start-up dialogue at once.
    const wakro::WaitsEndOnStop during_the_dialogue;
    s.dialogv3();
    hello(start, gui);
  }
  // The output name given on the command line names the output files.
  if (!wakro::cArguments.out.empty()) fnames::onam = wakro::cArguments.out;
  // The files named now are locked before anything is written, for the whole
  // run set: a second run that would write one of them stops here.
  s.lock_output_names();
  struct NamesReleased {
    ~NamesReleased() { wakro::seams().release_output_names(); }
  } at_the_end;

  // 4. Console banner, and what of the request cannot be served.
  wakro::ListLine() << "****";
  wakro::ListLine() << "* Wakro for Quolb v5: " << versin::vername;
  wakro::ListLine() << "****";
  report_unavailable_requests();

  // 5. The run set.
  std::int32_t abort = 0;
  ctrl::mmm = 1;
  while (ctrl::mmm <= ctrl::nrun) {
    abort = one_run(version5, gui);
    if (abort != 0 || wakro::stop_signal() != 0) break;
    ++ctrl::mmm;
  }
  // A set stopped on a run's last step or between two runs never reached the
  // last run, which writes the statistics of the result files.
  s.mrun_end_of_set();

  // 6-7. Abort notice, end report and release.
  if (abort != 0 && ctrl::multirun) write_abort_notice();
  goodby(version5, start);
  std::int32_t status = 0;
  ndde::deallocate_nd();
  pf_display::deallocate_pf();
  e_s0::deallocate_ss(status);
}

void hello(DateTime8& start, bool gui) {
  emtio::iin = 5;
  emtio::iout = 6;
  now(start);
  const std::int32_t year = start[0], month = start[1], day = start[2];
  const std::int32_t hour = start[4], minute = start[5], second = start[6];
  if (!gui) {
    outmsg(message::kBanner, 0, 0, 0, versin::version);
    outmsg(message::kRunDate, year, month, day);
    outmsg(message::kRunTime, hour, minute, second);
  } else {
    outxmsg(1, 2, versin::version);
    outxmsg(5, 83, day, month, year);
    outxmsg(5, 84, hour, minute, second);
  }
}

void goodby(bool version5, const DateTime8& start) {
  wakro::Seams& s = wakro::seams();
  fnames::dumlin.blank();
  std::int32_t cpuH = 0, cpuM = 0, cpuS = 0, cpuMs = 0;
  cputime(cpuH, cpuM, cpuS, cpuMs);
  DateTime8 stop{};
  now(stop);
  const auto elapsed = wakro::elapsed_time(start, stop);

  outmsg(message::kInputFile, 0, 0, 0, 0.0, 0.0, fnames::inam.view());
  // Here the end report decides whether a stop signal ended the set: one that
  // came after the last run's steps stopped the set too (at the end of that
  // run). The console is written out first, so that the report has begun on
  // it when the decision is made: a signal that comes before its first line is
  // written counts, and only one that comes after it changes nothing.
  wakro::console().flush();
  if (wakro::signal_stop.signal == 0) wakro::signal_stop.signal = wakro::stop_signal();
  if (wakro::signal_stop.signal != 0) write_signal_stop();

  // Close the legacy output files of every run that wrote them.
  if (outppp::outfil != 0) {
    const std::int32_t n = std::min(ctrl::mmm, ctrl::nrun);
    ctrl::lastrun = false;
    for (ctrl::mmm = 1; ctrl::mmm <= n; ++ctrl::mmm) {
      if (ctrl::mmm == ctrl::nrun) ctrl::lastrun = true;
      if ((ctrl::lastrun || outppp::mplt > 0) && fnames::iouttype == 0) s.wakro_outputfile(0);
    }
  }
  // The output record file, named in full.
  if (const std::string record = wakro::record_file_path(); !record.empty())
    wakro::ListLine() << "       Output file: " + record;
  s.snapfile(0);
  // The multiple-run output file is named whenever this process wrote it, a
  // set stopped in its first run included.
  if (multiple_run_file_written())
    outmsg(message::kMultipleRunOutput, 0, 0, 0, 0.0, 0.0, fnames::mnam.view());

  if (!version5) {
    outmsg(message::kStartDate, start[0], start[1], start[2]);
    outmsg(message::kStartTime, start[4], start[5], start[6]);
    outmsg(message::kStopTime, stop[4], stop[5], stop[6]);
    outmsg(message::kElapsedTime, elapsed[0], elapsed[1], elapsed[2], static_cast<double>(elapsed[3]));
  } else {
    outxmsg(5, 85, stop[4], stop[5], stop[6]);
    outxmsg(5, 87, elapsed[0], elapsed[1], elapsed[2]);
    outxmsg(5, 86, cpuH, cpuM, cpuS, cpuMs);
  }
}

std::int32_t wakro_run() { return ctrl::mmm; }
std::int32_t wakro_nrn() { return ctrl::nrun; }
std::int32_t wakro_rank() { return ctrl::rank; }
void aflush() {}

void getoutputname(char* name, std::int32_t n) {
  if (name == nullptr || n < 1) return;
  wakro::assign_padded(name, static_cast<std::size_t>(n), fnames::onam.view());
}

void setoutputtype(const std::int32_t& type) { fnames::iouttype = type; }

namespace wakro {

void system_date_and_time(DateTime8& t) {
  const auto clock = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(clock);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&secs, &local);
  t = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
       static_cast<std::int32_t>(local.tm_gmtoff / 60), local.tm_hour, local.tm_min, local.tm_sec,
       static_cast<std::int32_t>(ms)};
}

std::array<std::int32_t, 4> elapsed_time(const DateTime8& start, const DateTime8& now) {
  std::int32_t ms = now[7] - start[7];
  std::int32_t s = now[6] - start[6];
  std::int32_t m = now[5] - start[5];
  std::int32_t h = now[4] - start[4];
  if (ms < 0) {
    ms += 1000;
    --s;
  }
  if (s < 0) {
    s += 60;
    --m;
  }
  if (m < 0) {
    m += 60;
    --h;
  }
  if (h < 0) h += 24;
  return {h, m, s, ms};
}

}  // namespace wakro
