// The fixture base of the app tests that run a case's executable against the
// scripted design environment: the engine as a child process, the peer it
// connects to, and sending and receiving frames with a failure for a frame that
// does not come; and a run whose graphic values are counted by name.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
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

// A case run in the folder dir_ (removed at the end) whose graphic values the
// test counts by name.
class GraphicsRun : public PeerRun {
 protected:
  static constexpr std::int32_t kGraphicReal = 11, kGraphicInteger = 12, kStepReport = 4;

  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  // Reads frames until the step report of `step` (or the end of the run when
  // step < 0), at most max_frames of them, counting the graphic values by name,
  // the step they came in and the integer ones' values.
  bool read_until(std::int32_t step, int max_frames) {
    for (int guard = 0; guard < max_frames; ++guard) {
      auto got = peer_.recvFrame(20000);
      if (!got) {
        ADD_FAILURE() << "no frame from the engine";
        return false;
      }
      wakro_test::Reader r = *got;
      const std::int32_t id = r.i();
      if (id == kStepReport) {
        last_step_ = r.i();
        if (last_step_ == step) return true;
      } else if (id == kGraphicReal || id == kGraphicInteger) {
        (void)r.i();  // instance
        (void)r.i();  // component
        std::int32_t value = 0;
        if (id == kGraphicReal)
          (void)r.d();
        else
          value = r.i();
        const std::string name = r.s();
        ++count_[name];
        steps_[name].push_back(last_step_ + 1);  // sent in the step after the last report
        values_[name].push_back(value);
      } else if (id == 0 && step < 0) {
        const std::int32_t a = r.i(), b = r.i();
        if (a == 0 && b == 0 && r.atEnd()) return true;
      }
    }
    ADD_FAILURE() << "the run did not reach step " << step;
    return false;
  }

  std::string dir_;
  std::int32_t last_step_ = -1;
  std::map<std::string, int> count_;
  std::map<std::string, std::vector<std::int32_t>> steps_;
  std::map<std::string, std::vector<std::int32_t>> values_;
};

}  // namespace app_test
