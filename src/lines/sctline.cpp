// sctline / sctline_init: the dimension pass over the line sections.
//
// Before any line array exists the dimension reader walks the case and hands
// each "TLINES:" / "GLOBAL_TLINES:" section here. sctline reads every record of
// the section, and of the line-constants file it names, exactly as dslint and
// the model readers will, stores none of the data, and counts: lines, modes,
// travelling-wave buffer slots, transformation terms, pole sums and ENI ends.
// The line entries of ndde::e_ndim are set to 0 by sctline_init and to the
// counts at the end of each call; the line group is allocated from them.
//
// Leaves: the counters of e_s7, e_s7ph, e_s7mfd, e_s7eni; e_s7::ntldtwarn (travel
// times shorter than one step) and e_s7::tldterr (some below 0.8 step), which the
// section reader turns into its time-step report; the line reader at the next
// section key (fnames::section).
//
// Errors stop the pass with a two-line message and wakro_quit("SCTLINE     ", 0).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "diag/message.h"
#include "diag/quit.h"
#include "diag/textutil.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "lines/line_records.h"
#include "lines/lines.h"
#include "model/dim.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/fnames.h"
#include "model/ndde.h"

namespace {

using namespace wakro::lines;
using wakro::ReadStatus;

constexpr std::string_view kTag = "SCTLINE     ";
constexpr double kLongTravelMs = 1000.0;  // travel times at least this long are warned about
constexpr double kLargeBuffer = 1.0e6;    // buffers longer than this many steps are warned about
constexpr std::int32_t kMaxGroups = 1000;  // delay groups of one FRE-PHASE line, at most

// Maxima of the pass (cleared by sctline_init: every pass reads every line).
std::int32_t ncmax = 0;     // largest conductor count of any record
std::int32_t npolemax = 0;  // largest pole count of a FRE-DEP fit
std::int32_t ncmfdmax = 0;  // largest conductor count of an MFDTD line
std::int32_t ncphmax = 0;     // largest conductor count of a FRE-PHASE line
std::int32_t npolephmax = 0;  // largest pole count in a FRE-PHASE line

// Sums of the FRE-PHASE tables of the pass.
std::int32_t tell1 = 0;  // propagation residues (group, conductor pair, pole)
std::int32_t tell2 = 0;  // characteristic-admittance residues
std::int32_t tell3 = 0;  // propagation states (pole x conductors)
std::int32_t tell4 = 0;  // constant propagation terms (conductors squared per group)
std::int32_t offs1 = 0;  // travelling-wave ring slots

// What the pass knows of the record being read, for its messages.
struct Record {
  std::string file;  // line-constants file name (blank until read)
  std::string name;  // line name of a "TLINE-INPUT-DATA" line (blank until read)
  LineOptions options;
};

// The file a message names: the line-constants file once the record has named
// it, else the file being read (the page data file that holds the section).
std::string file_read(const Record& r) {
  if (!r.file.empty()) return r.file;
  return wakro::unit_file_name(fnames::iunit);
}

[[noreturn]] void stop(std::string_view first, const std::string& second) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2), first);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine, second);
  wakro_quit(kTag, 0);
}

void check(ReadStatus st, const Record& r) {
  if (st == ReadStatus::ok) return;
  if (st == ReadStatus::error) {
    fnames::dumlin = getdum();
    stop("Transmission Line/Cable error: ", "Invalid data line in " + file_read(r));
  }
  stop("Transmission Line/Cable error: ", "End of file reached while reading data in " + file_read(r));
}

// Skips comment lines of the current unit before a record item.
void next_item() { rdcmnt(); }

std::string text_item(const Record& r) {
  next_item();
  std::string line;
  check(read_text(fnames::iunit, line), r);
  return line;
}

// Buffer slots of a travel time of s steps: the warning about a very large
// buffer, the refusal of a time no buffer could hold, the short-time counts.
std::int32_t slots_of_steps(double s, const Record& r, bool counts_short = true) {
  if (s > kLargeBuffer) {
    wakro_warn(0, 0, wakro::msg::first_of(3),
               "Very large travelling wave buffer requested by " + r.file);
    wakro_warn(0, 0, wakro::msg::kMiddleLine,
               ". This can lead to memory allocation problems and can be ");
    wakro_warn(0, 0, wakro::msg::kLastLine, "mitigated by increasing the time step");
  }
  // A travel time that no buffer could hold (or not a number) is a data error:
  // it must never reach the conversion to a slot count.
  if (!convertible_steps(s)) {
    fnames::dumlin = getdum();
    stop("Transmission Line/Cable error: ", "Invalid data line in " + file_read(r));
  }
  if (s < 1.0 && counts_short) {
    ++e_s7::ntldtwarn;
    if (s < 0.8) e_s7::tldterr = 1;
  }
  return wave_slots(s, r.options);
}

// Buffer slots of one travel time T [ms] of a mode-domain line, with the
// warning about a very long travel time.
std::int32_t slots_of(double t_ms, const Record& r) {
  if (t_ms >= kLongTravelMs)
    wakro_warn(0, 0, wakro::msg::kSingleLine, "Very large travel time observed in " + r.file);
  return slots_of_steps(t_ms * 0.001 / e_s1::delt, r);
}

// A Bergeron record: the line record (from the model line), options, one mode
// record per conductor.
std::int32_t bergeron(bool header, std::int32_t ncond, Record& r) {
  const std::int32_t unit = fnames::iunit;
  wakro::step_back(unit);
  std::int32_t n = 0, i2 = 0, i3 = 0, i4 = 0;
  double f1 = 0, f2 = 0, len = 0, t1 = 0, t2 = 0;
  check(wakro::list_read_unit(unit, {n, i2, i3, i4, f1, f2, len, t1, t2}), r);
  if (!header) ncond = n;
  check(read_options(unit, r.options), r);
  ++e_s7::line;
  for (std::int32_t m = 1; m <= ncond; ++m) {
    std::int32_t a = 0, b = 0;
    double t = 0;
    check(wakro::list_read_unit(unit, {a, b, t}), r);
    ++e_s7::nlmodeu;
    e_s7::ntwbufu += slots_of(t, r);
    e_s7::ntermtu += ncond;
  }
  return ncond;
}

// Skips the lines of the zeros and poles of one FRE-DEP fit; returns its poles.
std::int32_t fit(bool header, const Record& r) {
  const std::int32_t unit = fnames::iunit;
  std::int32_t nz = 0, np = 0;
  double x = 0, y = 0;
  if (header) {
    check(wakro::list_read_unit(unit, {np, x, y}), r);
  } else {
    check(wakro::list_read_unit(unit, {nz, np, x}), r);
  }
  nz = std::max(nz, 0);
  np = std::max(np, 0);
  const std::int32_t lines =
      header ? 4 * ((np + 5) / 6) : (nz + 5) / 6 + (np + 5) / 6;
  std::string skipped;
  for (std::int32_t k = 0; k < lines; ++k) check(read_text(unit, skipped), r);
  npolemax = std::max(npolemax, np);
  return np;
}

std::int32_t fredep(bool header, std::int32_t ncond, Record& r) {
  const std::int32_t unit = fnames::iunit;
  wakro::step_back(unit);
  wakro::FixedText<8> word;
  std::int32_t n = 0, i2 = 0, kss = 0, mss = 0;
  check(wakro::list_read_unit(unit, {word, n, i2, kss, mss}), r);
  if (!header) {
    ncond = n;
    if (kss < 0) {
      fnames::dumlin = getdum();
      stop("Invalid subsystem number on sending end of Line/Cable ", r.file);
    }
    if (mss < 0) {
      fnames::dumlin = getdum();
      stop("Invalid subsystem number on receiving end of Line/Cable ", r.file);
    }
  }
  check(read_options(unit, r.options), r);
  ++e_s7::line;
  for (std::int32_t m = 1; m <= ncond; ++m) {
    std::int32_t a = 0, b = 0;
    double t = 0;
    check(wakro::list_read_unit(unit, {a, b, t}), r);
    ++e_s7::nlmodeu;
    e_s7::ntwbufu += slots_of(t, r);
    e_s7::npolzu += fit(header, r);
    e_s7::npolau += fit(header, r);
    for (std::int32_t c = 1; c <= ncond; ++c) fit(header, r);
    e_s7::ntermtu += ncond;
  }
  return ncond;
}

// An MFDTD record: sizes from its model line, option lines skipped, then the
// largest velocity and the length, which give the number of segments.
std::int32_t mfdtd(const std::string& model_line, Record& r) {
  using ndde::e_ndim;
  const std::int32_t unit = fnames::iunit;
  std::int32_t ncond = 0, npmfd = 0;
  check(two_columns(model_line, 7, ncond), r);
  check(two_columns(model_line, 10, npmfd), r);
  if (ncond < 1 || npmfd < 0) {
    fnames::dumlin = model_line;
    stop("Transmission Line/Cable error: ", "Invalid data line in " + file_read(r));
  }
  ++e_s7mfd::linemfd;
  e_ndim(dim::maxpoles_mfdtd) = std::max(e_ndim(dim::maxpoles_mfdtd), npmfd);
  ncmfdmax = std::max(ncmfdmax, ncond);
  e_ndim(dim::nummodes_mfdtd) += ncond;
  LineOptions unused;
  check(read_options(unit, unused), r);
  double vmax = 0, length = 0;
  next_item();  // comment lines may stand before the velocity, as the reader allows
  check(wakro::list_read_unit(unit, {vmax}), r);
  check(wakro::list_read_unit(unit, {length}), r);
  // The segment count is converted only from a finite, representable quotient;
  // a line shorter than one segment counts none here and is refused by the reader.
  // A velocity or length that leaves no segment is shown as the reader shows it.
  const Segments seg = mfdtd_segments(vmax, length, e_s1::delt);
  if (seg.check != SegmentCheck::ok && seg.check != SegmentCheck::none) {
    report_segments(seg, r.name);
    fnames::dumlin = getdum();
    stop("Transmission Line/Cable error: ", "Invalid data line in " + file_read(r));
  }
  if (e_ndim(dim::maxinc_mfdtd) <= seg.n) e_ndim(dim::maxinc_mfdtd) = seg.n + 1;
  return ncond;
}

// Skips `count` lines of a FRE-PHASE record (each a list read of one text).
void skip_lines(std::int64_t count, const Record& r) {
  wakro::FixedText<72> text;
  for (std::int64_t k = 0; k < count; ++k) check(wakro::list_read_unit(fnames::iunit, {text}), r);
}

// A count read from a FRE-PHASE record (negative counts as 0).
std::int32_t count_item(const Record& r) {
  std::int32_t v = 0;
  check(wakro::list_read_unit(fnames::iunit, {v}), r);
  return std::max(v, 0);
}

// A FRE-PHASE record: the characteristic-admittance fit per conductor, the
// propagation fit per delay group, and each group's delay in seconds.
void frephase(Record& r) {
  using ndde::e_ndim;
  check(read_options(fnames::iunit, r.options), r);
  ++e_s7ph::lineph;
  const std::string& file = r.file;
  skip_lines(2, r);
  const std::int32_t ncond = count_item(r);
  ncphmax = std::max(ncphmax, ncond);
  e_ndim(dim::nummodes_ph) += ncond;
  skip_lines(1, r);
  for (std::int32_t j = 1; j <= ncond; ++j) {
    const std::int32_t np = count_item(r);
    npolephmax = std::max(npolephmax, np);
    for (std::int32_t p = 1; p <= np; ++p) {
      skip_lines(2 + 2 * static_cast<std::int64_t>(ncond), r);
      tell2 += ncond;
    }
  }
  skip_lines(static_cast<std::int64_t>(ncond) * ncond + 2, r);
  const std::int32_t ng = count_item(r);
  if (ng > kMaxGroups) {
    fnames::dumlin = getdum();
    stop("Transmission Line/Cable error: ", "Invalid data line in " + file_read(r));
  }
  ncphmax = std::max(ncphmax, ng);  // the group tables are as wide as the conductor ones
  skip_lines(1, r);
  std::vector<double> tau(static_cast<std::size_t>(ng));
  for (double& t : tau) {
    check(wakro::list_read_unit(fnames::iunit, {t}), r);
    if (t >= 1.0)
      wakro_warn(0, 0, wakro::msg::kSingleLine, "Very large travel time observed in " + file);
  }
  skip_lines(1, r);
  std::vector<std::int32_t> poles(static_cast<std::size_t>(ng));
  for (std::int32_t& np : poles) {
    np = count_item(r);
    npolephmax = std::max(npolephmax, np);
    for (std::int32_t p = 1; p <= np; ++p) {
      skip_lines(2, r);
      tell3 += ncond;
    }
  }
  skip_lines(1, r);
  for (std::int32_t np : poles) {
    skip_lines(2 * static_cast<std::int64_t>(np) * ncond * ncond, r);
    tell1 += np * ncond * ncond;
  }
  std::int32_t longest = 0;
  for (double t : tau) {
    // The reader makes no time-step check of a group of an infinitely long
    // line, so it is not counted here either.
    longest = std::max(longest, slots_of_steps(t / e_s1::delt, r, !r.options.inflength));
    tell4 += ncond * ncond;
  }
  offs1 += (longest + 1) * ncond;
}

// The dimension entries that follow the counters, written at the end of a call.
void store_dimensions() {
  using ndde::e_ndim;
  e_ndim(dim::maxmodes) = ncmax;
  e_ndim(dim::tlines) = e_s7::line;
  e_ndim(dim::maxpoles) = npolemax;
  e_ndim(dim::travwaves) = e_s7::ntwbufu;
  e_ndim(dim::transforms) = e_s7::ntermtu;
  e_ndim(dim::transpoles) = e_s7::npoltu;
  e_ndim(dim::attpoles) = e_s7::npolau;
  e_ndim(dim::surgepoles) = e_s7::npolzu;
  e_ndim(dim::nummodes) = e_s7::nlmodeu;
  e_ndim(dim::tlines_ph) = e_s7ph::lineph;
  e_ndim(dim::maxmodes_ph) = ncphmax;
  e_ndim(dim::travwaves_ph) = offs1;
  e_ndim(dim::prop_ph) = tell4;
  e_ndim(dim::hserc_ph) = tell1;
  e_ndim(dim::ycserc_ph) = tell2;
  e_ndim(dim::xhk_ph) = tell3;
  e_ndim(dim::maxpoles_ph) = npolephmax;
  e_ndim(dim::tlines_mfdtd) = e_s7mfd::linemfd;
  e_ndim(dim::maxmodes_mfdtd) = ncmfdmax;
  e_ndim(dim::tlines_total) =
      e_s7::line + e_s7ph::lineph + e_s7mfd::linemfd + e_s7eni::eni_client;
  e_ndim(dim::eni_servers) = e_s7eni::eni_server;
  e_ndim(dim::eni_clients) = e_s7eni::eni_client;
}

// One record, from its first line (already seen by rdcmnt) to its end.
void one_record() {
  Record r;
  std::string line = text_item(r);
  const bool header = is_header(line);
  std::int32_t ncond = 0;
  std::int32_t role = kOrdinary;
  bool opened = false;
  if (header) {
    next_item();
    check(wakro::list_read_unit(fnames::iunit, {ncond, role}), r);
    if (ncond < 0)
      stop("Dimension exceeded: Line/Cable " + r.file + " has more than ",
           std::string(int2str(ndde::nd5).trimmed()) + " conducting mediums");
    if (role == kServerEnd) ++e_s7eni::eni_server;
    if (role == kClientEnd) ++e_s7eni::eni_client;
    text_item(r);                              // sending end
    if (role == kOrdinary) text_item(r);       // receiving end
    line = text_item(r);                       // TLINE-INPUT-DATA
    if (is_input_data(line)) r.name = data_name(line);
    line = text_item(r);
    if (is_output_data(line)) {
      r.file = tandem_file_name(data_name(line));
      if (role != kClientEnd) {
        fnames::filename = r.file;  // the messages show its first 72 characters
        wakro::open_file_named(r.file, 1);
        opened = true;
        line = text_item(r);
      }
    }
    if (role == kClientEnd) {
      ncmax = std::max(ncmax, ncond);
      return;
    }
  }
  const LineModel model = model_of(line);
  std::int32_t counted = ncond;
  if (model == LineModel::bergeron) {
    counted = bergeron(header, ncond, r);
  } else if (model == LineModel::fredep) {
    counted = fredep(header, ncond, r);
  } else if (model == LineModel::frephase) {
    frephase(r);
    counted = 0;  // a record without a header gives no conductor count here
  } else {
    mfdtd(line, r);
    counted = 0;
  }
  ncmax = std::max(ncmax, header ? ncond : counted);
  if (opened) wakro_closefile();
}

}  // namespace

void sctline_init() {
  e_s7::line = 0;
  e_s7::ntwbufu = 0;
  e_s7::ntermtu = 0;
  e_s7::nlmodeu = 0;
  e_s7ph::lineph = 0;
  e_s7ph::nlmodeuph = 0;
  e_s7mfd::linemfd = 0;
  e_s7mfd::nlmodeumfd = 0;
  e_s7eni::eni_server = 0;
  e_s7eni::eni_client = 0;
  // The pole sums and the phase-domain mode total are sums of this pass too: a
  // later pass that kept them would size the arrays for every pass so far.
  e_s7::npoltu = 0;
  e_s7::npolau = 0;
  e_s7::npolzu = 0;
  ndde::e_ndim(dim::nummodes_ph) = 0;
  ndde::e_ndim(dim::nummodes_mfdtd) = 0;
  ndde::e_ndim(dim::maxpoles_mfdtd) = 0;
  ndde::e_ndim(dim::maxinc_mfdtd) = 0;
  ncmax = npolemax = ncmfdmax = ncphmax = npolephmax = 0;
  tell1 = tell2 = tell3 = tell4 = offs1 = 0;
  // The line entries are the counts of the case, also of a case without a line
  // section (where sctline is never called): room the map gives is no line in
  // use, and a snapshot that counted it would ask its resume for line records
  // it does not hold.
  store_dimensions();
}

void sctline() {
  fnames::dumlin.blank();
  if (!(fnames::section == "TLINES:") && !(fnames::section == "GLOBAL_TLINES:")) return;
  if (e_s7::line + e_s7ph::lineph == 0) {
    e_s7::ntldtwarn = 0;
    e_s7::tldterr = 0;
  }
  // The section ends at the next key; a data line after the page's "ENDPAGE"
  // belongs to the map file (the page entry's node lines), not to this section.
  // A line section that follows at once is read on in the same call.
  wakro::FixedText<72> key = fnames::section;
  for (;;) {
    rdcmnt();
    if (rdcmnt_in_section(key)) {
      one_record();
      continue;
    }
    if (rdcmnt_at_data()) break;
    if (!(fnames::section == "TLINES:") && !(fnames::section == "GLOBAL_TLINES:")) break;
    key = fnames::section;
  }
  store_dimensions();
}
