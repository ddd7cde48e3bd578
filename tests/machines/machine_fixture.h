// Test fixture of the machine room: the storage and configuration stores sized
// for two machines, the case generator's data, and a block set up from it.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "machines/macdat.h"
#include "machines/machine_block.h"
#include "machines/setup.h"
#include "machines/sync_config.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "support/console_capture.h"
#include "support/shared_state.h"

namespace mtest {

using namespace wakro::machines;

inline constexpr double kW = 376.992, kIb = 6.415, kVb = 10.3923, kDt = 50e-6;

class Machines : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    e_s2::stor.allocate(2 * kMachineBlockSize);
    rt_config::rtci.allocate(2 * kConfigInts);
    rt_config::rtcf.allocate(2 * kConfigReals);
    storage::storf.allocate(4);
    e_s2::nexc = 0;
    rt_config::nrtci = rt_config::nrtcf = storage::nstorf = 1;
    e_s1::delt = kDt;
    e_s1::timezero = true;
    e_warn::comp_id1 = e_warn::comp_id2 = 0;
  }
  void TearDown() override {
    e_s2::stor.release();
    rt_config::rtci.release();
    rt_config::rtcf.release();
    storage::storf.release();
    wakro_test::reset_shared_state();
  }

  // Ra of the case's armature time constant (syncmc3p0_cfg's first output).
  static double case_ra() { return 2.0 * 0.135 * 0.2 / ((0.135 + 0.2) * 0.332 * kW); }

  // The case generator's syncmc3p2_cfg data, with the linear curve (0, 0),
  // (1, 1) and an operating point V = 1 at angle 0, P = 0.815, Q = 0.1.
  static SyncMachineData case_data() {
    SyncMachineData m;
    m.data_form = 1;
    m.q_circuits = 2;
    m.start_mode = 1;
    m.rated_current = kIb;
    m.rated_voltage = kVb;
    m.w = kW;
    m.inertia = 4.0;
    m.friction = 0.001;
    m.shunt_r = 300.0;
    m.ra = case_ra();
    m.xp_agfc = 0.13;
    m.d = {0.92, 0.135, 0.032, 0.169, 4.3, 1.0E6, 1.0E6};
    m.q = {0.51, 0.2, 0.05, 0.228, 0.85};
    m.sat_x = {0.0, 1.0, -1.0};
    m.sat_y = {0.0, 1.0};
    m.v_or_angle = 1.0;
    m.angle_or_id = 0.0;
    m.p_or_iq = 0.815;
    m.q_or_ifd = 0.1;
    m.release_time = 0.1;
    m.power_scale = 100.0;
    m.trim_time = 0.2;
    m.rc_resistance = 20.0;
    m.rc_time_factor = 10.0;
    return m;
  }

  // The case machine configured, copied into the block at nexc and set up.
  MachineBlock case_block(const SyncMachineData& m = case_data()) {
    syncmc3p2_cfg(m);
    rt_config::nrtci = rt_config::nrtcf = 1;
    const MachineBlock blk = current_machine_block();
    macdat1_cfg_and_setup(blk);
    return blk;
  }
  static void macdat1_cfg_and_setup(const MachineBlock& blk) {
    macdat1_cfg(blk);
    macpre(blk, 0);
    smtdis(blk);
    smtqi(blk);
    sttrf2(blk, kDt);
    setzro(blk, kDt);
  }
};

// Relative closeness to the stated number of significant digits.
inline ::testing::AssertionResult near_rel(double got, double want, double rel) {
  if (std::fabs(got - want) <= rel * std::fabs(want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " is not within " << rel << " of " << want;
}

}  // namespace mtest
