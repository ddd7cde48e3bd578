// Test fixture for the network, branch, case-map and work-array modules: module
// state is global, so every test starts from a clean dimension table and leaves
// every array of these modules released.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "model/assorc.h"
#include "model/e_s0.h"
#include "model/fatal.h"
#include "model/groups.h"
#include "model/harmimp.h"
#include "model/harmimp1.h"
#include "model/harmimp2.h"
#include "model/harmimp3.h"
#include "model/ndde.h"
#include "support/fatal_capture.h"

namespace network_test {

inline void release_all() {
  d_s();
  d_branches();
  d_quolbv3();
  d_radiolinks();
  d_temp();
  d_spcial();
  d_ideal();
  d_calcvi();
  d_interp();
  d_umec();
  d_mna();
  d_sparsity();
  d_harmimp1_1();
  d_harmimp1_2();
  d_harmimp2();
  d_harmimp3();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
}

// Sets every working size of the table to 1 (the floor of the dimension table).
inline void floor_sizes() {
  using namespace ndde;
  for (std::int32_t* p : {&nd1,  &nd2,  &nd3,  &nd4,  &nd5,  &nd6,  &nd7,  &nd8,  &nd9,
                          &nd10, &nd11, &nd12, &nd13, &nd14, &nd15, &nd16, &nd17, &nd18,
                          &nd19, &nd20, &nd21, &nd22, &nd23, &nd24, &nd25, &nd26, &nd37,
                          &nd38, &nd43, &nd55, &nd58, &nd72, &nd74, &nd75})
    *p = 1;
}

class NetworkState : public ::testing::Test {
 protected:
  void SetUp() override {
    release_all();
    floor_sizes();
    ndde::use_subsysdim = false;
    assorc::input = "DATA";
    harmimp::harm_num = 0;
    harmimp1::ku = 0;
    harmimp1::ntot = 0;
    e_s0::allocation_failure_hook = nullptr;
  }
  void TearDown() override {
    release_all();
    floor_sizes();
    ndde::use_subsysdim = false;
    assorc::input = "DATA";
    harmimp::harm_num = 0;
    e_s0::allocation_failure_hook = nullptr;
  }
};

using wakro_test::stop_message;

}  // namespace network_test
