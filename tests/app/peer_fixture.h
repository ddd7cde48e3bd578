// The fixture base of the app tests that run a case's executable against the
// scripted design environment: the engine as a child process, the peer it
// connects to, and sending and receiving frames with a failure for a frame that
// does not come.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "support/scripted_peer.h"

namespace app_test {

class PeerRun : public ::testing::Test {
 protected:
  // Starts `words` (the executable first) in `dir` and takes its connection.
  void launch(const std::vector<std::string>& words, const std::string& dir) {
    child_ = std::make_unique<ChildProcess>(words, dir);
    ASSERT_TRUE(child_->started());
    ASSERT_TRUE(peer_.accept(10000));
  }
  wakro_test::Frame f() const { return peer_.frame(); }
  void send(const wakro_test::Frame& m) { ASSERT_TRUE(peer_.sendFrame(m)); }
  wakro_test::Reader frame() {
    auto r = peer_.recvFrame(10000);
    if (!r) {
      ADD_FAILURE() << "no frame from the engine";
      return wakro_test::Reader({}, false);
    }
    return *r;
  }

  wakro_test::ScriptedPeer peer_;
  std::unique_ptr<ChildProcess> child_;
};

}  // namespace app_test
