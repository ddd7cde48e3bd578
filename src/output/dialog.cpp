// dialog and wakro_checkmapname: the console start-up dialogue (see dialog.h).
//
// Each question is a loop: ask, read, accept or fail. A failure either asks the
// same question again or, at the third failure, sends the dialogue back to its
// first question with the defaults (one_pass returns false). Failures only
// grow, and the fourth ends the run, so the dialogue cannot go round for ever.
#include "output/dialog.h"

#include <cerrno>
#include <iostream>
#include <string>
#include <string_view>

#include "diag/console_input.h"
#include "diag/listout.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "files/listread.h"
#include "files/textfile.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/misses.h"
#include "model/outppp.h"
#include "model/pmr_consolidate.h"
#include "model/quolbv3.h"
#include "model/run_defaults.h"
#include "model/snpdat.h"
#include "output/check_snap.h"
#include "output/messages.h"

namespace wakro {
namespace {

constexpr std::string_view kTag = "DIALOG      ";
constexpr std::size_t kNameWidth = 34;

std::istream* g_in = nullptr;

using Name = FixedText<34>;

// The next answer line; the end of the answers ends the run, and so does a
// stop signal while the dialogue waits for an answer.
std::string next_line() {
  std::string line;
  bool ended = false;
  if (g_in != nullptr) {
    ended = !std::getline(*g_in, line);
  } else {
    const ConsoleRead r = read_console_line(line);
    if (r == ConsoleRead::stopped) stop_on_signal("an answer of the start-up dialogue");
    ended = r == ConsoleRead::end;
  }
  if (ended) {
    ListLine() << "End of the console input: the start-up dialogue has no answer to read.";
    wakro_quit(kTag, 0);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// An integer from the first six columns; blanks are ignored and a blank field is 0.
bool read_int(std::int32_t& value) {
  const std::string line = next_line();
  const std::string_view field = std::string_view(line).substr(0, std::min<std::size_t>(6, line.size()));
  std::int32_t v = 0;
  bool negative = false, sign_allowed = true;
  for (char c : field) {
    if (c == ' ') continue;
    if ((c == '-' || c == '+') && sign_allowed) {
      negative = c == '-';
    } else if (c >= '0' && c <= '9') {
      v = v * 10 + (c - '0');
    } else {
      return false;
    }
    sign_allowed = false;
  }
  value = negative ? -v : v;
  return true;
}

// A name from the first 34 columns; a longer one would open a cut name, and
// one holding a NUL byte the file named by its part before the NUL.
bool read_name(Name& name) {
  const std::string line = next_line();
  const std::string_view text = trim_right(line);
  if (const std::string refusal = nul_in_name(text); !refusal.empty()) {
    ListLine() << refusal;
    return false;
  }
  if (text.size() > kNameWidth) {
    ListLine() << "A name is at most 34 characters long: " << text;
    return false;
  }
  name = text;
  return true;
}

// A real in free form; blank lines are passed over.
bool read_real(double& value) {
  for (;;) {
    const std::string line = next_line();
    const ReadStatus st = list_read(line, {value});
    if (st == ReadStatus::ok) return true;
    if (st == ReadStatus::error) return false;
  }
}

// Counts a failed answer; true when the dialogue is to start again.
bool failed() {
  errhan();
  if (misses::imis != 3) return false;
  outmsg(output::message::kLastChance);
  return true;
}

// Why the map file cannot be read ("" when it can): "is a folder", "is not a
// regular file" (a device, a pipe), or the system's reason.
std::string why_unreadable(const Name& name) {
  const std::string path(name.trimmed());
  if (const std::string_view kind = not_a_file(path); !kind.empty()) return std::string(kind);
  return wakro::why_unreadable(path);
}

void set_defaults() {
  wakro::apply_run_defaults();
  fnames::snam = wakro::kRunDefaults.console_snam;
  quolbv3::gsx.release();
}

// Question 2: snapshots to take.
bool ask_snapshots() {
  std::int32_t kind = 0;
  for (;;) {
    outmsg(output::message::kAskSnapshotKind);
    if (read_int(kind)) break;
    if (failed()) return false;
  }
  if (kind == 0) return true;
  outppp::snpfil = 1;
  for (;;) {
    outmsg(output::message::kAskFirstSnapshotTime);
    if (!read_real(snpdat::snpinc)) {
      if (failed()) return false;
      continue;
    }
    const bool valid = snpdat::snpinc > 0.0;
    // The finish time is not known yet (the map file, a resumed run's answer
    // and the case reader settle it later): the promised snapshot is marked
    // for the run's last step rather than tied to the default finish time.
    snpdat::at_run_end = !valid;
    if (valid) {
      snpdat::tsnap = snpdat::snpinc;
    } else {
      ListLine() << "Warning: Invalid snap time.";
      ListLine() << "Snap will be taken at the end of the run";
      snpdat::tsnap = e_s1::fintim;
    }
    if (kind == -1)
      snpdat::newsnp = 0;
    else if (kind == -2)
      snpdat::newsnp = 1;
    else
      snpdat::snpinc = 1.0e6;
    // No interval of zero or less: the snapshot is taken once.
    if (!valid) snpdat::snpinc = 1.0e6;
    outmsg(output::message::kAskEndSnapshotFile);
    Name name;
    if (read_name(name) && name[0] != ' ') {
      fnames::snam = name;
      return true;
    }
    if (failed()) return false;
  }
}

// Question 3 of a snapshot start: output time from 0.0 or from the snapshot time.
bool ask_time_label() {
  for (;;) {
    outmsg(output::message::kAskRelabelTime);
    std::int32_t z = 0;
    if (read_int(z) && (z == 0 || z == 1)) {
      ctrl::zerot = z;
      return true;
    }
    if (failed()) return false;
  }
}

// Question 3 of a start from data files: the map file, which must exist.
bool ask_map_file() {
  ctrl::zerot = 0;
  for (;;) {
    outmsg(output::message::kAskMapFile);
    ListLine() << "(case_name.map)";
    Name name;
    if (!read_name(name)) {
      if (failed()) return false;
      continue;
    }
    fnames::inam = name;
    fnames::inam1 = name;
    fnames::dumlin = name.view();
    wakro_checkmapname();
    const std::string why = why_unreadable(fnames::inam);
    if (why.empty()) {
      fnames::mapname = fnames::inam;
      return true;
    }
    misses::imis += 1;
    // A missing file keeps its numbered text; anything else is said as it is.
    if (why == system_reason(ENOENT))
      outmsg(output::message::kInputFileMissing, 0, 0, 0, 0.0, 0.0, fnames::inam.view());
    else
      ListLine() << "WAKRO: The map file " << fnames::inam.trimmed() << " "
                 << (why.starts_with("is ") ? why : "cannot be read: " + why);
    if (misses::imis == 3) {
      outmsg(output::message::kLastChance);
      return false;
    }
    if (misses::imis >= 4) outmsg(diag::message::kAttemptsExhausted);  // ends the run
  }
}

// Question 4: the number of runs.
bool ask_runs() {
  for (;;) {
    ctrl::nrun = 1;
    outmsg(output::message::kAskRunCount);
    std::int32_t n = 0;
    if (read_int(n) && n >= 1 && n <= wakro::kMaxRuns) {
      ctrl::nrun = n;
      ctrl::multirun = n > 1;
      return true;
    }
    if (failed()) return false;
  }
}

// Question 5: the output file.
bool ask_output_file() {
  for (;;) {
    outmsg(output::message::kAskOutputWanted);
    std::int32_t answer = 0;
    if (read_int(answer) && answer == 0) {
      outppp::outfil = 0;
      return true;
    }
    if (answer == 1) {
      outppp::outfil = 1;
      outmsg(output::message::kAskOutputFile);
      Name name;
      if (read_name(name) && !name.is_blank()) {
        fnames::onam = name;
        return true;
      }
    }
    if (failed()) return false;
  }
}

// Question 6: the screen plot.
bool ask_screen_plot() {
  if (ctrl::nrun > 1) outmsg(output::message::kPlotLastRunOnly);
  for (;;) {
    outmsg(output::message::kAskScreenPlot);
    std::int32_t answer = 0;
    if (read_int(answer) && (answer == 0 || answer == 1)) {
      outppp::pplot = answer;
      return true;
    }
    if (failed()) return false;
  }
}

// Question 7 of a snapshot start: the snapshot to pick up and the finish time.
bool ask_snapshot_start() {
  for (;;) {
    outmsg(output::message::kAskSnapshotFile);
    Name name;
    if (read_name(name) && name[0] != ' ') {
      fnames::inam = name;
      break;
    }
    if (failed()) return false;
  }
  std::int32_t ok = 0;
  double start = 0.0;
  check_snap(ok, start);
  for (;;) {
    outmsg(output::message::kAskFinishTime, 0, 0, 0, start);
    ListLine() << "How long do you want to run the case?";
    double finish = e_s1::fintim;
    if (read_real(finish) && finish > e_s1::delt) {
      e_s1::fintim = finish;
      return true;
    }
    if (failed()) return false;
  }
}

// Question 8: the global substitution values.
bool ask_global_values() {
  outmsg(output::message::kAskSubstitutionCount);
  std::int32_t n = 0;
  if (!read_int(n) || n < 0) {
    if (failed()) return false;
    outmsg(output::message::kAskSubstitutionValues);
    return true;
  }
  if (n == 0) return true;
  quolbv3::gsx.release();
  quolbv3::gsx.allocate(n);
  outmsg(output::message::kAskSubstitutionValues);
  for (std::int32_t i = 1; i <= n; ++i) {
    double v = 0.0;
    if (!read_real(v)) return !failed();
    quolbv3::gsx(i) = v;
  }
  return true;
}

// One pass through the questions; false when the dialogue is to start again.
bool one_pass() {
  set_defaults();
  outmsg(output::message::kAskDataOrSnapshot);
  std::int32_t start = 0;
  if (!read_int(start)) {
    failed();
    return false;
  }
  const bool snapshot = start == 1;
  assorc::input = snapshot ? "SNAP" : "DATA";
  if (!ask_snapshots()) return false;
  if (!(snapshot ? ask_time_label() : ask_map_file())) return false;
  if (!ask_runs() || !ask_output_file() || !ask_screen_plot()) return false;
  if (snapshot && !ask_snapshot_start()) return false;
  return ask_global_values();
}

}  // namespace

void set_dialog_input(std::istream* in) { g_in = in; }

}  // namespace wakro

void dialog() {
  while (!wakro::one_pass()) {
  }
}

void wakro_checkmapname() {
  using namespace wakro;
  const std::string_view name = fnames::inam.view();
  for (std::size_t p = 0; p < 31; ++p) {
    const std::string_view ext = name.substr(p, 4);
    if (ext != ".dat" && ext != ".dta") continue;
    // Only an extension that ends the name: a folder such as "my.data/" stays.
    if (!trim_right(name.substr(p + 4)).empty()) continue;
    const std::string old(name.substr(0, p + 4));
    fnames::inam[p + 1] = 'm';
    fnames::inam[p + 2] = 'a';
    fnames::inam[p + 3] = 'p';
    ListLine() << "Warning: " << old << " has been interpreted as";
    ListLine() << "     >>> " << fnames::inam.view().substr(0, p + 4) << " <<<";
    return;
  }
}
