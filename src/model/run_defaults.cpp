// The run settings' reset from the one table (see run_defaults.h).
#include "model/run_defaults.h"

#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "model/pmr_consolidate.h"
#include "model/snpdat.h"

namespace wakro {

void apply_run_defaults() {
  const RunDefaults& d = kRunDefaults;
  assorc::input = d.input;
  fnames::inam = d.inam;
  ctrl::zerot = d.zerot;
  e_s1::fintim = d.fintim;
  outppp::jplt = d.jplt;
  outppp::outfil = d.outfil;
  fnames::onam = d.onam;
  outppp::pplot = d.pplot;
  outppp::snpfil = d.snpfil;
  snpdat::tsnap = d.tsnap;
  snpdat::snpinc = d.snpinc;
  snpdat::newsnp = d.newsnp;
  snpdat::at_run_end = d.snap_at_run_end;
  snpdat::at_first_step = d.snap_at_first_step;
  fnames::snam = d.snam;
  fnames::rtsnam = d.rtsnam;
  ctrl::multirun = d.multirun;
  ctrl::mrunctrl = d.mrunctrl;
  ctrl::nrun = d.nrun;
  fnames::mnam = d.mnam;
  ctrl::mruntype = d.mruntype;
  ctrl::not2trace = d.not2trace;
  ctrl::rank = d.rank;
  pmr_consolidate::pmr_count = d.pmr_count;
}

}  // namespace wakro
