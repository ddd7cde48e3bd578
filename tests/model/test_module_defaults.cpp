// The scalar state modules as the process finds them before anything runs: the
// documented defaults of the run settings and file names, the widths of their
// fixed texts, and the registries that start empty.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/emtio.h"
#include "model/fnames.h"
#include "model/multpl.h"
#include "model/outppp.h"
#include "model/pmr_consolidate.h"
#include "model/quolbv3.h"
#include "model/run_defaults.h"
#include "model/snpdat.h"
#include "model/tandem_line.h"
#include "model/versin.h"

namespace {

void expect_documented_run_settings() {
  EXPECT_EQ(assorc::input.view(), "DATA");
  EXPECT_EQ(fnames::inam.view(), "datafile" + std::string(26, ' '));
  EXPECT_EQ(fnames::onam.view(), "out" + std::string(31, ' '));
  EXPECT_EQ(fnames::snam.view(), "snap.snp" + std::string(26, ' '));
  EXPECT_EQ(fnames::rtsnam.view(), "runtime.snp" + std::string(23, ' '));
  EXPECT_EQ(fnames::mnam.view(), "mrun" + std::string(30, ' '));
  EXPECT_EQ(ctrl::zerot, 0);
  EXPECT_EQ(e_s1::fintim, 0.5);
  EXPECT_EQ(outppp::jplt, 10);
  EXPECT_EQ(outppp::outfil, 0);
  EXPECT_EQ(outppp::pplot, 0.0);
  EXPECT_EQ(outppp::snpfil, 0);
  EXPECT_EQ(snpdat::tsnap, 1e6);
  EXPECT_EQ(snpdat::snpinc, 1e6);
  EXPECT_EQ(snpdat::newsnp, 0);
  EXPECT_EQ(ctrl::multirun, false);
  EXPECT_EQ(ctrl::mrunctrl, 0);
  EXPECT_EQ(ctrl::nrun, 1);
  EXPECT_EQ(ctrl::mruntype, 0);
  EXPECT_EQ(ctrl::not2trace, 0);
  EXPECT_EQ(ctrl::rank, 0);
  EXPECT_EQ(pmr_consolidate::pmr_count, 0);
}

}  // namespace

TEST(ModuleDefaults, RunSettingsOfTheStartUpDialogue) { expect_documented_run_settings(); }

// The dialogues' and the tests' reset writes every run setting from the one
// table, back to the values the process starts with.
TEST(ModuleDefaults, TheResetRestoresEveryRunSetting) {
  assorc::input = "SNAP";
  fnames::inam = fnames::onam = fnames::snam = fnames::rtsnam = fnames::mnam = "x";
  ctrl::zerot = ctrl::mrunctrl = ctrl::nrun = ctrl::mruntype = ctrl::not2trace = ctrl::rank = 7;
  ctrl::multirun = true;
  e_s1::fintim = outppp::pplot = snpdat::tsnap = snpdat::snpinc = 7.0;
  outppp::jplt = outppp::outfil = outppp::snpfil = snpdat::newsnp = pmr_consolidate::pmr_count = 7;
  wakro::apply_run_defaults();
  expect_documented_run_settings();
}

TEST(ModuleDefaults, ProcessWideValues) {
  EXPECT_EQ(fnames::iunit, 49);
  EXPECT_EQ(emtio::iin, 5);
  EXPECT_EQ(emtio::iout, 6);
  EXPECT_EQ(versin::version, 5.0);
  // The console plot range before a case sets it, so its width is never 0.
  EXPECT_EQ(outppp::pmin, -2.0);
  EXPECT_EQ(outppp::pmax, 2.0);
  // The smallest travel-time bound starts above any bound a line can give.
  EXPECT_EQ(e_s7::tstepmin, 1.0e99);
  for (int i = 1; i <= 100; ++i) {
    const pmr_consolidate::FileEntry& f = pmr_consolidate::file_list(i);
    EXPECT_EQ(f.in_use, 0);
    EXPECT_EQ(f.name.view(), std::string(30, ' '));
    EXPECT_EQ(f.comp_id1, -1);
    EXPECT_EQ(f.comp_id2, -1);
    EXPECT_EQ(f.unit, -1);
    EXPECT_EQ(f.nvalues, -1);
  }
  EXPECT_EQ(pmr_consolidate::num_entries, 0);
  EXPECT_TRUE(pmr_consolidate::pmr_mrun_filename.is_blank());
}

TEST(ModuleDefaults, FixedTextWidths) {
  EXPECT_EQ(assorc::input.size(), 4u);
  EXPECT_EQ(assorc::title.size(), 72u);
  EXPECT_EQ(fnames::inam.size(), 34u);
  EXPECT_EQ(fnames::mapname.size(), 34u);
  EXPECT_EQ(fnames::tnam.size(), 34u);
  EXPECT_EQ(fnames::filename.size(), 72u);
  EXPECT_EQ(fnames::section.size(), 72u);
  EXPECT_EQ(fnames::dumlin.size(), 72u);
  EXPECT_EQ(versin::vername.size(), 32u);
  EXPECT_EQ(tandem_line::tandemline1.size(), 26u);
  EXPECT_EQ(tandem_line::tandemline2.size(), 26u);
  EXPECT_EQ(multpl::mrunfilename.size(), 360u);
  EXPECT_EQ(multpl::mrunxtralabel.size(), 186u);
  EXPECT_EQ(pmr_consolidate::pmr_mrun_filename.size(), 72u);
  EXPECT_EQ(quolbv3::ss_ref_style.size(), 3u);
  EXPECT_TRUE(quolbv3::ss_ref_style.is_blank());
}
