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
#include "support/shared_state.h"

namespace network_test {

// Sets every working size of the table to 1 (the floor of the dimension table).
inline void floor_sizes() {
  using namespace ndde;
  for (std::int32_t* p : {&nd1,  &nd2,  &nd3,  &nd4,  &nd5,  &nd6,  &nd7,  &nd8,  &nd9,
                          &nd10, &nd11, &nd12, &nd13, &nd14, &nd15, &nd16, &nd17, &nd18,
                          &nd19, &nd20, &nd21, &nd22, &nd23, &nd24, &nd25, &nd26, &nd37,
                          &nd38, &nd43, &nd55, &nd58, &nd72, &nd74, &nd75})
    *p = 1;
}

// Every array released, the working sizes back at their floor.
inline void release_all() {
  wakro_test::release_arrays();
  floor_sizes();
}

class NetworkState : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    floor_sizes();
  }
  void TearDown() override { wakro_test::reset_shared_state(); }
};

using wakro_test::stop_message;

}  // namespace network_test
