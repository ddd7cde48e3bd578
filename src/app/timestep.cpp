// wakro_timestep with its resets, the call of the time-zero matrix build and
// the storage-pointer checks.
//
// The three pointer sets are recorded on their first check of the process and
// compared on every later one, so later runs of a multiple run must reach the
// values of the first. A difference writes the corruption report (recorded value
// in columns 14-21, current value in columns 28-35) and ends the run through
// wakro_quit. Nothing here allocates: the checks compare plain integers.
#include "app/timestep.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "app/seams.h"
#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/quit.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s5.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "network/matrix.h"

namespace {

constexpr std::string_view kStars = "***************************************************";

// One pointer of a checked set: its report label and where it lives.
struct Pointer {
  const char* label;
  std::int32_t* value;
};

// A checked set: pointers (at most 13), their recorded values and the report
// texts. A null label marks the line "Quolb Pointer values:" in the report.
template <std::size_t N>
struct PointerSet {
  const char* tag;
  const char* which;  // the fourth report line
  std::array<Pointer, N> pointers;
  std::array<std::int32_t, N> recorded{};
  bool isRecorded = false;
};

PointerSet<14> nexcSet{"CHKNEXC     ",
                       "incorrectly increment NEXCx or NSTORx pointers",
                       {{{"  NEXC    = ", &e_s2::nexc},
                         {"  NSTORC  = ", &storage::nstorc},
                         {"  NSTORF  = ", &storage::nstorf},
                         {"  NSTORI  = ", &storage::nstori},
                         {"  NSTORL  = ", &storage::nstorl},
                         {nullptr, nullptr},
                         {"  NSTOL   = ", &quolbv3::nstol},
                         {"  NSTOI   = ", &quolbv3::nstoi},
                         {"  NSTOF   = ", &quolbv3::nstof},
                         {"  NSTOC   = ", &quolbv3::nstoc},
                         {"  NVAR    = ", &quolbv3::nvar},
                         {"  NNODE   = ", &quolbv3::nnode},
                         {"  NSUBS   = ", &quolbv3::nsubs},
                         {"  NTXFR   = ", &quolbv3::ntxfr}}}};

PointerSet<4> nrtcSet{"CHKNRTC     ",
                      "incorrectly increment NRTCx pointers",
                      {{{"  NRTCL  = ", &rt_config::nrtcl},
                        {"  NRTCI  = ", &rt_config::nrtci},
                        {"  NRTCF  = ", &rt_config::nrtcf},
                        {"  NRTCC  = ", &rt_config::nrtcc}}}};

PointerSet<4> txfrSet{"CHKTXFRS    ",
                      "incorrectly increment NSTXFRx pointers",
                      {{{"  NSTXFRL  = ", &storage::nstxfrl},
                        {"  NSTXFRI  = ", &storage::nstxfri},
                        {"  NSTXFRF  = ", &storage::nstxfrf},
                        {"  NSTXFRC  = ", &storage::nstxfrc}}}};

template <std::size_t N>
[[noreturn]] void report_corruption(const PointerSet<N>& set) {
  using wakro::ListLine;
  std::ostream& out = wakro::console();
  ListLine() << kStars;
  ListLine() << "ERROR: Storage Pointers have become Corrupt!";
  ListLine() << "This usually occurs when user-written subroutines";
  ListLine() << set.which;
  ListLine() << "when using IF/ELSE/ENDIF logic.";
  ListLine() << "It also occurs when using invalid snapshot files!";
  ListLine() << "";
  ListLine() << "User Pointer values:";
  wakro::write_layout(out, "(     ' Values At:    TIME=0     ',G18.6,' Sec.')", {e_s1::time});
  for (std::size_t k = 0; k < N; ++k) {
    const Pointer& p = set.pointers[k];
    if (p.label == nullptr) {
      ListLine() << "Quolb Pointer values:";
      continue;
    }
    wakro::write_layout(out, "(A,T14,I8,T28,I8)", {p.label, set.recorded[k], *p.value});
  }
  ListLine() << "Check user-written models to ensure these pointers";
  ListLine() << "are incremented by the same amount each time step.";
  ListLine() << "";
  wakro_quit(set.tag, 0);
}

template <std::size_t N>
void check(PointerSet<N>& set) {
  if (!set.isRecorded) {
    for (std::size_t k = 0; k < N; ++k)
      set.recorded[k] = set.pointers[k].value != nullptr ? *set.pointers[k].value : 0;
    set.isRecorded = true;
    return;
  }
  for (std::size_t k = 0; k < N; ++k) {
    if (set.pointers[k].value != nullptr && *set.pointers[k].value != set.recorded[k]) report_corruption(set);
  }
}

template <class A>
void clear(A& a) {
  if (a.allocated()) a.fill({});
}

}  // namespace

void wakro_resetdsd() {
  quolbv3::nstol = quolbv3::nstoi = quolbv3::nstof = quolbv3::nstoc = 0;
  quolbv3::nvar = 0;
  quolbv3::npgb = 0;
  quolbv3::nnode = 0;
  quolbv3::nsubs = 0;
  quolbv3::ntxfr = 0;
  quolbv3::nxfmr = 0;
  radiolinks::ntxrx = 0;
  quolbv3::ncx = 0;
  quolbv3::ncall_no = 1;
  quolbv3::ncscs = quolbv3::ncscr = 0;
  quolbv3::nmanae = 0;
  e_s2::nexc = 0;
  storage::nstorl = storage::nstori = storage::nstorf = storage::nstorc = 1;
  storage::this_ = 1;
  rt_config::nrtcl = rt_config::nrtci = rt_config::nrtcf = rt_config::nrtcc = 1;
  storage::nstxfrl = storage::nstxfri = storage::nstxfrf = storage::nstxfrc = 1;
  clear(quolbv3::nbrch);
  clear(quolbv3::nmbrch);
  clear(e_s0::ccin);
  clear(e_s0::ggin);
}

void wakro_resetdso() {
  quolbv3::npgb = 0;
  quolbv3::nnode = 0;
  quolbv3::nsubs = 0;
  quolbv3::ntxfr = 0;
  quolbv3::nxfmr = 0;
  radiolinks::ntxrx = 0;
  quolbv3::ncall_no = 1;
  quolbv3::ncscs = quolbv3::ncscr = 0;
  quolbv3::nmanae = 0;
  storage::nstxfrl = storage::nstxfri = storage::nstxfrf = storage::nstxfrc = 1;
  clear(quolbv3::nbrch);
  clear(quolbv3::nmbrch);
}

void wakro_chknexc() { check(nexcSet); }
void wakro_chknrtc() { check(nrtcSet); }
void wakro_chktxfrs() { check(txfrSet); }

void wakro_chkstor() {
  using ndde::e_ndim;
  using wakro::ListLine;
  e_ndim(dim::subsys) = int2::nmat;
  std::int32_t nodes = 0;
  const std::int32_t nss = e_s0::mbus.allocated() ? std::min(int2::nmat, e_s0::mbus.extent(1)) : 0;
  for (std::int32_t s = 1; s <= nss; ++s) nodes = std::max(nodes, e_s0::mbus(s));
  e_ndim(dim::nodes) = nodes;
  e_ndim(dim::trafos) = e_s5::jset;
  std::int32_t windings = 0;
  const std::int32_t nt = e_s5::msiz.allocated() ? std::min(e_s5::jset, e_s5::msiz.extent(1)) : 0;
  for (std::int32_t k = 1; k <= nt; ++k) windings = std::max(windings, e_s5::msiz(k));
  e_ndim(dim::windings) = windings;
  e_ndim(dim::stor) = e_s2::nexc;
  e_ndim(dim::storl) = storage::nstorl - 1;
  e_ndim(dim::stori) = storage::nstori - 1;
  e_ndim(dim::storf) = storage::nstorf - 1;
  e_ndim(dim::storc) = storage::nstorc - 1;
  e_ndim(dim::rtcl) = rt_config::nrtcl - 1;
  e_ndim(dim::rtci) = rt_config::nrtci - 1;
  e_ndim(dim::rtcf) = rt_config::nrtcf - 1;
  e_ndim(dim::rtcc) = rt_config::nrtcc - 1;
  e_ndim(dim::stxfrl) = storage::nstxfrl - 1;
  e_ndim(dim::stxfri) = storage::nstxfri - 1;
  e_ndim(dim::stxfrf) = storage::nstxfrf - 1;
  e_ndim(dim::stxfrc) = storage::nstxfrc - 1;

  struct Limit {
    const char* text;
    std::int32_t used;
    std::int32_t size;
  };
  const Limit limits[] = {
      {"WAKRO: STOR array dimension exceeded", e_s2::nexc, ndde::nd10},
      {"WAKRO: STORL array dimension exceeded", storage::nstorl - 1, ndde::nd27},
      {"WAKRO: STORI array dimension exceeded", storage::nstori - 1, ndde::nd28},
      {"WAKRO: STORF array dimension exceeded", storage::nstorf - 1, ndde::nd29},
      {"WAKRO: STORC array dimension exceeded", storage::nstorc - 1, ndde::nd30},
  };
  bool failed = false;
  for (const Limit& l : limits) {
    if (l.used <= l.size) continue;
    ListLine() << l.text;
    ListLine() << "Required Dimension:" << l.used;
    failed = true;
  }
  if (!failed) return;
  ListLine() << "The storage is set by Quolb by adding up";
  ListLine() << "the storage requirements as specified by";
  ListLine() << "the #STORAGE: syntax in each component.";
  wakro_quit("CHKSTOR     ", 0);
}

void wakro_timestep() {
  wakro::Seams& s = wakro::seams();
  wakro_resetdsd();
  e_s1::onstep = true;
  s.dsdyn();
  wakro_chktxfrs();
  ctrl::lastrun = ctrl::mmm == ctrl::nrun;
  if (int2::nmat > 0) {
    if (e_s1::firststep) s.eni_init();
    if (e_s1::timezero) wakro_buildgm();
    s.intsolvi();
  }
  e_s1::onstep = true;
  if (outppp::outfil != 0 && (ctrl::lastrun || outppp::mplt > 0) && fnames::iunitout == 0 &&
      fnames::iouttype == 0)
    s.wakro_outputfile(1);
  wakro_resetdso();
  s.dsout();
  if (e_s1::firststep) wakro_chkstor();
  wakro_chknexc();
  wakro_chknrtc();
  wakro_chktxfrs();
  if (quolbv3::guisoc != 0) s.calc_pf();
}

namespace wakro {

void reset_pointer_records() {
  nexcSet.isRecorded = false;
  nrtcSet.isRecorded = false;
  txfrSet.isRecorded = false;
}

}  // namespace wakro
