// dslint: the line-section reader.
//
// Reads every line record of a "TLINES:" section (page context in the four
// arguments) or of the "GLOBAL_TLINES:" section (four zeros) into the line
// directory e_s7::linemodel, the per-line and per-mode tables of the line's
// model and the ENI tables; hands each record's model data to its model's
// set-up; stamps each line's admittance e_s7::dm into the conductance matrices
// of both end subsystems (a server end of an ENI line at its sending end only)
// and keeps it in e_s7::globaldm; reports travel times shorter than one step.
//
// Leaves: the counters of e_s7 (img, line, nlmodeu, ntermtu, ntwbufu) raised by
// the section, the per-step state of the new modes and slots cleared, and the
// line reader at the first key after the section (fnames::section).
// Fatal stops end in wakro_quit with tag "DSLINT      " (a zero subsystem of a
// "TLINES:" record with "DSLINTSSN   ").
#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "diag/console.h"
#include "diag/console_input.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "diag/textutil.h"
#include "diag/validators.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "lines/lines.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_tlint.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "network/matrix.h"

namespace wakro::lines {
namespace {

constexpr std::string_view kTag = "DSLINT      ";
constexpr std::int32_t kMaxPort = 65535;  // the largest TCP port

// The control-signal groups of one end: first slot and count of the signals it
// sends (group 1) and of those it receives (group 2).
struct SignalGroups {
  std::int32_t first1 = 1, count1 = 0, first2 = 1, count2 = 0;
};

// One end of a header-form record as read.
struct End {
  std::int32_t ss = 0;
  SignalGroups groups;
};

bool warned_since_summary = false;  // a short travel time was reported

void next_item() { rdcmnt(); }

std::string text_item(const LineSetup& s) {
  next_item();
  std::string line;
  check_read(read_text(fnames::iunit, line), s);
  return line;
}

// Sending or receiving end: subsystem, n page nodes into `nodes`, four
// control-signal integers.
End read_end(const LineSetup& s, std::int32_t n, FArray<std::int32_t, 1>& nodes) {
  next_item();
  End e;
  std::span<std::int32_t> list(&nodes(1), static_cast<std::size_t>(n));
  check_read(list_read_unit(fnames::iunit, {e.ss, list, e.groups.first1, e.groups.count1,
                                            e.groups.first2, e.groups.count2}),
             s);
  return e;
}

// Signals of one end must lie inside the signal stores.
void check_signals(const SignalGroups& g, const LineSetup& s) {
  const auto beyond = [](std::int32_t first, std::int32_t count, std::int32_t size) {
    return count > 0 && (first < 1 || static_cast<std::int64_t>(first) + count - 1 > size);
  };
  if (beyond(g.first1, g.count1, quolbv3::cscs.extent(1)) ||
      beyond(g.first2, g.count2, quolbv3::cscr.extent(1)))
    line_error("Control signals beyond the dimensioned signals in Line/Cable ", s);
}

// The signal columns of a directory row from the two ends with the page's
// signal bases.
void store_signals(std::int32_t row, const SignalGroups& k, const SignalGroups& m,
                   std::int32_t send, std::int32_t recv) {
  using e_s7::linemodel;
  linemodel(row, dir::kSendingSends) = send + k.first1;
  linemodel(row, dir::kSendingSendCount) = k.count1;
  linemodel(row, dir::kSendingReceives) = recv + k.first2;
  linemodel(row, dir::kSendingReceiveCount) = k.count2;
  linemodel(row, dir::kReceivingSends) = send + m.first1;
  linemodel(row, dir::kReceivingSendCount) = m.count1;
  linemodel(row, dir::kReceivingReceives) = recv + m.first2;
  linemodel(row, dir::kReceivingReceiveCount) = m.count2;
}

// Stamps dm, the line's nodal admittance, among the line's nodes of one end
// (read time only: the small block is allocated here).
void stamp_end(std::int32_t ss, std::span<const std::int32_t> ends, std::int32_t n) {
  std::vector<double> block(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  for (std::int32_t c = 1; c <= n; ++c)
    for (std::int32_t r = 1; r <= n; ++r)
      block[static_cast<std::size_t>((c - 1) * n + r - 1)] = e_s7::dm(r, c);
  stamp_admittance("DSLINT", ss, ends, SymmetricAdmittance::dense(block, n), AdmittanceMeaning::nodal);
}

// Clears the per-step state of the modes and slots a section added.
void clear_new_state(std::int32_t mode_from, std::int32_t slot_from) {
  for (std::int32_t q = mode_from + 1; q <= e_s7::nlmodeu; ++q) {
    e_s7::m1(q) = 1;
    e_s7::vdck(q) = e_s7::vdcm(q) = 0.0;
    e_s7::ck(q) = e_s7::cm(q) = 0.0;
    e_s7::ckk(q) = e_s7::cmm(q) = 0.0;
  }
  for (std::int32_t k = slot_from + 1; k <= e_s7::ntwbufu; ++k)
    e_s7::bk(k) = e_s7::bm(k) = e_s7::vk(k) = e_s7::vm(k) = 0.0;
}

// The ENI port of a line end, asked on the console.
std::int32_t ask_port(std::string_view prompt, const LineSetup& s) {
  ListLine() << std::string(prompt) + s.quoted;
  std::string answer;
  std::int32_t port = 0;
  const ConsoleRead got = read_console_line(answer);
  if (got == ConsoleRead::stopped) stop_on_signal("the ENI port of a line end");
  if (got != ConsoleRead::ok || list_read(answer, {port}) != ReadStatus::ok || port < 0 ||
      port > kMaxPort) {
    ListLine() << "No port number given for ENI line " + s.quoted;
    wakro_quit(kTag, 0);
  }
  return port;
}

// The time-step summary once the last short travel time has been reported.
void time_step_summary() {
  const std::int32_t severity = e_s7::tldterr != 0 ? msg::kError : msg::kWarning;
  wakro_message(0, 0, severity, msg::first_of(3), "For better accuracy, make time step less than");
  const std::string bound = edit_g(e_s7::tstepmin, 23, 16);
  const std::size_t b = bound.find_first_not_of(' ');
  const std::size_t e = bound.find_last_not_of(' ');
  wakro_message(
      0, 0, severity, msg::kMiddleLine,
      " 1/10th of the shortest travel time which is " + bound.substr(b, e - b + 1) + " [us].");
  warned_since_summary = false;
  if (e_s7::tldterr == 0) {
    wakro_message(0, 0, severity, msg::kLastLine,
                  " Continuing with travel time(s) adjusted to one time step.");
    return;
  }
  wakro_message(0, 0, severity, msg::kLastLine, " Aborting due to time step being too large.");
  wakro_quit(kTag, 0);
}

// One record of the section as it is read: the line, its two ends, the names
// given with the header, and the record's current line.
struct LineRecord {
  LineSetup s;
  End k, m;
  std::string name;     // "TLINE-INPUT-DATA" name
  std::string file;     // the solved line constants' file
  std::string line;     // the line read last
  bool opened = false;  // the constants' file was opened here
};

// The count and role line and the two ends of a header-form record; an ENI end
// takes its far-end nodes from its own end.
void read_ends(LineRecord& r) {
  LineSetup& s = r.s;
  next_item();
  check_read(list_read_unit(fnames::iunit, {s.n, s.role}), s);
  if (s.n < 1 || s.n > ndde::nd5) too_many_conductors(s);
  r.k = read_end(s, s.n, e_tlint::knodet);
  if (s.role == kOrdinary) {
    r.m = read_end(s, s.n, e_tlint::mnodet);
    return;
  }
  r.m = r.k;
  for (std::int32_t c = 1; c <= s.n; ++c) e_tlint::mnodet(c) = e_tlint::knodet(c);
  if (s.role == kServerEnd) ++e_s7eni2::nserver;
  if (s.role == kClientEnd) ++e_s7eni2::nclient;
}

// The input-data name and the output-data file of a header-form record; the
// file is opened here unless the record is an ENI client end.
void read_names(LineRecord& r) {
  LineSetup& s = r.s;
  r.line = text_item(s);
  if (is_input_data(r.line)) {
    r.name = data_name(r.line);
    r.line = text_item(s);
  }
  if (!is_output_data(r.line)) return;
  r.file = tandem_file_name(data_name(r.line));
  s.quoted = quoted_line_name(r.file);
  if (s.role == kClientEnd) return;
  fnames::filename = r.file;  // the messages show its first 72 characters
  wakro::open_file_named(r.file, 1);
  r.opened = true;
  r.line = text_item(s);
}

// The subsystems of the two ends mapped and checked, and every conductor's page
// nodes turned into subsystem nodes inside them.
void map_end_nodes(LineRecord& r) {
  LineSetup& s = r.s;
  wakro_dslintssn(s.ssoff, r.k.ss, r.m.ss);
  for (std::int32_t c = 1; c <= s.n; ++c) {
    const std::int32_t kl = e_tlint::knodet(c), ml = e_tlint::mnodet(c);
    if (kl <= 0 || ml <= 0) grounded_end(s);
    wakro_node(s.page, kl, e_tlint::knodet(c));
    wakro_node(s.page, ml, e_tlint::mnodet(c));
    if (e_tlint::knodet(c) > e_s0::mbus(r.k.ss))
      line_error("Invalid node number on sending end of Line/Cable ", s);
    if (e_tlint::mnodet(c) > e_s0::mbus(r.m.ss))
      line_error("Invalid node number on receiving end of Line/Cable ", s);
  }
}

// Step 1: ends and names (header form), then the line's quoted name.
void read_record_head(LineRecord& r) {
  r.line = text_item(r.s);
  r.s.header = is_header(r.line);
  if (r.s.header) {
    read_ends(r);
    read_names(r);
    map_end_nodes(r);
  }
  if (r.s.quoted.empty()) r.s.quoted = "''";
}

// The model, role and conductor columns of a directory row.
void write_directory_row(std::int32_t row, std::int32_t model, std::int32_t model_line,
                         std::int32_t mode_offset, std::int32_t role, std::int32_t conductors) {
  using e_s7::linemodel;
  linemodel(row, dir::kModel) = model;
  if (model != dir::kNoModel) {
    linemodel(row, dir::kModelLine) = model_line;
    linemodel(row, dir::kModeOffset) = mode_offset;
  }
  linemodel(row, dir::kRole) = role;
  linemodel(row, dir::kConductors) = conductors;
}

// Step 2: an ENI client end has no model: a directory row and its ports.
void client_end(LineRecord& r, std::int32_t send, std::int32_t recv) {
  LineSetup& s = r.s;
  const std::int32_t client = e_s7eni2::nclient;
  e_s7eni::eni_client_ss(client) = r.k.ss;
  for (std::int32_t c = 1; c <= s.n; ++c) e_s7eni::eni_client_nodes(c, client) = e_tlint::knodet(c);
  s.row = ++e_s7::img;
  write_directory_row(s.row, dir::kNoModel, 0, 0, kClientEnd, s.n);
  store_signals(s.row, r.k.groups, r.m.groups, send, recv);
  check_signals(r.k.groups, s);
  e_s7eni::line_name(s.row) = r.file.substr(0, r.file.find('.'));
  if (quolbv3::guisoc != 0) return;
  // Later runs reuse the links of the first: the answer is read and dropped.
  // (The case of a later run is read before ctrl::firstrun is updated.)
  const std::int32_t port = ask_port("Enter port number for ENI client ", s);
  if (ctrl::mmm <= 1) {
    e_s7eni::eni_host(e_s7eni::eni_server + client) = "localhost";
    e_s7eni::eni_client_port(client) = port;
  }
}

// The model line's model, refused where its ends or its role do not fit it.
LineModel checked_model(const LineRecord& r) {
  const LineModel model = model_of(r.line);
  const bool phase = model == LineModel::frephase, mfdtd = model == LineModel::mfdtd;
  if ((phase || mfdtd) && !r.s.header)
    read_error(r.s);  // their ends are given only with the header
  // The finite-difference step has no far end to exchange: it takes no ENI role.
  if (mfdtd && r.s.role != kOrdinary)
    line_error("An ENI line cannot use the MFDTD model: Line/Cable ", r.s);
  return model;
}

// Step 3: the line's place in its model's tables and its directory row (the
// order a restored directory is checked against: record_checks.cpp).
void place_line(LineRecord& r, LineModel model, const ModelTables& t, std::int32_t send,
                std::int32_t recv) {
  LineSetup& s = r.s;
  if (t.lines + 1 > t.limit) {
    wakro_message(0, 0, msg::kError, msg::first_of(2),
                  "Dimension exceeded: There are over " + std::string(int2str(t.limit).trimmed()));
    wakro_message(0, 0, msg::kError, msg::kLastLine, " transmission lines/cables");
    wakro_quit(kTag, 0);
  }
  s.row = ++e_s7::img;
  s.l = ++t.lines;
  s.o = t.modes_used;
  t.kss(s.l) = r.k.ss;
  t.mss(s.l) = r.m.ss;
  t.mode(s.l) = s.n;
  t.inflength(s.l) = false;
  t.name(s.l) = r.name;
  if (model != LineModel::frephase && model != LineModel::mfdtd)
    e_s7::model(s.l) = static_cast<std::int32_t>(model);
  write_directory_row(s.row, static_cast<std::int32_t>(model), s.l, s.o, s.role, s.n);
  store_signals(s.row, r.k.groups, r.m.groups, send, recv);
  e_s7eni::line_name(s.row) = r.file.substr(0, r.file.find('.'));
}

// The control signals of both ends checked, and the port of an ENI server end.
void check_line_links(const LineRecord& r) {
  const LineSetup& s = r.s;
  const SignalGroups &k = r.k.groups, &m = r.m.groups;
  if (s.role == kOrdinary && (k.count1 != m.count2 || k.count2 != m.count1))
    wakro_warn(0, 0, msg::kSingleLine,
               "Control Signal Transfer Dimension mismatch in line/cable " + s.quoted);
  check_signals(k, s);
  check_signals(m, s);
  if (s.role != kServerEnd || quolbv3::guisoc != 0) return;
  const std::int32_t server = e_s7eni2::nserver;
  const std::int32_t port = ask_port("Enter port number for ENI server ", s);
  if (ctrl::mmm <= 1) {  // later runs reuse the first run's link
    e_s7eni::eni_host(server) = "localhost";
    e_s7eni::eni_server_port(server) = port;
  }
}

// The read end nodes into the model's per-conductor node tables.
void copy_nodes(const LineSetup& s, const ModelTables& t) {
  if (s.o + s.n > t.knode.extent(1)) read_error(s);  // more than the pass counted
  for (std::int32_t c = 1; c <= s.n; ++c) {
    t.knode(s.o + c) = e_tlint::knodet(c);
    t.mnode(s.o + c) = e_tlint::mnodet(c);
  }
}

// Step 4: the model's data; a phase line's nodes are kept once its data have
// confirmed its conductors. Returns the line's conductors.
std::int32_t read_model_data(LineRecord& r, LineModel model, const ModelTables& t) {
  LineSetup& s = r.s;
  const bool phase = model == LineModel::frephase, mfdtd = model == LineModel::mfdtd;
  if (s.header && !phase) copy_nodes(s, t);
  if (model == LineModel::bergeron) bergeron_setup(s);
  if (model == LineModel::fredep) fredep_setup(s);
  if (phase) {
    frephase_setup(s);
    copy_nodes(s, t);
  }
  if (mfdtd) mfdtd_setup(s, r.line);
  if (r.opened) wakro_closefile();
  const std::int32_t n = t.mode(s.l);
  if (phase || mfdtd) t.modes_used += n;
  e_s7::linemodel(s.row, dir::kConductors) = n;
  return n;
}

// Step 5: stamping into both end subsystems, and the copy kept per line.
void stamp_line(const LineSetup& s, const ModelTables& t, std::int32_t n) {
  for_each_stamped_end(t, s.l, s.o, n, s.role,
                       [&](std::int32_t ss, std::span<const std::int32_t> ends, bool) { stamp_end(ss, ends, n); });
  for (std::int32_t c = 1; c <= n; ++c)
    for (std::int32_t q = 1; q <= n; ++q) e_s7::globaldm(q, c, s.row) = e_s7::dm(q, c);
}

// One record of the section.
void one_record(std::int32_t& page, std::int32_t& ssoff, std::int32_t& send, std::int32_t& recv) {
  LineRecord r;
  r.s.page = page;
  r.s.ssoff = ssoff;
  read_record_head(r);
  if (r.s.role == kClientEnd) {
    client_end(r, send, recv);
    return;
  }
  const LineModel model = checked_model(r);
  const ModelTables t = tables_of(model);
  place_line(r, model, t, send, recv);
  check_line_links(r);
  const std::int32_t n = read_model_data(r, model, t);
  stamp_line(r.s, t, n);
}

}  // namespace

ModelTables tables_of(LineModel model) {
  if (model == LineModel::frephase)
    return {e_s7ph::lineph,      e_s7ph::nlmodeuph,    ndde::nd41,         e_s7ph::kssph,
            e_s7ph::mssph,       e_s7ph::modeph,       e_s7ph::inflengthph, e_s7ph::tlnameph,
            e_s7ph::knodeph,     e_s7ph::mnodeph};
  if (model == LineModel::mfdtd)
    return {e_s7mfd::linemfd,      e_s7mfd::nlmodeumfd, ndde::nd53,           e_s7mfd::kssmfd,
            e_s7mfd::mssmfd,       e_s7mfd::modemfd,    e_s7mfd::inflengthmfd, e_s7mfd::tlnamemfd,
            e_s7mfd::knodemfd,     e_s7mfd::mnodemfd};
  return {e_s7::line,      e_s7::nlmodeu, ndde::nd6,       e_s7::kss,   e_s7::mss,
          e_s7::mode,      e_s7::inflength, e_s7::tlname, e_s7::knode, e_s7::mnode};
}

void check_read(ReadStatus st, const LineSetup& s) {
  if (st == ReadStatus::ok) return;
  if (st == ReadStatus::error) read_error(s);
  if (s.header) ListLine() << "Line/Cable Name: " + s.quoted;
  outmsg(message::kEndOfFile);
  wakro_quit(kTag, 0);  // message 4 never returns; kept for the compiler
}

void read_error(const LineSetup& s) {
  if (s.header) ListLine() << "Line/Cable Name: " + s.quoted;
  // The file that holds the line: the page data file or the line-constants file.
  const std::string file = wakro::unit_file_name(fnames::iunit);
  if (!file.empty()) ListLine() << "Invalid data line in " + file;
  outmsg(message::kInvalidDataLine, 0, 0, 0, 0.0, 0.0, fnames::dumlin.view());
  wakro_quit(kTag, 0);
}

void line_error(std::string_view first, const LineSetup& s) {
  wakro_message(0, 0, msg::kError, msg::first_of(2), first);
  wakro_message(0, 0, msg::kError, msg::kLastLine, s.quoted);
  wakro_quit(kTag, 0);
}

void grounded_end(const LineSetup& s) {
  wakro_message(0, 0, msg::kError, msg::first_of(4),
                "Invalid node numbers at terminations of Line/Cable " + s.quoted);
  wakro_message(0, 0, msg::kError, msg::kMiddleLine,
                ". If you want an end of a conducting medium ");
  wakro_message(0, 0, msg::kError, msg::kMiddleLine,
                "to be grounded, use an ideal branch to ground. Do not ");
  wakro_message(0, 0, msg::kError, msg::kLastLine, "ground it directly.");
  wakro_quit(kTag, 0);
}

void too_many_conductors(const LineSetup& s) {
  wakro_message(0, 0, msg::kError, msg::first_of(2),
                "Dimension exceeded: Line/Cable " + s.quoted + " has more than ");
  wakro_message(0, 0, msg::kError, msg::kLastLine,
                std::string(int2str(ndde::nd5).trimmed()) + " conducting mediums");
  wakro_quit(kTag, 0);
}

void wakro_dslintssn(std::int32_t ssoff, std::int32_t& kss, std::int32_t& mss) {
  if (fnames::section == "TLINES:") {
    if (kss == 0 || mss == 0) {
      ListLine(console()) << "ERROR: DSLINT: Zero subsystem number in TLine data";
      wakro_quit("DSLINTSSN   ", 0);
    }
    if (kss >= 1 && mss >= 1) {
      kss = quolbv3::subs(ssoff + kss);
      mss = quolbv3::subs(ssoff + mss);
    }
  }
  // Both sections: a subsystem that does not exist never reaches the matrices.
  wakro_checkssn(kss);
  wakro_checkssn(mss);
}

void short_travel_time(double bound_us, const LineSetup& s) {
  if (!(e_s7::tstepmin <= bound_us)) e_s7::tstepmin = bound_us;
  --e_s7::ntldtwarn;
  warned_since_summary = true;
  const std::string g = edit_g(bound_us, 23, 16);
  const std::size_t b = g.find_first_not_of(' ');
  const std::size_t e = g.find_last_not_of(' ');
  wakro_warn(0, 0, msg::first_of(2),
             "Time step is too large for the tline/cable " + s.quoted + ". ");
  wakro_warn(0, 0, msg::kLastLine,
             "Reduce the time step to " + g.substr(b, e - b + 1) +
                 " [us] or less, or Use pi section models.");
}

void take_travel_slots(const LineSetup& s, const LineOptions& options, std::int32_t j, double steps) {
  if (steps < 1.0) short_travel_time(steps * e_s1::delt * 1.0e6, s);
  e_s7::nt(j) = wave_slots(steps, options);
  e_s7::fnt(j) = wave_fraction(steps, options);
  e_s7::ntwbufu += e_s7::nt(j);
  if (e_s7::ntwbufu > ndde::nd31) {
    ListLine() << "Line/Cable Name: " + s.quoted;
    outmsg(message::kBufferExceeded, e_s7::ntwbufu, s.l, ndde::nd31, 0.0, 0.0,
           fnames::dumlin.view());
  }
}

}  // namespace wakro::lines

void dslint(std::int32_t& page, std::int32_t& ssoff, std::int32_t& send, std::int32_t& recv) {
  using namespace wakro::lines;
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;
  fnames::dumlin.blank();
  const auto line_key = [] { return fnames::section == "TLINES:" || fnames::section == "GLOBAL_TLINES:"; };
  if (!line_key()) return;
  const std::int32_t modes_before = e_s7::nlmodeu;
  const std::int32_t slots_before = e_s7::ntwbufu;
  // The section ends at the next key; a data line after the page's "ENDPAGE"
  // belongs to the map file (the page entry's node lines), not to this section.
  // A line section that follows at once is read on in the same call.
  wakro::FixedText<72> key = fnames::section;
  for (;;) {
    rdcmnt();
    if (rdcmnt_in_section(key)) {
      one_record(page, ssoff, send, recv);
      continue;
    }
    if (rdcmnt_at_data() || !line_key()) break;
    key = fnames::section;
  }
  clear_new_state(modes_before, slots_before);
  // The report is decided once every short travel time the pass counted has
  // been met, from tldterr alone.
  if (warned_since_summary && e_s7::ntldtwarn <= 0) time_step_summary();
}
