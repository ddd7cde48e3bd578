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
// Nothing here allocates.
#include <algorithm>

#include "lines/eni.h"
#include "lines/line_records.h"
#include "lines/line_steps.h"
#include "lines/lines.h"
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

// Node voltage of the last solution, ground reading 0.
double node_voltage(std::int32_t node, std::int32_t ss) { return node > 0 ? e_s0::vdc(node, ss) : 0.0; }

// One Bergeron line: table index j, directory row i, its first ring slot r0 and
// transformation block t0 (running offsets over the earlier lines).
void bergeron_step(std::int32_t j, std::int32_t i, std::int32_t o, std::int32_t r0, std::int32_t t0,
                   std::int32_t server) {
  using namespace e_s7;
  const std::int32_t n = mode(j);
  const std::int32_t role = linemodel(i, dir::kRole);
  auto T = [t0, n](std::int32_t m, std::int32_t c) { return ti(t0 + (c - 1) * n + m); };
  std::int32_t r = r0;  // ring offset of the mode
  for (std::int32_t m = 1; m <= n; ++m) {
    const std::int32_t q = o + m;
    // Modal voltages of the two ends.
    double Vk = 0.0, Vm = 0.0;
    for (std::int32_t c = 1; c <= n; ++c) {
      Vk += T(m, c) * node_voltage(knode(o + c), kss(j));
      if (role == kOrdinary) Vm += T(m, c) * node_voltage(mnode(o + c), mss(j));
      if (role == kServerEnd) Vm += T(m, c) * e_s7eni::eni_server_vol(c, server);
    }
    const std::int32_t P = nt(q);
    const std::int32_t p = m1(q);
    const std::int32_t prev = p - 1 < 1 ? P : p - 1;
    if (inflength(j)) {
      ck(q) = cm(q) = 0.0;
    } else {
      // Waves leaving each end into the ring, then the waves arriving now.
      const double h = 2.0 * fk(q, 1) - 1.0;
      const double ob = bm(r + prev), okk = bk(r + prev);
      bm(r + prev) = Vm * (1.0 + h) * a0y(q) - h * cm(q);
      bk(r + prev) = Vk * (1.0 + h) * a0y(q) - h * ck(q);
      const double f = fnt(q);
      const double Bm = f * ob + (1.0 - f) * bm(r + p);
      const double Bk = f * okk + (1.0 - f) * bk(r + p);
      // Loss split and first-order shaping.
      const double s = splitk(j);
      cmm(q) += (Bm - cmm(q)) * s;
      ckk(q) += (Bk - ckk(q)) * s;
      const double Dm = Bm - cmm(q), Dk = Bk - ckk(q);
      const double w = m == 1 ? shapek(1, j) : shapek(2, j);
      const double cm_old = cm(q), ck_old = ck(q);
      cm(q) += (Dm * fm(q, 2) + Dk * fm(q, 1) + cmm(q) * fk(q, 2) + ckk(q) * fk(q, 1) - cm_old) * w;
      ck(q) += (Dk * fm(q, 2) + Dm * fm(q, 1) + ckk(q) * fk(q, 2) + cmm(q) * fk(q, 1) - ck_old) * w;
    }
    m1(q) = p + 1 > P ? 1 : p + 1;
    r += P;
  }
  // Modal history currents back to the conductors.
  wakro::lines::inject_modal(j, i, o, t0);
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
    if (model != kBergeron && model != kFreDep) continue;
    const std::int32_t j = e_s7::linemodel(i, dir::kModelLine);
    const std::int32_t o = e_s7::linemodel(i, dir::kModeOffset);
    const std::int32_t n = e_s7::mode(j);
    if (n < 1) continue;
    if (model == kBergeron) bergeron_step(j, i, o, slots, terms, server);
    if (model == kFreDep) wakro::lines::fredep_step(j, i, o, slots, terms, apoles, zpoles, server);
    for (std::int32_t m = 1; m <= n; ++m) slots += e_s7::nt(o + m);
    terms += n * n;
  }

  // Phase-domain lines, with their running offsets in the pooled tables.
  wakro::lines::PhaseOffsets at;
  server = 0;
  for (std::int32_t i = 1; i <= e_s7::img; ++i) {
    if (e_s7::linemodel(i, dir::kRole) == kServerEnd) ++server;
    if (e_s7::linemodel(i, dir::kModel) != kFrePhase) continue;
    const std::int32_t p = e_s7::linemodel(i, dir::kModelLine);
    if (e_s7ph::modeph(p) < 1) continue;
    wakro::lines::frephase_step(p, i, at, server);
  }

  // Finite-difference lines (never an ENI end: the reader refuses that).
  for (std::int32_t i = 1; i <= e_s7::img; ++i)
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
  std::int32_t client = 0;
  for (std::int32_t i = 1; i <= e_s7::img; ++i) {
    const std::int32_t role = linemodel(i, dir::kRole);
    if (role == kClientEnd) {
      ++client;
      const std::int32_t n = linemodel(i, dir::kConductors);
      const std::int32_t ss = e_s7eni::eni_client_ss(client);
      for (std::int32_t k = 1; k <= n; ++k)
        for (std::int32_t c = 1; c <= n; ++c)
          e_s0::cdctl(k, 1, i) += e_s7::globaldm(k, c, i) *
                                  node_voltage(e_s7eni::eni_client_nodes(c, client), ss);
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
    const wakro::FArray<std::int32_t, 1>& knodes =
        phase ? e_s7ph::knodeph : mfdtd ? e_s7mfd::knodemfd : e_s7::knode;
    const wakro::FArray<std::int32_t, 1>& mnodes =
        phase ? e_s7ph::mnodeph : mfdtd ? e_s7mfd::mnodemfd : e_s7::mnode;
    for (std::int32_t k = 1; k <= n; ++k)
      for (std::int32_t c = 1; c <= n; ++c) {
        e_s0::cdctl(k, 1, i) += e_s7::globaldm(k, c, i) * node_voltage(knodes(o + c), ks);
        if (role == kOrdinary)
          e_s0::cdctl(k, 2, i) += e_s7::globaldm(k, c, i) * node_voltage(mnodes(o + c), ms);
      }
  }
}
