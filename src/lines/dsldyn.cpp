// dsldyn / dslout: the per-step work of the lines.
//
// dsldyn runs once per step before any subsystem is solved, when the case has
// lines. With e_s0::vdc holding the last solution's node voltages it copies the
// control signals along ordinary lines, clears e_s0::ccli, and for every
// Bergeron and FRE-DEP line (fd_steps.cpp), then every FRE-PHASE line, advances
// the travelling waves, and for every MFDTD line (mfdtd_step.cpp) the segment
// currents and node voltages, and adds the line's history currents into
// e_s0::ccli at its end nodes; e_s0::cdctl then holds the negated history
// current of every conductor end. At time zero int4::cclid
// takes a copy of e_s0::ccli.
//
// dslout runs after every subsystem is solved and adds globaldm times the
// solved terminal voltages to e_s0::cdctl, which then holds the current into the
// line at each conductor end (end 1 the sending end, end 2 the receiving end).
//
// The per-step loops take each line's entries as plain pointers once per line
// (line_columns.h, modal_line.h); a three-conductor line runs a form of the
// same code with its loops fixed at three, every sum taking its terms in the
// same order. Nothing here allocates.
#include <algorithm>

#include "lines/eni.h"
#include "lines/line_columns.h"
#include "lines/line_records.h"
#include "lines/line_steps.h"
#include "lines/lines.h"
#include "lines/modal_line.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/ndde.h"
#include "model/quolbv3.h"

namespace {

using wakro::lines::kClientEnd;
using wakro::lines::kOrdinary;
using wakro::lines::kServerEnd;
namespace dir = wakro::lines::layout::directory;
constexpr std::int32_t kBergeron = static_cast<std::int32_t>(wakro::lines::LineModel::bergeron);
constexpr std::int32_t kFreDep = static_cast<std::int32_t>(wakro::lines::LineModel::fredep);
constexpr std::int32_t kFrePhase = static_cast<std::int32_t>(wakro::lines::LineModel::frephase);
constexpr std::int32_t kMfdtd = static_cast<std::int32_t>(wakro::lines::LineModel::mfdtd);

// The modal voltages of the two ends of one mode x, sum_c T(x, c) v(c) over
// each end's conductor voltages v in conductor order (an end with no voltage of
// its own, an ENI client's far end, keeps 0).
struct EndVoltages {
  double k = 0.0, m = 0.0;
};

// One Bergeron line: line L of table index j, its first ring slot r0, its ENI
// server number `server` (role 1). Returns the ring slots the line takes.
// N > 0: L has N conductors, fixed at compile time so that the conductor loops
// unroll and each end's node voltages are read once into registers; every sum
// takes its terms in the same order as with N = 0.
template <std::int32_t N>
std::int32_t bergeron_step(const wakro::lines::ModalLine& L, std::int32_t j, std::int32_t o,
                           std::int32_t r0, std::int32_t server) {
  using wakro::lines::at_node;
  using wakro::lines::run;
  const std::int32_t n = N > 0 ? N : L.n;
  const double* const T = L.T;
  const double* const vS = L.role == kServerEnd ? run(e_s7eni::eni_server_vol, 1, n, server) : nullptr;
  double* const ck = L.ck;
  double* const cm = L.cm;
  double* const ckk = run(e_s7::ckk, o + 1, n);
  double* const cmm = run(e_s7::cmm, o + 1, n);
  const double* const a0y = run(e_s7::a0y, o + 1, n);
  const double* const fnt = run(e_s7::fnt, o + 1, n);
  const double* const fk1 = run(e_s7::fk, o + 1, n, 1);
  const double* const fk2 = run(e_s7::fk, o + 1, n, 2);
  const double* const fm1 = run(e_s7::fm, o + 1, n, 1);
  const double* const fm2 = run(e_s7::fm, o + 1, n, 2);
  const std::int32_t* const nt = run(e_s7::nt, o + 1, n);
  std::int32_t* const m1 = run(e_s7::m1, o + 1, n);
  const bool infinite = e_s7::inflength(j);
  const double s = e_s7::splitk(j);
  const double w1 = e_s7::shapek(1, j), w2 = e_s7::shapek(2, j);

  // The end voltages, read once when the count is fixed.
  double vk[N > 0 ? N : 1], vm[N > 0 ? N : 1];
  if constexpr (N > 0) {
    for (std::int32_t c = 0; c < N; ++c) {
      vk[c] = at_node(L.vK, L.kn[c]);
      vm[c] = L.role == kOrdinary ? at_node(L.vM, L.mn[c]) : L.role == kServerEnd ? vS[c] : 0.0;
    }
  }
  // Modal voltages of the two ends of mode x.
  auto modal_voltages = [&](std::int32_t x) {
    EndVoltages V;
    if constexpr (N > 0) {
      for (std::int32_t c = 0; c < N; ++c) V.k += T[c * N + x] * vk[c];
      if (L.role == kOrdinary || L.role == kServerEnd)
        for (std::int32_t c = 0; c < N; ++c) V.m += T[c * N + x] * vm[c];
    } else {
      for (std::int32_t c = 0; c < n; ++c) V.k += T[c * n + x] * at_node(L.vK, L.kn[c]);
      if (L.role == kOrdinary)
        for (std::int32_t c = 0; c < n; ++c) V.m += T[c * n + x] * at_node(L.vM, L.mn[c]);
      if (L.role == kServerEnd)
        for (std::int32_t c = 0; c < n; ++c) V.m += T[c * n + x] * vS[c];
    }
    return V;
  };

  std::int32_t r = r0;  // ring offset of the mode
  for (std::int32_t x = 0; x < n; ++x) {
    const EndVoltages V = modal_voltages(x);
    const double Vk = V.k, Vm = V.m;
    const std::int32_t P = nt[x];
    const std::int32_t p = m1[x];
    const std::int32_t prev = p - 1 < 1 ? P : p - 1;
    if (infinite) {
      ck[x] = cm[x] = 0.0;
    } else {
      // Waves leaving each end into the ring, then the waves arriving now (the
      // ring slots r + 1 .. r + P at bm[0 .. P - 1]; with P = 1 prev is p, and
      // the arriving wave is the one just stored).
      double* const bm = run(e_s7::bm, r + 1, P);
      double* const bk = run(e_s7::bk, r + 1, P);
      const double h = 2.0 * fk1[x] - 1.0;
      const double ob = bm[prev - 1], okk = bk[prev - 1];
      bm[prev - 1] = Vm * (1.0 + h) * a0y[x] - h * cm[x];
      bk[prev - 1] = Vk * (1.0 + h) * a0y[x] - h * ck[x];
      const double f = fnt[x];
      const double Bm = f * ob + (1.0 - f) * bm[p - 1];
      const double Bk = f * okk + (1.0 - f) * bk[p - 1];
      // Loss split and first-order shaping.
      cmm[x] += (Bm - cmm[x]) * s;
      ckk[x] += (Bk - ckk[x]) * s;
      const double Dm = Bm - cmm[x], Dk = Bk - ckk[x];
      const double w = x == 0 ? w1 : w2;
      const double cm_old = cm[x], ck_old = ck[x];
      cm[x] += (Dm * fm2[x] + Dk * fm1[x] + cmm[x] * fk2[x] + ckk[x] * fk1[x] - cm_old) * w;
      ck[x] += (Dk * fm2[x] + Dm * fm1[x] + ckk[x] * fk2[x] + cmm[x] * fk1[x] - ck_old) * w;
    }
    m1[x] = p + 1 > P ? 1 : p + 1;
    r += P;
  }
  // Modal history currents back to the conductors.
  wakro::lines::inject_modal<N>(L);
  return r - r0;
}

// One end of a line for its terminal currents: the end's nodes (nodes[0 ..
// n - 1]) and the node voltages of its subsystem.
struct LineEnd {
  const std::int32_t* nodes;
  wakro::lines::NodeColumn<double> v;
};

// Adds globaldm(., ., i) times the node voltages of ends[e] to the terminal
// currents cdctl(., e + 1, i) of directory row i, e = 0 .. count - 1; each
// current takes its terms in conductor order. N > 0: n = N, fixed at compile
// time, each current summed in a register; otherwise column by column of the
// admittance, each node voltage read once.
template <std::int32_t N>
void add_terminal_currents(std::int32_t i, std::int32_t n, const LineEnd* ends, std::int32_t count) {
  using wakro::lines::at_node;
  using wakro::lines::run;
  if constexpr (N > 0) {
    const double* const G = run(e_s7::globaldm, 1, N, 1, i);
    const std::int32_t ld = e_s7::globaldm.extent(1);  // G[c ld + k] is globaldm(k + 1, c + 1, i)
    if constexpr (decltype(e_s7::globaldm)::kChecked) (void)e_s7::globaldm(N, N, i);
    for (std::int32_t e = 0; e < count; ++e) {
      double* const I = run(e_s0::cdctl, 1, N, e + 1, i);
      double vc[N];
      for (std::int32_t c = 0; c < N; ++c) vc[c] = at_node(ends[e].v, ends[e].nodes[c]);
      for (std::int32_t k = 0; k < N; ++k) {
        double sum = I[k];
        for (std::int32_t c = 0; c < N; ++c) sum += G[c * ld + k] * vc[c];
        I[k] = sum;
      }
    }
  } else {
    for (std::int32_t e = 0; e < count; ++e) {
      double* const I = run(e_s0::cdctl, 1, n, e + 1, i);
      for (std::int32_t c = 1; c <= n; ++c) {
        const double* const G = run(e_s7::globaldm, 1, n, c, i);
        const double vc = at_node(ends[e].v, ends[e].nodes[c - 1]);
        for (std::int32_t k = 0; k < n; ++k) I[k] += G[k] * vc;
      }
    }
  }
}

// The terminal currents of the first `count` ends, with the form for the
// conductor count.
void add_terminal_currents(std::int32_t i, std::int32_t n, const LineEnd* ends, std::int32_t count) {
  if (n == wakro::lines::kThreePhase)
    add_terminal_currents<wakro::lines::kThreePhase>(i, n, ends, count);
  else
    add_terminal_currents<0>(i, n, ends, count);
}

}  // namespace

void non_eni_csc_signals() {
  using e_s7::linemodel;
  for (std::int32_t i = 1; i <= e_s7::img; ++i) {
    if (linemodel(i, dir::kRole) != kOrdinary) continue;
    // Each end receives what the other end sends, never more than it listens to.
    const std::int32_t to_send =
        std::min(linemodel(i, dir::kSendingReceiveCount), linemodel(i, dir::kReceivingSendCount));
    for (std::int32_t j = 0; j < to_send; ++j)
      quolbv3::cscr(linemodel(i, dir::kSendingReceives) + j) =
          quolbv3::cscs(linemodel(i, dir::kReceivingSends) + j);
    const std::int32_t to_recv =
        std::min(linemodel(i, dir::kReceivingReceiveCount), linemodel(i, dir::kSendingSendCount));
    for (std::int32_t j = 0; j < to_recv; ++j)
      quolbv3::cscr(linemodel(i, dir::kReceivingReceives) + j) =
          quolbv3::cscs(linemodel(i, dir::kSendingSends) + j);
  }
}

void dsldyn() {
  eni_voltages();
  non_eni_csc_signals();
  e_s0::ccli.fill(0.0);

  // Mode-domain lines, walking the directory rows in order with the running
  // ring, transformation and server offsets.
  std::int32_t slots = 0, terms = 0, server = 0, apoles = 0, zpoles = 0;
  std::int32_t phase_rows = 0, mfdtd_rows = 0;  // rows for the passes below
  for (std::int32_t i = 1; i <= e_s7::img; ++i) {
    const std::int32_t model = e_s7::linemodel(i, dir::kModel);
    if (e_s7::linemodel(i, dir::kRole) == kServerEnd) ++server;
    if (e_s7::linemodel(i, dir::kRole) == kClientEnd) {
      // A client end's history comes from the server's process with the line
      // exchange; until it has arrived the step starts from none, so that
      // dslout does not add to the last step's terminal current.
      for (std::int32_t c = 1; c <= e_s7::linemodel(i, dir::kConductors); ++c)
        e_s0::cdctl(c, 1, i) = 0.0;
      continue;
    }
    if (model == kFrePhase) ++phase_rows;
    if (model == kMfdtd) ++mfdtd_rows;
    if (model != kBergeron && model != kFreDep) continue;
    const std::int32_t j = e_s7::linemodel(i, dir::kModelLine);
    const std::int32_t o = e_s7::linemodel(i, dir::kModeOffset);
    const std::int32_t n = e_s7::mode(j);
    if (n < 1) continue;
    if (model == kBergeron) {
      const wakro::lines::ModalLine L = wakro::lines::modal_line(j, i, o, terms);
      slots += n == wakro::lines::kThreePhase ? bergeron_step<wakro::lines::kThreePhase>(L, j, o, slots, server)
                                              : bergeron_step<0>(L, j, o, slots, server);
    } else {
      wakro::lines::fredep_step(j, i, o, slots, terms, apoles, zpoles, server);
      for (std::int32_t m = 1; m <= n; ++m) slots += e_s7::nt(o + m);
    }
    terms += n * n;
  }

  // Phase-domain lines, with their running offsets in the pooled tables.
  wakro::lines::PhaseOffsets at;
  server = 0;
  for (std::int32_t i = 1; phase_rows > 0 && i <= e_s7::img; ++i) {
    if (e_s7::linemodel(i, dir::kRole) == kServerEnd) ++server;
    if (e_s7::linemodel(i, dir::kModel) != kFrePhase) continue;
    const std::int32_t p = e_s7::linemodel(i, dir::kModelLine);
    if (e_s7ph::modeph(p) < 1) continue;
    wakro::lines::frephase_step(p, i, at, server);
  }

  // Finite-difference lines (never an ENI end: the reader refuses that).
  for (std::int32_t i = 1; mfdtd_rows > 0 && i <= e_s7::img; ++i)
    if (e_s7::linemodel(i, dir::kModel) == kMfdtd)
      wakro::lines::mfdtd_step(e_s7::linemodel(i, dir::kModelLine), i);

  // The far ends' histories to the client ends of ENI lines.
  eni_curinj();

  if (e_s1::timezero && int2::nmat >= 1)
    for (std::int32_t ss = 1; ss <= int2::nmat; ++ss)
      for (std::int32_t k = 1; k <= e_s0::mbus(ss); ++k) int4::cclid(k, ss) = e_s0::ccli(k, ss);
}

void dslout() {
  using e_s7::linemodel;
  using wakro::lines::NodeColumn;
  using wakro::lines::run;
  std::int32_t client = 0;
  for (std::int32_t i = 1; i <= e_s7::img; ++i) {
    const std::int32_t role = linemodel(i, dir::kRole);
    if (role == kClientEnd) {
      ++client;
      const std::int32_t n = linemodel(i, dir::kConductors);
      const std::int32_t ss = e_s7eni::eni_client_ss(client);
      const LineEnd end{run(e_s7eni::eni_client_nodes, 1, n, client), NodeColumn<double>(e_s0::vdc, ss)};
      add_terminal_currents(i, n, &end, 1);
      continue;
    }
    const std::int32_t model = linemodel(i, dir::kModel);
    if (model < 0 || model > kMfdtd) continue;
    const bool phase = model == kFrePhase, mfdtd = model == kMfdtd;
    const std::int32_t j = linemodel(i, dir::kModelLine);
    const std::int32_t o = linemodel(i, dir::kModeOffset);
    const std::int32_t n = phase ? e_s7ph::modeph(j) : mfdtd ? e_s7mfd::modemfd(j) : e_s7::mode(j);
    const std::int32_t ks = phase ? e_s7ph::kssph(j) : mfdtd ? e_s7mfd::kssmfd(j) : e_s7::kss(j);
    const std::int32_t ms = phase ? e_s7ph::mssph(j) : mfdtd ? e_s7mfd::mssmfd(j) : e_s7::mss(j);
    wakro::FArray<std::int32_t, 1>& knodes = phase ? e_s7ph::knodeph : mfdtd ? e_s7mfd::knodemfd : e_s7::knode;
    wakro::FArray<std::int32_t, 1>& mnodes = phase ? e_s7ph::mnodeph : mfdtd ? e_s7mfd::mnodemfd : e_s7::mnode;
    // Both ends of an ordinary line; of an ENI server end its own end only.
    const LineEnd ends[2] = {{run(knodes, o + 1, n), NodeColumn<double>(e_s0::vdc, ks)},
                             {run(mnodes, o + 1, n), NodeColumn<double>(e_s0::vdc, ms)}};
    add_terminal_currents(i, n, ends, role == kOrdinary ? 2 : 1);
  }
}
