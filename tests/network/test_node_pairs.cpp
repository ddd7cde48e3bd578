// The own voltage check, which takes the nodes two at a time where the new
// voltages are taken over, leaves every voltage, counter, flag and report as the
// detector run node by node before them, wherever the chattering node lies: in
// the first or the second place of a pair, or alone at the end of an odd count.
#include <string>
#include <vector>

#include "model/clvi.h"
#include "model/outppp.h"
#include "net_fixture.h"
#include "network/chatter.h"
#include "network/small_subsystem.h"

namespace {

using nettest::capture;

// A detector put in place of the own one, doing the same node by node.
void same_detector(std::int32_t ss, std::int32_t mode) { chatdt(ss, mode); }

// A chain of n nodes, 1 ohm from each to ground and 10 ohm between neighbours,
// fed an alternating 1 A at node `fed`, starting with +1 A or -1 A (`phase`, so
// that the sixth swing comes from either side): its voltage swings by about
// 0.9 V and chatters (level 0.3); its neighbours' by less than a tenth of that.
class NodePairs : public nettest::GeneralPathNetwork {
 protected:
  Trace run(std::int32_t n, std::int32_t fed, bool phase, bool interpolate) {
    size(n, 2 * n);
    set_options({interpolate, interpolate, true, false});
    for (std::int32_t k = 1; k <= n; ++k) {
      add_branch(1, k, 0, 1.0, 0.0, 0.0);
      if (k < n) add_branch(1, k, k + 1, 10.0, 0.0, 0.0);
    }
    nettest::reset_chatter_counters();
    int2::glvl(1) = 0.3;
    outppp::pplot = 1.0;
    model_ = [fed, phase] { e_s0::ccin(fed, 1) = ((ctrl::iii & 1) != 0) == phase ? 1.0 : -1.0; };
    return traced_run(20, [&](Trace& t) {
      t.values.push_back(temp1::stabck(1) ? 1.0 : 0.0);
      for (std::int32_t k = 1; k <= n; ++k) {
        t.values.push_back(v(k));
        t.values.push_back(clvi::icntv(k, 1));
      }
    });
  }
};

TEST_F(NodePairs, CheckByPairsEqualsTheDetectorNodeByNode) {
  struct Row {
    std::int32_t n;
    std::int32_t fed;
    bool phase;
  };
  // (A chain of fewer nodes is checked one node at a time: every row has
  // sixteen nodes more than its pattern, the fed node as many further on, so that
  // it keeps its place in its pair.)
  const Row rows[] = {{17, 17, true},  {18, 18, true},  {18, 18, false}, {19, 17, false},
                      {19, 18, true},  {19, 19, false}, {20, 20, true},  {20, 19, false},
                      {21, 21, true},  {22, 19, false}, {22, 20, true},  {5, 5, true}};
  for (const Row& r : rows) {
    for (const bool interpolate : {false, true}) {
      SCOPED_TRACE(std::to_string(r.n) + " nodes, fed at " + std::to_string(r.fed) +
                   (r.phase ? " from +1 A" : " from -1 A") +
                   (interpolate ? ", with chatter removal" : ""));
      wakro::network_hooks().chatdt = &same_detector;
      const Trace before = run(r.n, r.fed, r.phase, interpolate);
      wakro::reset_network_hooks();
      release_all_and_reset();
      const Trace own = run(r.n, r.fed, r.phase, interpolate);
      release_all_and_reset();
      const std::string fed = std::to_string(r.fed);
      const std::string report =
          "Voltage chatter:        SS#  1 Node# " + std::string(4 - fed.size(), ' ') + fed + "\n";
      EXPECT_EQ(own.text, report);
      EXPECT_EQ(own.text, before.text);
      ASSERT_EQ(own.values.size(), before.values.size());
      for (std::size_t k = 0; k < before.values.size(); ++k)
        EXPECT_EQ(own.values[k], before.values[k]) << k;
    }
  }
}

}  // namespace
