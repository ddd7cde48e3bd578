// The one reset of the engine's shared state that every test fixture uses: a
// process state made dirty in every kind of state (files, arrays, scalars,
// hooks and seams) comes back as the process starts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "app/driver.h"
#include "app/link_start.h"
#include "app/seams.h"
#include "files/units.h"
#include "input/reader_hooks.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/farray.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/storage.h"
#include "support/shared_state.h"

namespace {

void other_dsdyn() {}
void other_rdbrs(std::int32_t) {}
void other_clock(DateTime8&) {}

TEST(SharedState, OneResetBringsBackTheStateOfAFreshProcess) {
  wakro_test::reset_shared_state();
  const wakro::Seams fresh_seams = wakro::seams();
  const wakro::ReaderHooks fresh_reader = wakro::reader_hooks();
  const std::uint64_t held = wakro::array_bytes_held();

  // Dirty: a unit open, arrays allocated, scalars moved, hooks replaced.
  const std::string name = "/tmp/wakro_app_shared_" + std::to_string(getpid()) + ".txt";
  std::FILE* f = std::fopen(name.c_str(), "w");
  std::fputs("x\n", f);
  std::fclose(f);
  fnames::filename = name;
  wakro_openfile();
  ndde::e_ndim(dim::nodes) = 3;
  ndde::e_ndim(dim::subsys) = 1;
  std::int32_t status = 0;
  ndde::allocate_nd(status);
  ASSERT_TRUE(e_s4::pgb.allocated());
  ctrl::mmm = 4;
  ctrl::firstrun = false;
  e_s1::fintim = 9.0;
  fnames::inam = "other.map";
  outppp::jplt = 0;
  quolbv3::guisoc = 1;
  storage::nstorf = 77;
  wakro::seams().dsdyn = &other_dsdyn;
  wakro::reader_hooks().rdbrs = &other_rdbrs;
  wakro::date_and_time = &other_clock;
  wakro::bUseLumbra = true;
  wakro::set_array_memory_budget(12345);

  wakro_test::reset_shared_state();
  std::remove(name.c_str());

  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  EXPECT_FALSE(wakro::unit_is_open(wakro::kUnitBase + 1));
  EXPECT_FALSE(e_s4::pgb.allocated());
  EXPECT_EQ(ndde::e_ndim(dim::nodes), 0);
  EXPECT_EQ(ndde::nd1, 0);
  EXPECT_EQ(wakro::array_bytes_held(), held);
  // The start values of the modules (as the module defaults test has them).
  EXPECT_EQ(ctrl::mmm, 1);
  EXPECT_TRUE(ctrl::firstrun);
  EXPECT_EQ(e_s1::fintim, 0.5);
  EXPECT_EQ(fnames::inam.view(), "datafile" + std::string(26, ' '));
  EXPECT_EQ(outppp::jplt, 10);
  EXPECT_EQ(quolbv3::guisoc, 0);
  EXPECT_EQ(storage::nstorf, 1);
  // Hooks and seams at their defaults.
  EXPECT_EQ(wakro::seams().dsdyn, fresh_seams.dsdyn);
  EXPECT_NE(wakro::seams().dsdyn, &other_dsdyn);
  EXPECT_EQ(wakro::reader_hooks().rdbrs, fresh_reader.rdbrs);
  EXPECT_EQ(wakro::date_and_time, nullptr);
  EXPECT_FALSE(wakro::bUseLumbra);
  EXPECT_EQ(wakro::array_memory_budget(), wakro::machine_memory_budget());
}

}  // namespace
