// The line being read by dslint, as the model set-ups see it, and the
// reader's failure paths that the set-ups share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/units.h"
#include "lines/line_records.h"
#include "model/e_s7eni.h"
#include "model/farray.h"
#include "model/fixedtext.h"

namespace wakro::lines {

struct LineOptions;

// The numbered console messages of the line readers (outmsg).
namespace message {
inline constexpr std::int32_t kEndOfFile = 4;
inline constexpr std::int32_t kTooManyPhases = 31;
inline constexpr std::int32_t kBadSendingSubsystem = 32;
inline constexpr std::int32_t kBadReceivingSubsystem = 33;
inline constexpr std::int32_t kBadFrequencyPoints = 34;
inline constexpr std::int32_t kBufferExceeded = 36;
inline constexpr std::int32_t kInvalidDataLine = 37;
inline constexpr std::int32_t kNodeBeyond = 38;
inline constexpr std::int32_t kBadNodes = 39;
inline constexpr std::int32_t kTooManyPoles = 276;
}  // namespace message

struct LineSetup {
  // The section's page context (dslint's arguments).
  std::int32_t page = 0;
  std::int32_t ssoff = 0;
  bool header = false;        // the record began with "Quolb Line Constants"
  std::int32_t role = 0;      // ENI role
  std::string quoted;         // the quoted line name of the messages
  std::int32_t l = 0;         // index in the model's per-line tables
  std::int32_t o = 0;         // mode offset of the line (first mode at o + 1)
  std::int32_t row = 0;       // row of the line directory
  std::int32_t n = 0;         // conductors given with the ends (header form)
};

// The per-line tables of one line model: its line and conductor counters, the
// limit of its line count and the fields every model keeps per line. The case
// reader gives each line it reads the next line of its model's tables, its
// conductors after those of the lines read before it there.
struct ModelTables {
  std::int32_t& lines;       // lines of the model read so far
  std::int32_t& modes_used;  // conductors of the model's lines so far
  std::int32_t limit;        // dimensioned lines of the model
  FArray<std::int32_t, 1>& kss;
  FArray<std::int32_t, 1>& mss;
  FArray<std::int32_t, 1>& mode;
  FArray<bool, 1>& inflength;
  FArray<FixedText<200>, 1>& name;
  FArray<std::int32_t, 1>& knode;
  FArray<std::int32_t, 1>& mnode;
};
// The tables of a model's lines: Bergeron and FRE-DEP lines share the
// mode-domain tables (e_s7), FRE-PHASE lines have e_s7ph, MFDTD lines e_s7mfd.
ModelTables tables_of(LineModel model);

// The ends of line l of a model's tables (conductors o + 1 .. o + n) at which
// the case reader stamps the line's admittance: f(ss, nodes, sending) for the
// sending end, then for the receiving end unless the line is an ENI server end
// (role), whose far end is in another process. The stamp (dslint) and the
// resume check of the fill pattern both go by it.
template <class F>
void for_each_stamped_end(const ModelTables& t, std::int32_t l, std::int32_t o, std::int32_t n, std::int32_t role,
                          F&& f) {
  std::vector<std::int32_t> nodes(static_cast<std::size_t>(std::max(n, 0)));
  for (const bool sending : {true, false}) {
    if (!sending && role == kServerEnd) return;
    const FArray<std::int32_t, 1>& end = sending ? t.knode : t.mnode;
    for (std::int32_t c = 1; c <= n; ++c) nodes[static_cast<std::size_t>(c - 1)] = end(o + c);
    f(sending ? t.kss(l) : t.mss(l), std::span<const std::int32_t>(nodes), sending);
  }
}

// The nodes of ENI client end k (n conductors) at which it stamps the line's
// admittance that the server end sends: its conductors' nodes in order. The
// stamp (eni.cpp) and the resume check of the fill pattern take them from here.
inline std::vector<std::int32_t> client_end_nodes(std::int32_t k, std::int32_t n) {
  std::vector<std::int32_t> nodes(static_cast<std::size_t>(std::max(n, 0)));
  for (std::int32_t c = 1; c <= n; ++c) nodes[static_cast<std::size_t>(c - 1)] = e_s7eni::eni_client_nodes(c, k);
  return nodes;
}

// Read status of a record item: a read error ends in console message 37, an end
// of file in message 4 (each after "Line/Cable Name: " in the header form).
void check_read(ReadStatus st, const LineSetup& s);
[[noreturn]] void read_error(const LineSetup& s);
// Two-line error (severity 2) naming the line, then wakro_quit("DSLINT      ").
[[noreturn]] void line_error(std::string_view first, const LineSetup& s);
// The four-line error of a conductor end at node 0 or below.
[[noreturn]] void grounded_end(const LineSetup& s);
// The dimension message of a line with more than ndde::nd5 conductors.
[[noreturn]] void too_many_conductors(const LineSetup& s);
// Maps and checks the two subsystems of a line (see dslint.cpp).
void wakro_dslintssn(std::int32_t ssoff, std::int32_t& kss, std::int32_t& mss);
// The time-step report of one mode shorter than one step (bound in us).
void short_travel_time(double bound_us, const LineSetup& s);
// The travel buffer of mode j, whose travel time is `steps` time steps: the
// report of a travel shorter than one step, the mode's slot count and fraction
// (e_s7::nt, e_s7::fnt) and the slots taken from the buffer, with message 36
// when they pass ndde::nd31.
void take_travel_slots(const LineSetup& s, const LineOptions& options, std::int32_t j, double steps);

// Reads the Bergeron record of the line (from its model line), fills the
// mode-domain tables and leaves the line's admittance in e_s7::dm.
void bergeron_setup(LineSetup& s);

// Reads the FRE-DEP record of the line (from its model line): the fitted
// characteristic impedance, propagation function and transformation of each
// mode, turned into recursive-convolution coefficients; leaves e_s7::dm.
void fredep_setup(LineSetup& s);

// Reads the FRE-PHASE data of the line (after its model line): the fitted
// characteristic admittance and the propagation function by delay group, into
// the tables of e_s7ph; leaves e_s7::dm.
void frephase_setup(LineSetup& s);

// Reads the MFDTD record of the line (after its model line, given here for its
// conductor and pole counts): segments, the fit's convolution coefficients and
// the segment matrices into e_s7mfd; leaves e_s7::dm.
void mfdtd_setup(LineSetup& s, const std::string& model_line);

// The MFDTD fit of line k (m poles, n conductors, step dt) turned into the
// coefficients of its recursive convolution (see mfdtd.cpp): Gamma into
// e_tlint::gamamfd, zeta1 and xi1 (n x n) and zeta2 and xi2 (per pole) into
// e_s7mfd.
void mgama(std::int32_t m, std::int32_t n, std::int32_t k);
void mzeta1(std::int32_t m, std::int32_t n, double dt, std::int32_t k);
void mxhi1(std::int32_t m, std::int32_t n, double dt, std::int32_t k);
void mzeta2(std::int32_t m, double dt, std::int32_t k);
void mxhi2(std::int32_t m, double dt, std::int32_t k);

// Inverts in place the n x n slice k of a (first two extents at least n); a
// singular slice stops with "Singular matrix encountered in MFDTD".
void mmat_inv(FArray<double, 3>& a, std::int32_t n, std::int32_t k);

// Residues e_s7::a(1..np) and constant term a0 of k (1 + s/z1)...(1 + s/znz) /
// (1 + s/p1)...(1 + s/pnp) from the zeros e_s7::z and poles e_s7::p (nz <= np,
// distinct poles, none at the origin); with ifl = 1, k is turned into the
// leading coefficient first and written back.
void frac(std::int32_t nz, std::int32_t np, double& k, double& a0, std::int32_t ifl);

// The 28-line console block of a conductor count that differs from the ends.
void conductor_count_block(const LineSetup& s);
// dm(r, c) = sum over k of T(r, k) g(o + k) T(c, k), T(r, k) = ti(t + (r - 1) n + k):
// the phase admittance of modal conductances g = e_s7::a0y.
void line_admittance(std::int32_t t, std::int32_t o, std::int32_t n);

}  // namespace wakro::lines
