// The data-file form of the compensator: its time-zero set-up from data lines
// and its step through node injections.
#include "devices/svc400.h"

#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

#include "blocks/converter_controls.h"
#include "blocks/network_reads.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "devices/svc_model.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "network/companion.h"
#include "network/matrix.h"

namespace {

using wakro::devices::SvcConstants;

constexpr std::string_view kTag = "SVC400";
constexpr double kAdvanceFrequency = 60.0;  // Hz of the terminal voltages' one-step advance
constexpr double kC0Floor = 0.05;
constexpr double kMinShunt = 1.0e-10;
constexpr std::int32_t kHarmTerminals = 6;
namespace L = wakro::devices::layout::svc400;
namespace H = wakro::devices::layout::svc_head;
constexpr std::int32_t kConstants = L::kConstantsStor;
// Constants (1-based in their view).
constexpr std::int32_t kKMinv = L::kMinv, kKMinvB = L::kMinvB, kKNcap = L::kNcap, kKNc0 = L::kNc0;
// Snubber slots (1-based in their view of six).
using L::kSnubG, L::kSnubA, L::kSnubB, L::kSnubH;

void require(bool ok, std::string_view what) {
  if (!ok) wakro::devices::device_fatal(kTag, what);
}

// Reads data line n (after the comment skip) into items; a failure stops.
void read_line(std::int32_t n, std::initializer_list<wakro::ListItem> items) {
  rdcmnt();
  if (wakro::list_read_unit(fnames::iunit, items) == wakro::ReadStatus::ok) return;
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                "Error reading SVC data line " + std::to_string(n));
  wakro_quit(kTag, 1);
}

void box(std::initializer_list<std::string_view> lines) {
  constexpr std::string_view kStars = "***************************************************";
  wakro::ListLine() << kStars;
  wakro::ListLine() << "* WARNING   WARNING   WARNING   WARNING   WARNING *";
  wakro::ListLine() << "* ------------------------------------------------*";
  for (const std::string_view l : lines) wakro::ListLine() << l;
  wakro::ListLine() << kStars;
}

// Time zero: reads the data lines and fills the constants.
void set_up(const wakro::blocks::Slots<double>& kv, std::int32_t iss, const std::int32_t (&nodes)[3], double gsh,
            double scale) {
  // Lines 1-9: the lower triangle of L9, filled by symmetry.
  double l9[81] = {};
  for (std::int32_t i = 1; i <= 9; ++i) {
    double row[9] = {};
    read_line(i, {std::span<double>(row, static_cast<std::size_t>(i))});
    for (std::int32_t j = 1; j <= i; ++j) l9[9 * (j - 1) + (i - 1)] = l9[9 * (i - 1) + (j - 1)] = row[j - 1];
  }
  for (std::int32_t i = 0; i < 9; ++i) require(l9[10 * i] > 0.0, "SVC winding self-inductances must be positive");
  const double l11 = l9[0], l44 = l9[30], l41 = l9[3];
  const double leak = 2.0 * l11 * (1.0 - l41 / std::sqrt(l11 * l44)) / scale;
  if (gsh >= kMinShunt) {
    wakro::harm_record(kHarmTerminals, iss, {nodes[0], nodes[1], nodes[2]}, {leak, 1.0 / (gsh * scale)});
  } else {
    wakro::harm_record(kHarmTerminals, iss, {nodes[0], nodes[1], nodes[2]}, {leak});
  }
  SvcConstants k;
  wakro::devices::svc_transformer(kTag, l9, k);
  // Lines 10 and 11.
  double lt = 0.0, r = 0.0, cs = 0.0, ron = 0.0, roff = 0.0, cst = 0.0, rd = 0.0, c0 = 0.0;
  std::int32_t ncap = 0, nc0 = 0;
  read_line(10, {lt, r, cs, ron, roff});
  read_line(11, {cst, rd, ncap, nc0, c0});
  require(lt > 0.0 && cs > 0.0 && cst > 0.0 && rd > 0.0, "SVC LT, Cs, CST and RD must be positive");
  require(ncap >= 1 && nc0 >= 0, "SVC needs at least one capacitor stage and a non-negative initial count");
  if (roff <= ron) wakro::devices::device_fatal(kTag, "On resistance must be less than Off resistance");
  if (ncap > wakro::devices::kSvcMaxStages) {
    ncap = wakro::devices::kSvcMaxStages;
    box({"* The maximum number of capacitor stages entered  *", "* in the eleventh line of SVC data in DATAFILE    *",
         "* cannot be greater then 10. Thus, NCAP=10 is set.*"});
  }
  if (nc0 > ncap) {
    nc0 = ncap;
    box({"* The initial number of capacitor stages entered  *", "* in the eleventh line of SVC data in DATAFILE    *",
         "* can not be greater then the number of capacitor *", "* stages NCAP, thus NC0=NCAP is set.              *"});
  }
  if (c0 > 0.0 && c0 < kC0Floor * cst) c0 = kC0Floor * cst;
  const double head[8] = {lt, r, cs * 1e-6, ron, roff, cst * 1e-6, c0 * 1e-6, rd};
  for (std::int32_t i = 0; i < H::kSize; ++i) kv(H::kLt + i) = head[i];
  for (std::int32_t i = 0; i < 64; ++i) kv(kKMinv + i) = k.minv[i];
  for (std::int32_t i = 0; i < 32; ++i) kv(kKMinvB + i) = k.minvb[i];
  kv(kKNcap) = ncap;
  kv(kKNc0) = nc0;
}

SvcConstants constants(const wakro::blocks::Slots<double>& kv, std::int32_t nsub, std::int32_t nref) {
  SvcConstants k;
  wakro::devices::svc_head_from(kv, k);
  for (std::int32_t i = 0; i < 64; ++i) k.minv[i] = kv(kKMinv + i);
  for (std::int32_t i = 0; i < 32; ++i) k.minvb[i] = kv(kKMinvB + i);
  wakro::devices::svc_reactor_matrix(k);
  k.ncap = static_cast<std::int32_t>(std::lround(kv(kKNcap)));
  k.nc0 = static_cast<std::int32_t>(std::lround(kv(kKNc0)));
  k.nsub = nsub;
  k.nref = nref;
  return k;
}

}  // namespace

void svc400(std::int32_t iss, std::int32_t node1, std::int32_t node2, std::int32_t node3, double alpha,
            double& cord, std::int32_t enab, std::int32_t& cmode, std::int32_t& ncord, std::int32_t fsrc, double kp,
            double ki, std::int32_t nsub, std::int32_t nref, double s, double v1, double f, double xair,
            double fknee, double gsh, double tflux, double scale) {
  const std::int32_t nodes[3] = {node1, node2, node3};
  if (e_s1::timezero) {
    wakro::blocks::check_nodes(kTag, iss, {node1, node2, node3});
    require(s > 0.0 && v1 > 0.0 && f > 0.0, "SVC rating, voltage and frequency must be positive");
    require(xair > 0.0 && tflux > 0.0, "SVC saturation slope and flux time constant must be positive");
    require(scale != 0.0 && nsub >= 1, "SVC needs a non-zero scale and at least one sub-step");
  }
  // The terminal voltages and their advance.
  double v[3], vp[3];
  for (int p = 0; p < 3; ++p) v[p] = wakro::blocks::node_voltage(nodes[p], iss);
  edph2(v[0], v[1], v[2], vp[0], vp[1], vp[2], kAdvanceFrequency);
  const auto kv = wakro::blocks::take_stor(kConstants);
  if (e_s1::timezero) set_up(kv, iss, nodes, gsh, scale);
  const SvcConstants k = constants(kv, nsub, nref);
  // The internal circuit.
  const auto blk = wakro::blocks::take_stor(wakro::devices::kSvcBlock);
  wakro::devices::SvcOrders io{alpha, &cord, enab, fsrc, kp, ki};
  wakro::devices::svc_step(k, blk, vp, io);
  cmode = io.cmode;
  ncord = io.ncord;
  double sat[3];
  for (int p = 0; p < 3; ++p) {
    double psi = 0.0;
    sat[p] = stsvc2(vp[p], xair, fknee, v1, std::sqrt(3.0) * s / v1, f, tflux, psi);
  }
  // The terminal snubbers and the injections.
  const auto sn = wakro::blocks::take_stor(L::kSnubberStor);
  if (e_s1::timezero) {
    const double g = 20.0 / (21.0 * 7.0 * v1 * v1 / s);
    sn(kSnubG) = g;
    sn(kSnubA) = 2.0 * g / 21.0;
    sn(kSnubB) = 19.0 / 21.0;
    for (const std::int32_t n : nodes) wakro::enable_norton(kTag, iss, n);
  }
  const double gc = 5.0 * wakro::kTwoPi * f * e_s1::delt / (v1 * v1 / s);
  for (int p = 0; p < 3; ++p) {
    double& h = sn(kSnubH + p);
    h = sn(kSnubB) * h - sn(kSnubA) * vp[p];
    const double j = enab > 0 ? ((sat[p] - wakro::devices::svc_primary_current(blk, p + 1)) + gc * vp[p]) * scale - h
                              : gc * vp[p] * scale;
    wakro::add_norton(kTag, iss, nodes[p], (gc + gsh) * scale + sn(kSnubG), j);
  }
}
