#include "block_bench.h"

#include <string>
#include <vector>

#include "app/driver.h"
#include "app/runloop.h"
#include "app/seams.h"
#include "app/timestep.h"
#include "link/exchange.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/initialz.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/snpdat.h"

namespace blocks_test {

namespace {

BlockBench* current = nullptr;

void bench_begin() {
  if (current->begin) current->begin();
}
void bench_dynamics() {
  if (current->dynamics) current->dynamics();
}
void bench_output() {
  if (current->output) current->output();
}
void bench_nothing() {}
void bench_progress(bool) {}
void bench_nothing_i(std::int32_t) {}

}  // namespace

BlockBench::BlockBench(double delt, BenchSizes sizes) : delt_(delt) {
  // The dimension table of a case with storage and no network.
  for (int k = 1; k <= dim::count; ++k) ndde::e_ndim(k) = 0;
  ndde::e_ndim(dim::stor) = sizes.stor;
  ndde::e_ndim(dim::storf) = sizes.storf;
  ndde::e_ndim(dim::stori) = sizes.stori;
  ndde::e_ndim(dim::storl) = sizes.storl;
  ndde::e_ndim(dim::storc) = sizes.storc;
  ndde::e_ndim(dim::rtcf) = sizes.rtcf;
  ndde::e_ndim(dim::rtci) = sizes.rtci;
  ndde::e_ndim(dim::rtcl) = sizes.rtcl;
  ndde::e_ndim(dim::rtcc) = sizes.rtcc;
  ndde::deallocate_nd();
  std::int32_t status = 0;
  ndde::allocate_nd(status);

  wakro::reset_seams();
  wakro::reset_pointer_records();
  wakro::Seams& s = wakro::seams();
  s.dsdyn_begin = &bench_begin;
  s.dsout_begin = &bench_nothing;
  s.dsdyn = &bench_dynamics;
  s.dsout = &bench_output;
  s.wakro_percentcomplete = &bench_progress;
  s.wakro_outputfile = s.wakro_outputfilebin = &bench_nothing_i;
  s.set_klu = s.intsolvi = &bench_nothing;

  exQuolb = nullptr;
  quolbv3::guisoc = 0;
  ctrl::nrun = ctrl::mmm = 1;
  ctrl::firstrun = true;
  ctrl::multirun = false;
  ctrl::mruntype = ctrl::mrunctrl = ctrl::not2trace = 0;
  snpdat::iiisnp = 0;
  snpdat::tsnap = snpdat::snpinc = 1.0e6;
  outppp::outfil = outppp::snpfil = 0;
  outppp::pplot = 0.0;
  options::prndim = false;
  int2::nmat = 0;
  e_warn::comp_id1 = e_warn::comp_id2 = 0;
  assorc::input = "DATA";
  fnames::inam = "bench.map";
  wakro::run_without_steps = false;
  current = this;
}

BlockBench::~BlockBench() {
  current = nullptr;
  wakro::reset_seams();
  wakro::reset_pointer_records();
  ndde::deallocate_nd();
}

wakro_test::Outcome BlockBench::run(std::int32_t nsteps) {
  current = this;
  e_s1::delt = delt_;
  e_s1::print = delt_;
  e_s1::fintim = delt_ * nsteps;
  return wakro_test::run_captured([] {
    wakro_initialz();
    wakro_initcom();
    bool version5 = true, gui = false;
    std::int32_t abort = 0;
    wakro_runloop(version5, gui, abort);
  });
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace blocks_test
