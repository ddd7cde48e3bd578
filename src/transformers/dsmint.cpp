// dsmint (see dsmint.h).
//
// Per entry, in order: the header; the transformer number (jset + 1); per
// winding the record, its nodes and subsystem, and its row of the lower triangle
// into the work matrices; then the admittance si of the windings:
//   impedance form             si = (R + 2 L / dt)^-1,
//   admittance with R          si = A (I + R A)^-1, A = (dt / 2) Gamma,
//   admittance without R       si = (dt / 2) Gamma;
//   UMEC core                  si = (dt / 2) Gamma, Gamma of the core (admf);
// hm = si, sm = I - 2 si R, and si stamped into gm. An "888" entry copies the
// previous transformer's matrices (and a UMEC core's data). Inversions refuse a
// pivot below 1e-20.
#include "transformers/dsmint.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <span>
#include <vector>

#include "diag/listout.h"
#include "diag/nodeaccess.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/tf_subsystems.h"
#include "model/temp2.h"
#include "model/umec.h"
#include "diag/message.h"
#include "transformers/bh_curve.h"
#include "transformers/injcal.h"
#include "transformers/umec_core.h"
#include "transformers/winding_matrix.h"

namespace {

using wakro::ListLine;
using wakro::tf::Square;

constexpr std::int32_t kRepeat = 888;
constexpr double kPivotLimit = wakro::kTiny;
constexpr double kImpedanceOffDiagonal = 350.8;  // placeholder L between windings (H)
constexpr double kImpedanceDiagonal = 350.7;     // placeholder self L (H)
constexpr double kAdmittanceOffDiagonal = -1.0;  // placeholder Gamma between windings

// Numbered console messages of the reader.
constexpr std::int32_t kEndOfFile = 4;
constexpr std::int32_t kInvalidLine = 24;
constexpr std::int32_t kTooManyWindings = 25;
constexpr std::int32_t kWindingCount = 26;
constexpr std::int32_t kTooManyUnits = 27;
constexpr std::int32_t kNodeBeyond = 28;
constexpr std::int32_t kBadNodes = 29;
constexpr std::size_t kUmecWindingValues = 2;  // turns and leakage permeance

enum class Form { impedance, admittance_r, admittance, umec };

struct Entry {
  Form form = Form::impedance;
  bool placeholders = false;
  std::int32_t n = 0;
  std::int32_t mag = 0;
  std::int32_t sign = 1;  // of tss
};

struct Work {
  Square si, rm, hs, rli, irli;
  std::vector<double> values;  // one winding record
  void resize(std::int32_t n) {
    for (Square* m : {&si, &rm, &hs, &rli, &irli}) m->resize(n);
    values.assign(2 * static_cast<std::size_t>(n), 0.0);
  }
};
Work g_work;

const wakro::FixedText<72>& key() {
  static const wakro::FixedText<72> k("TRANSFORMERS:");
  return k;
}

[[noreturn]] void stop() { wakro_quit(wakro::kDsmintTag, 1); }

// A read that failed ends the run: end of file (message 4) or an unreadable line.
void check_read(wakro::ReadStatus st, std::int32_t ss) {
  if (st == wakro::ReadStatus::end) outmsg(kEndOfFile);
  if (st == wakro::ReadStatus::error) outmsg(kInvalidLine, ss);
}

// The next record of the entry; a section key instead ends the run.
void next_record() {
  rdcmnt();
  if (rdcmnt_in_section(key())) return;
  ListLine() << "Abrupt end of data in trafo section ";
  stop();
}

[[noreturn]] void different(std::int32_t a, std::int32_t b) {
  ListLine() << "Xfmr Nodes are in different SS:" << a << ":" << b;
  stop();
}

// Subsystem of a winding from its page-local nodes (0 for ground).
std::int32_t winding_subsystem(std::int32_t page, std::int32_t from, std::int32_t to) {
  const std::int32_t sf = from > 0 ? wakro_ssnum(page, from) : 0;
  const std::int32_t st = to > 0 ? wakro_ssnum(page, to) : 0;
  if (sf == 0 && st == 0) {
    ListLine() << "SS for the Xfmr Nodes are not defined.";
    stop();
  }
  if (sf != 0 && st != 0 && sf != st) different(sf, st);
  return std::max(sf, st);
}

// Reads a winding's node pair (and its values), checks it and enters it as
// winding w of transformer k; returns the winding's subsystem. ss_expected is
// the subsystem every winding of the transformer must lie in (0 for the first).
std::int32_t read_winding(std::int32_t page, std::int32_t k, std::int32_t w, std::span<double> values,
                          std::int32_t ss_expected) {
  next_record();
  std::int32_t from = 0, to = 0;
  check_read(wakro::list_read_unit(fnames::iunit, {from, to, values}), ss_expected);
  if (from < 0 || to < 0) outmsg(kBadNodes, ss_expected);
  const std::int32_t ss = winding_subsystem(page, from, to);
  if (ss_expected != 0 && ss != ss_expected) different(ss_expected, ss);
  std::int32_t nf = 0, nt = 0;
  wakro_node(page, from, nf);
  wakro_node(page, to, nt);
  e_s5::mcb(w, k) = nf;
  e_s5::ncb(w, k) = nt;
  return ss;
}

// The node checks of a winding once its subsystem is known.
void check_nodes(std::int32_t k, std::int32_t w, std::int32_t ss) {
  const std::int32_t f = e_s5::mcb(w, k), t = e_s5::ncb(w, k);
  if (f > e_s0::mbus(ss) || t > e_s0::mbus(ss)) outmsg(kNodeBeyond, ss);
  if (e_s5::winding_ends_refused(f, t)) outmsg(kBadNodes, ss);
}

// Row w of the lower triangle, from the record's values or the placeholders.
void store_row(const Entry& e, std::int32_t k, std::int32_t w, Work& m) {
  const double dt = e_s1::delt;
  if (e.form == Form::umec) {
    umec::nturn(w, k) = m.values[0];
    umec::ai(w, k) = m.values[1];
    return;
  }
  for (std::int32_t j = 1; j <= w; ++j) {
    const std::size_t at = static_cast<std::size_t>(j - 1);
    double r = 0.0, x = 0.0;
    if (e.form == Form::admittance) {
      x = e.placeholders ? (j < w ? kAdmittanceOffDiagonal : e.n) : m.values[at];
    } else if (e.placeholders) {
      if (e.form == Form::impedance) x = j < w ? kImpedanceOffDiagonal : kImpedanceDiagonal;
      else x = j < w ? kAdmittanceOffDiagonal : e.n;
    } else {
      r = m.values[2 * at];
      x = m.values[2 * at + 1];
    }
    double lorig = 0.0;
    switch (e.form) {
      case Form::impedance: {
        const double b = (x + x) / dt;
        m.hs(j, w) = m.hs(w, j) = m.si(j, w) = m.si(w, j) = r + b;
        lorig = b;
        break;
      }
      case Form::admittance_r:
        m.hs(j, w) = m.hs(w, j) = x * dt * 0.5;
        break;
      case Form::admittance:
        r = 0.0;
        m.si(j, w) = m.si(w, j) = x * dt * 0.5;
        lorig = m.si(j, w);
        break;
      case Form::umec: break;
    }
    m.rm(j, w) = m.rm(w, j) = r;
    e_s5tap::rorig(j, w, k) = e_s5tap::rorig(w, j, k) = r;
    e_s5tap::lorig(j, w, k) = e_s5tap::lorig(w, j, k) = lorig;
  }
}

// si of the whole transformer from the stored rows.
void form_admittance(const Entry& e, std::int32_t k, std::int32_t ss, Work& m) {
  const std::int32_t n = e.n;
  if (e.form == Form::impedance) {
    if (!wakro::tf::invert_in_place(m.si, kPivotLimit)) outmsg(kInvalidLine, ss);
  } else if (e.form == Form::admittance_r) {
    wakro::tf::multiply(m.rm, m.hs, m.rli);  // rli = R A
    m.irli = m.rli;
    for (std::int32_t w = 1; w <= n; ++w) m.irli(w, w) += 1.0;
    if (!wakro::tf::invert_in_place(m.irli, kPivotLimit)) outmsg(kInvalidLine, ss);
    wakro::tf::multiply(m.irli, m.rli, m.si);
    for (double& x : m.si.a) x = -x;
    for (std::int32_t w = 1; w <= n; ++w) m.si(w, w) += 1.0;  // I - (I + R A)^-1 R A
    const Square rest = m.si;
    wakro::tf::multiply(m.hs, rest, m.si);
    for (std::int32_t i = 1; i <= n; ++i)
      for (std::int32_t j = 1; j <= n; ++j) e_s5tap::lorig(i, j, k) = m.hs(i, j);
  }
}

// hm = si and sm = I - 2 si R of transformer k, and si into gm.
void enter(std::int32_t k, std::int32_t ss, const Work& m) {
  const std::int32_t n = m.si.n;
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) {
      double s = 0.0;
      for (std::int32_t l = 1; l <= n; ++l) s += m.si(i, l) * m.rm(l, j);
      e_s5::hm(i, j, k) = m.si(i, j);
      e_s5::sm(i, j, k) = -2.0 * s + (i == j ? 1.0 : 0.0);
    }
  wakro::tf::stamp_windings(wakro::kDsmintTag, k, ss, m.si);
}

// The four core records of a UMEC entry; values missing before a "/" stay as
// they were (zero for a new transformer), the curve is cleared first.
void read_core(std::int32_t k, std::int32_t ss) {
  double awlm = umec::awlm(k), lwlm = umec::lwlm(k), ayok = umec::ayok(k), lyok = umec::lyok(k);
  double aol = umec::aol(k), lol = umec::lol(k), zes = umec::zes(k), msl1 = umec::msl1(k);
  std::int32_t satenab = umec::satenab(k), wn = umec::wn(k), bn = umec::bn(k), cor = umec::cor(k);
  std::array<double, 2 * umec::kCurvePoints> curve{};
  next_record();
  check_read(wakro::list_read_unit(fnames::iunit, {awlm, lwlm, ayok, lyok, aol, lol, zes}), ss);
  next_record();
  check_read(wakro::list_read_unit(fnames::iunit, {msl1, satenab}), ss);
  next_record();
  check_read(wakro::list_read_unit(fnames::iunit, {std::span<double>(curve)}), ss);
  next_record();
  check_read(wakro::list_read_unit(fnames::iunit, {wn, bn, cor}), ss);
  umec::awlm(k) = awlm;
  umec::lwlm(k) = lwlm;
  umec::ayok(k) = ayok;
  umec::lyok(k) = lyok;
  umec::aol(k) = aol;
  umec::lol(k) = lol;
  umec::zes(k) = zes;
  umec::msl1(k) = msl1;
  umec::satenab(k) = satenab;
  umec::wn(k) = wn;
  umec::bn(k) = bn;
  umec::cor(k) = cor;
  for (std::int32_t i = 1; i <= umec::kCurvePoints; ++i) {
    umec::xt(i, k) = curve[static_cast<std::size_t>(2 * i - 2)];
    umec::yt(i, k) = curve[static_cast<std::size_t>(2 * i - 1)];
  }
}

// The reader's own reports of a mended curve.
void report_curve(std::int32_t k, const wakro::CurveCheck& c) {
  if (c.no_data) {
    wakro_warn(0, 0, wakro::msg::kSingleLine,
               "Saturation disabled in one transformer due to lack of data");
    ListLine() << "WARNING: Transformer BH curve has no data";
    ListLine() << "Saturation has been disabled. Trafo#" << k;
  }
  if (c.ignored) {
    wakro_warn(0, 0, wakro::msg::kSingleLine,
               "Some T/F B-H data points ignored due to being unrealistic");
    ListLine() << "WARNING:Transformer BH curve has unrealistic";
    ListLine() << "data points. Trafo#" << k;
    ListLine() << "Some points were ignored.";
  }
}

// si = (dt / 2) Gamma of a UMEC core; refused core data or a singular core are
// message 24.
void umec_admittance(std::int32_t k, std::int32_t ss, Work& m) {
  namespace uc = wakro::umec_core;
  if (uc::core_fault(k) == uc::Fault::layout) outmsg(kInvalidLine, ss);
  if (umec::satenab(k) == 1) report_curve(k, wakro::check_bh_curve(k));
  if (admf_checked(k, temp2::hs) != uc::Fault::none) outmsg(kInvalidLine, ss);
  wakro::injcal_prepare(k);
  const std::int32_t n = e_s5::msiz(k);
  for (std::int32_t w = 1; w <= n; ++w)
    for (std::int32_t j = 1; j <= w; ++j) {
      m.si(j, w) = m.si(w, j) = e_s1::delt * temp2::hs(j, w) * 0.5;
      m.rm(j, w) = m.rm(w, j) = 0.0;
      e_s5tap::lorig(j, w, k) = e_s5tap::lorig(w, j, k) = m.si(j, w);
      e_s5tap::rorig(j, w, k) = e_s5tap::rorig(w, j, k) = 0.0;
    }
}

// An "888" repeat of a UMEC transformer takes all of its core data.
void copy_core(std::int32_t from, std::int32_t k) {
  using namespace umec;
  for (std::int32_t w = 1; w <= e_s5::msiz(from); ++w) {
    nturn(w, k) = nturn(w, from);
    ai(w, k) = ai(w, from);
  }
  for (auto* a : {&awlm, &lwlm, &ayok, &lyok, &aol, &lol, &zes, &msl1}) (*a)(k) = (*a)(from);
  for (auto* a : {&satenab, &wn, &bn, &cor}) (*a)(k) = (*a)(from);
  for (std::int32_t i = 1; i <= kCurvePoints; ++i) {
    xt(i, k) = xt(i, from);
    yt(i, k) = yt(i, from);
  }
  wakro::injcal_prepare(k);
}

std::int32_t new_transformer() {
  if (e_s5::jset >= ndde::nd4) outmsg(kTooManyUnits, ndde::nd4);
  return ++e_s5::jset;
}

void read_entry(std::int32_t page, const Entry& e) {
  const std::int32_t k = new_transformer();
  Work& m = g_work;
  std::int32_t ss = 0;
  for (std::int32_t w = 1; w <= e.n; ++w) {
    const std::size_t count = e.form == Form::umec        ? kUmecWindingValues
                              : e.placeholders              ? 0
                              : e.form == Form::admittance ? static_cast<std::size_t>(w)
                                                           : 2 * static_cast<std::size_t>(w);
    if (w == 1) {
      if (e.n > ndde::nd3) {
        const std::int32_t s1 = read_winding(page, k, 1, {}, 0);
        outmsg(kTooManyWindings, ndde::nd3, s1);
      }
      m.resize(e.n);
    }
    std::fill(m.values.begin(), m.values.end(), 0.0);
    const std::int32_t s = read_winding(page, k, w, std::span<double>(m.values).first(count), ss);
    if (w == 1) {
      ss = s;
      ++e_s5::numt(ss);
      e_s5::msiz(k) = e.n;
      e_s5::nummag(k) = e.mag;
      e_s5tap::tss(k) = e.sign * ss;
    }
    check_nodes(k, w, ss);
    store_row(e, k, w, m);
  }
  if (e.form == Form::umec) {
    read_core(k, ss);
    umec_admittance(k, ss, m);
  } else {
    form_admittance(e, k, ss, m);
  }
  enter(k, ss, m);
}

void read_repeat(std::int32_t page) {
  const std::int32_t prev = e_s5::jset;
  if (prev < 1) outmsg(kInvalidLine, 0);
  const std::int32_t k = new_transformer();
  const std::int32_t n = e_s5::msiz(prev);
  const std::int32_t ss = std::abs(e_s5tap::tss(prev));
  ++e_s5::numt(ss);
  e_s5::msiz(k) = n;
  e_s5::nummag(k) = e_s5::nummag(prev);
  e_s5tap::tss(k) = e_s5tap::tss(prev);
  for (std::int32_t w = 1; w <= n; ++w) {
    read_winding(page, k, w, {}, ss);
    check_nodes(k, w, ss);
  }
  if (e_s5::nummag(prev) == 1) copy_core(prev, k);
  Work& m = g_work;
  m.resize(n);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) {
      e_s5tap::lorig(i, j, k) = e_s5tap::lorig(i, j, prev);
      e_s5tap::rorig(i, j, k) = e_s5tap::rorig(i, j, prev);
      m.si(i, j) = e_s5::hm(i, j, prev);
      m.rm(i, j) = e_s5tap::rorig(i, j, prev);
    }
  enter(k, ss, m);
}

}  // namespace

void dsmint(std::int32_t& page) {
  e_s5::mark_stale();
  for (;;) {
    // Step 1: the next entry, or the end of the section.
    rdcmnt();
    if (!rdcmnt_in_section(key())) return;

    // Step 2: the header.
    std::int32_t n = 0, mag = 0, opt = 0;
    check_read(wakro::list_read_unit(fnames::iunit, {n, mag, opt}), 0);
    if (n == kRepeat) {
      read_repeat(page);
      continue;
    }
    // The lowest integer has no magnitude of its own (its sign cannot be taken
    // away): a bad count like 0.
    if (n == 0 || n == std::numeric_limits<std::int32_t>::min())
      outmsg(kWindingCount, 0, 0, 0, 0.0, 0.0, fnames::dumlin.view());
    if (mag < -1 || mag > 1) outmsg(kInvalidLine, 0);

    // Step 3: the form, then the windings.
    Entry e;
    e.n = std::abs(n);
    e.mag = mag;
    e.placeholders = opt != 0;
    e.form = mag == 1 ? Form::umec : n > 0 ? Form::impedance : mag == -1 ? Form::admittance_r : Form::admittance;
    e.sign = n > 0 && mag != 1 ? 1 : -1;
    read_entry(page, e);
  }
}
