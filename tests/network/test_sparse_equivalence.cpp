// The network cases solved twice, by the own elimination and by the sparse solver
// (USE_SPARSE with SPARSE_LIMIT 0): the node voltages agree at every step within
// 1e-10 relative, through partial re-factorisations, switchings inside a step,
// chatter-removal half steps and a pattern that grows during the run. Also: an
// isolated node stops the sparse solution with its text, and a multiple run of
// three runs builds, uses and frees the solver's objects each time.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/storage.h"
#include "network/switching.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::Options;
using nettest::quit_block;

class Equivalence : public nettest::SparseNetwork {
 protected:
  // Runs the case that build() sets up (build sizes the state) for nsteps steps
  // and returns the node voltages of every step, nodes 1..nodes.
  std::vector<double> run(const std::function<void()>& build, bool sparse, std::int32_t nsteps,
                          std::int32_t nodes) {
    release_all_and_reset();
    wakro::release_sparse_solver();
    build();
    if (sparse) force_sparse();
    const auto before = wakro::sparse_solver_counts();
    start_run(nsteps);
    std::vector<double> out;
    for (std::int32_t n = 0; n < nsteps; ++n) {
      step();
      for (std::int32_t k = 1; k <= nodes; ++k) out.push_back(v(k));
    }
    // The sparse run did factorise through the solver, the other one never did.
    const auto after = wakro::sparse_solver_counts();
    EXPECT_EQ(after.factorisations > before.factorisations, sparse);
    int3::enable_sparse = false;
    int3::use_klu.fill(false);
    return out;
  }

  // Both solutions of the case, compared step by step against the largest
  // voltage of the step.
  void expect_same(const std::function<void()>& build, std::int32_t nsteps, std::int32_t nodes) {
    const std::vector<double> own = run(build, false, nsteps, nodes);
    const std::int32_t factorisations = int2::ntriang(1);
    const std::vector<double> klu = run(build, true, nsteps, nodes);
    EXPECT_EQ(int2::ntriang(1), factorisations);
    ASSERT_EQ(own.size(), klu.size());
    for (std::int32_t n = 0; n < nsteps; ++n) {
      double scale = 1e-300;
      for (std::int32_t k = 0; k < nodes; ++k)
        scale = std::max(scale, std::abs(own[n * nodes + k]));
      for (std::int32_t k = 0; k < nodes; ++k) {
        const std::size_t at = static_cast<std::size_t>(n * nodes + k);
        ASSERT_LE(std::abs(klu[at] - own[at]), 1e-10 * scale)
            << "step " << n << " node " << k + 1 << ": " << own[at] << " vs " << klu[at];
      }
    }
  }
};

TEST_F(Equivalence, ClosedFormCasesUnderEveryOptionSet) {
  for (const Options o : {Options{false, false, false, false}, Options{true, false, false, false},
                          Options{false, true, false, false}, Options{true, true, true, true}}) {
    SCOPED_TRACE(std::to_string(o.interpolate) + std::to_string(o.remove_chatter));
    // R parallel L with a consistent initial current.
    expect_same(
        [&] {
          size(1, 2);
          set_options(o);
          e_s0::vdc(1, 1) = -10.0;
          add_branch(1, 1, 0, 10.0, 0.0, 0.0, -1.0);
          add_branch(1, 1, 0, 0.0, 0.1, 0.0, 1.0);
        },
        200, 1);
    // L parallel C.
    expect_same(
        [&] {
          size(1, 2);
          set_options(o);
          add_branch(1, 1, 0, 0.0, 0.0, 10.0, -1.0);
          add_branch(1, 1, 0, 0.0, 0.1, 0.0, 1.0);
        },
        400, 1);
  }
}

// An 8-node ladder: series R between neighbours, R and L to ground at each node,
// with a Norton conductance at node 5 that changes every step (partial
// re-factorisation from row 5).
TEST_F(Equivalence, PartialReFactorisationsOfALadder) {
  expect_same(
      [&] {
        size(8, 24);
        for (std::int32_t k = 1; k <= 8; ++k) {
          add_branch(1, k, 0, 20.0 + k, 0.0, 0.0);
          add_branch(1, k, 0, 0.0, 0.05 * k, 0.0, 0.1 * k);
          if (k < 8) add_branch(1, k, k + 1, 1.0 + 0.5 * k, 0.0, 0.0);
        }
        e_s0::enabccin(5, 1) = true;
        model_ = [] {
          e_s0::ggin(5, 1) = 0.2 + 0.01 * ctrl::iii;
          e_s0::ccin(5, 1) = 1.5;
        };
      },
      40, 8);
}

TEST_F(Equivalence, FillInAndACouplingAddedDuringTheRun) {
  expect_same(
      [&] {
        size(5, 9);
        add_branch(1, 1, 0, 1.0, 0.0, 0.0);
        for (std::int32_t k = 2; k <= 5; ++k) {
          add_branch(1, 1, k, 1.0 + k, 0.0, 0.0);
          add_branch(1, k, 0, 0.0, 0.01 * k, 0.0, 0.5);
        }
        e_s0::enabccin(1, 1) = true;
        model_ = [] {
          e_s0::ccin(1, 1) = 3.0;
          if (ctrl::iii == 6) {  // a component couples 3 and 5 from now on
            e_s0::RealView gm = e_s0::assign_gm_ptr(1);
            e_s0::FillView filled = e_s0::assign_filled_ptr(1);
            filled(3, 5) = filled(5, 3) = true;
            gm(3, 5) = gm(5, 3) = 0.5;
            gm(3, 3) += 0.5;
            gm(5, 5) += 0.5;
            e_s8::mxinv(1) = std::min(e_s8::mxinv(1), 3);
          }
        };
      },
      12, 5);
  // A 120-node ladder, large enough to be offered a fill-reducing order and kept
  // in its own (no order fills it less), gains couplings at its first rows and
  // then in its middle: its lists are made again before the rows are assembled.
  expect_same(
      [&] {
        size(120, 240);
        for (std::int32_t k = 1; k <= 120; ++k) {
          add_branch(1, k, 0, 20.0, 0.01, 0.0);
          if (k < 120) add_branch(1, k, k + 1, 1.0, 0.001, 0.0);
        }
        e_s0::enabccin(1, 1) = true;
        model_ = [] {
          e_s0::ccin(1, 1) = 3.0;
          if (ctrl::iii != 4 && ctrl::iii != 8) return;
          const double y[] = {0.3, -0.3, 0.3};
          const std::int32_t from = ctrl::iii == 4 ? 2 : 60;
          const std::int32_t nodes[] = {from, from + 2};
          wakro::stamp_admittance("TEST", 1, nodes, wakro::SymmetricAdmittance::packed(y, 2),
                                  wakro::AdmittanceMeaning::nodal);
        };
      },
      12, 120);
}

// A 30-node mesh (6 x 5 grid of 1..3 ohm resistors and inductors to ground) with a
// switch between nodes 22 and 25 toggled by a model every 7 steps, and a timed
// switch between 3 and 9 closing inside step 11 with interpolation.
TEST_F(Equivalence, MeshWithSwitchingsInsideAndBetweenSteps) {
  for (const bool chatter : {false, true}) {
    SCOPED_TRACE(chatter ? "chatter removal" : "no chatter removal");
    expect_same(
        [&] {
          extra_dims_ = {{dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}};
          size(30, 80);
          set_options({true, chatter, false, false});
          for (std::int32_t r = 0; r < 5; ++r) {
            for (std::int32_t c = 0; c < 6; ++c) {
              const std::int32_t k = 6 * r + c + 1;
              if (c < 5) add_branch(1, k, k + 1, 1.0 + 0.1 * k, 0.0, 0.0);
              if (r < 4) add_branch(1, k, k + 6, 2.0 + 0.05 * k, 0.001, 0.0);
              if (k % 4 == 1) add_branch(1, k, 0, 0.0, 0.02, 0.0, 0.3);
            }
          }
          add_branch(1, 1, 0, 0.5, 0.0, 0.0, 0.0, 12.0);
          const std::int32_t s1 = add_branch(1, 22, 25, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
          wakro_initswbr(1, s1, 0.01, 1.0e6, 0.0, 0.0, "TEST        ");
          const std::int32_t s2 = add_branch(1, 3, 9, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
          wakro_initswbr(1, s2, 0.05, 1.0e6, 0.0, 0.0, "TEST        ");
          int1::iorv(s2, 1) = 8;
          branches::swlevl(s2, 1) = 10.3 * e_s1::delt;
          model_ = [s1] {
            if (ctrl::iii % 7 != 3) return;
            if (branches::openbr(s1, 1)) {
              wakro_turnon(1, s1, 6, 0.0);
            } else {
              wakro_turnoff(1, s1, 6, 0.0);
            }
          };
        },
        40, 30);
  }
}

TEST_F(Equivalence, InductiveCurrentForcedThroughAnOpeningSwitch) {
  for (const bool chatter : {false, true}) {
    SCOPED_TRACE(chatter ? "chatter removal" : "no chatter removal");
    expect_same(
        [&] {
          extra_dims_ = {{dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}};
          size(2, 3);
          set_options({true, chatter, false, false});
          add_branch(1, 1, 0, 0.01, 0.0, 0.0, 0.0, 100.0);
          const std::int32_t s = add_branch(1, 1, 2, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
          wakro_initswbr(1, s, 0.01, 1.0e6, 0.0, 0.0, "TEST        ");
          add_branch(1, 2, 0, 1.0, 0.1, 0.0);
          model_ = [s] {
            if (ctrl::iii == 2) wakro_turnon(1, s, 6, 0.0);
            if (ctrl::iii == 30) wakro_turnoff(1, s, 6, 0.0);
          };
        },
        60, 2);
  }
}

TEST_F(Equivalence, TimedSwitchInsideAStepAndOnAStepBoundary) {
  for (const double at : {2.3, 2.0}) {
    SCOPED_TRACE(at);
    expect_same(
        [&] {
          extra_dims_ = {{dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}};
          size(2, 3);
          set_options({true, false, false, false});
          add_branch(1, 1, 0, 10.0, 0.0, 0.0);
          add_branch(1, 1, 2, 0.0, 0.02, 0.0);
          const std::int32_t sw = add_branch(1, 2, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
          wakro_initswbr(1, sw, 10.0, 1.0e6, 0.0, 0.0, "BREAKER     ");
          int1::iorv(sw, 1) = 8;
          branches::swlevl(sw, 1) = at * e_s1::delt;
          e_s0::enabccin(1, 1) = true;
          model_ = [] { e_s0::ccin(1, 1) = 1.0; };
        },
        10, 2);
    EXPECT_EQ(int2::ntriang(1), 2);  // the first factorisation and the closing
  }
}

TEST_F(Equivalence, DiodeRectifierSwitchingAtTheZeroCrossings) {
  // A diode (its record in the storage arrays) in series with 1 ohm across a
  // 1 kV, 50 Hz sine, over two periods, with chatter removal.
  constexpr double kOmega = 2.0 * 3.14159265358979323846 * 50.0;
  expect_same(
      [&] {
        extra_dims_ = {
            {dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}, {dim::rtci, 40}, {dim::rtcf, 40}};
        size(2, 3);
        set_options({true, true, true, false});
        const std::int32_t src = add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, -std::sin(0.3));
        const std::int32_t d = add_branch(1, 1, 2, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
        add_branch(1, 2, 0, 0.5, 0.002, 0.0);
        wakro_initswbr(1, d, 0.01, 1.0e6, 0.0, 0.0, "PESWITCH    ");
        branches::thisbr(d, 1) = 5;
        storage::stori(5) = 10;  // a diode
        storage::stori(7) = 10;
        storage::stori(12) = 20;
        storage::storf(11) = 0.0;
        storage::storf(12) = 0.0;
        int1::iorv(d, 1) = 3;
        branches::swlevl(d, 1) = 0.0;
        model_ = [src, kOmega] {
          branches::ebr(src, 1) = -std::sin(kOmega * e_s1::time + 0.3);
          branches::source(src, 1) = true;
        };
      },
      800, 2);
  EXPECT_GE(int2::ntriang(1), 5);  // it did switch, twice a period
}

TEST_F(Equivalence, IsolatedNodeStopsTheSparseSolutionWithItsText) {
  size(3, 2);
  add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  add_branch(1, 1, 2, 10.0, 0.0, 0.0);  // node 3 has no branch
  force_sparse();
  start_run(5);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  // The own elimination's report, naming the node.
  EXPECT_EQ(out.text.substr(0, 302),
            " ***ERROR** Singularity (a zero diagonal) encountered\n"
            " ***ERROR**  during the triangularization of the circuit\n"
            " ***ERROR**  conductance matrix. This occured at node \n"
            " ***ERROR** 3 in subsystem 1\n"
            " ***ERROR** . The simulation cannot be completed due to \n"
            " ***ERROR** numerically ill-conditioned matrices.\n");
  const std::string tail = quit_block("ITRIANG");
  ASSERT_GE(out.text.size(), tail.size());
  EXPECT_EQ(out.text.substr(out.text.size() - tail.size()), tail);
}

// The singular cases of both solvers: what was written and how the run ended,
// step by step until it ended.
struct RunEnd {
  std::string text;
  int status = -1;
  std::int32_t steps = 0;
};

class SingularCases : public Equivalence {
 protected:
  RunEnd run_to_end(const std::function<void()>& build, bool sparse, std::int32_t nsteps) {
    release_all_and_reset();
    wakro::release_sparse_solver();
    build();
    if (sparse) force_sparse();
    start_run(nsteps);
    RunEnd end;
    for (std::int32_t n = 0; n < nsteps; ++n) {
      const auto out = capture([&] { step(); });
      end.text += out.text;
      if (out.status != -1) {
        end.status = out.status;
        break;
      }
      ++end.steps;
    }
    int3::enable_sparse = false;
    if (int3::use_klu.allocated()) int3::use_klu.fill(false);
    return end;
  }
};

TEST_F(SingularCases, BothSolversRefuseTheSameMatricesWithTheSameReport) {
  struct Case {
    const char* name;
    std::int32_t node;  // the node the report names; 0: the run completes
    std::function<void()> build;
  };
  const std::vector<Case> cases = {
      {"isolated node", 3,
       [&] {
         size(3, 2);
         add_branch(1, 1, 0, 10.0, 0.0, 0.0);
         add_branch(1, 1, 2, 10.0, 0.0, 0.0);
       }},
      // Nodes 2 and 3 joined to each other only: the pivot of node 3 is exactly 0.
      {"floating pair", 3,
       [&] {
         size(3, 2);
         add_branch(1, 1, 0, 2.0, 0.0, 0.0);
         add_branch(1, 2, 3, 2.0, 0.0, 0.0);
       }},
      // Node 3 hangs on 1e25 ohm: its pivot, 1e-25, is below the limit although
      // it is not zero.
      {"tiny pivot last", 3,
       [&] {
         size(3, 3);
         add_branch(1, 1, 0, 10.0, 0.0, 0.0, 0.0, 5.0);
         add_branch(1, 2, 0, 10.0, 0.0, 0.0);
         add_branch(1, 1, 3, 1.0e25, 0.0, 0.0);
       }},
      {"tiny pivot first", 1,
       [&] {
         size(2, 2);
         add_branch(1, 1, 2, 1.0e25, 0.0, 0.0);
         add_branch(1, 2, 0, 10.0, 0.0, 0.0, 0.0, 5.0);
       }},
      // A switch that opens at the fourth step leaves node 3 on 1e30 ohm: the
      // re-factorisation refuses it.
      {"switch opening", 3,
       [&] {
         size(3, 3);
         add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
         add_branch(1, 1, 2, 1.0, 0.0, 0.0);
         const std::int32_t sw = add_branch(1, 2, 3, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
         wakro_initswbr(1, sw, 1.0, 1.0e30, 0.0, 0.0, "TEST        ");
         wakro_turnon(1, sw, 6, 0.0);
         model_ = [sw] {
           if (ctrl::iii == 3) wakro_turnoff(1, sw, 6, 0.0);
         };
       }},
      // 1e15 ohm gives a pivot of 1e-15: accepted by both.
      {"small pivot above the limit", 0,
       [&] {
         size(2, 2);
         add_branch(1, 1, 0, 10.0, 0.0, 0.0, 0.0, 5.0);
         add_branch(1, 1, 2, 1.0e15, 0.0, 0.0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunEnd own = run_to_end(c.build, false, 8);
    const RunEnd klu = run_to_end(c.build, true, 8);
    EXPECT_EQ(klu.status, own.status);
    EXPECT_EQ(klu.steps, own.steps);
    EXPECT_EQ(klu.text, own.text);
    if (c.node == 0) {
      EXPECT_EQ(own.status, -1);
      EXPECT_EQ(own.steps, 8);
      continue;
    }
    EXPECT_EQ(own.status, 2000);
    EXPECT_NE(own.text.find(" This occured at node \n ***ERROR** " + std::to_string(c.node) +
                            " in subsystem 1\n"),
              std::string::npos)
        << own.text;
  }
  EXPECT_EQ(run_to_end(cases[4].build, false, 8).steps, 3);  // the refusal came at the opening
}

TEST_F(Equivalence, ThreeRunsBuildUseAndFreeTheSolverObjects) {
  std::vector<double> first;
  for (int runno = 1; runno <= 3; ++runno) {
    release_all_and_reset();
    size(6, 12);
    set_options({true, true, false, false});
    for (std::int32_t k = 1; k <= 6; ++k) {
      add_branch(1, k, 0, 0.0, 0.1, 0.0, 0.2 * k);
      add_branch(1, k, k < 6 ? k + 1 : 0, 3.0, 0.0, 5.0, 0.0, k == 1 ? 2.0 : 0.0);
    }
    e_s0::enabccin(4, 1) = true;
    model_ = [] {
      e_s0::ggin(4, 1) = 0.5 + 0.01 * (ctrl::iii % 3);
      e_s0::ccin(4, 1) = 1.0;
    };
    ctrl::mmm = runno;
    force_sparse();
    const auto before = wakro::sparse_solver_counts();
    start_run(30);
    std::vector<double> volts;
    for (int n = 0; n < 30; ++n) {
      step();
      for (std::int32_t k = 1; k <= 6; ++k) volts.push_back(v(k));
    }
    EXPECT_EQ(wakro::sparse_solver_slots(), 1);
    // One analysis per run, although the first step is solved in half steps.
    EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses + 1);
    if (runno == 1) {
      first = volts;
    } else {
      EXPECT_EQ(volts, first) << "run " << runno;
    }
    // The second run keeps the objects (its first step builds them again), the
    // others release them as the end of the program does.
    if (runno != 2) wakro::release_sparse_solver();
    EXPECT_EQ(wakro::sparse_solver_slots(), runno == 2 ? 1 : 0);
  }
  ctrl::mmm = 1;
}

}  // namespace

// gm and filled kept as their entries only (the sparse solver known before the
// matrices are made) solve as the dense gm and filled on the same solver, bit for
// bit: the same entries assembled in the same order. A subsystem with an ideal
// branch gets them dense at its first assembly, with the same result.
TEST_F(Equivalence, EntriesOnlyMatricesSolveAsTheDenseOnes) {
  const auto on_store = [&](const std::function<void()>& build, bool entries, bool ideal,
                            std::int32_t nsteps, std::int32_t nodes) {
    entry_store_ = entries;
    const std::vector<double> out = run(
        [&] {
          build();
          EXPECT_EQ(e_s0::sparse_store(1), entries);
        },
        true, nsteps, nodes);
    EXPECT_EQ(e_s0::sparse_store(1), entries && !ideal);
    entry_store_ = false;
    return out;
  };
  const auto expect_equal = [&](const std::function<void()>& build, bool ideal,
                                std::int32_t nsteps, std::int32_t nodes) -> std::vector<double> {
    const std::vector<double> dense = on_store(build, false, ideal, nsteps, nodes);
    const std::vector<double> entries = on_store(build, true, ideal, nsteps, nodes);
    EXPECT_EQ(dense, entries);
    return entries;
  };
  // A ladder with a Norton conductance changing every step (known changes).
  expect_equal(
      [&] {
        size(8, 24);
        for (std::int32_t k = 1; k <= 8; ++k) {
          add_branch(1, k, 0, 20.0 + k, 0.0, 0.0);
          add_branch(1, k, 0, 0.0, 0.05 * k, 0.0, 0.1 * k);
          if (k < 8) add_branch(1, k, k + 1, 1.0 + 0.5 * k, 0.0, 0.0);
        }
        e_s0::enabccin(5, 1) = true;
        model_ = [] {
          e_s0::ggin(5, 1) = 0.2 + 0.01 * ctrl::iii;
          e_s0::ccin(5, 1) = 1.5;
        };
      },
      false, 30, 8);
  // A mesh whose switches open and close, and a branch conductance and an
  // admittance between two unconnected nodes stamped during the run (the
  // pattern grows).
  expect_equal(
      [&] {
        extra_dims_ = {{dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}};
        size(30, 80);
        set_options({true, true, false, false});
        std::int32_t b = 0;
        for (std::int32_t r = 0; r < 5; ++r) {
          for (std::int32_t c = 0; c < 6; ++c) {
            const std::int32_t k = 6 * r + c + 1;
            if (c < 5) b = add_branch(1, k, k + 1, 1.0 + 0.1 * k, 0.0, 0.0);
            if (r < 4) add_branch(1, k, k + 6, 2.0 + 0.05 * k, 0.001, 0.0);
            if (k % 4 == 1) add_branch(1, k, 0, 0.0, 0.02, 0.0, 0.3);
          }
        }
        add_branch(1, 1, 0, 0.5, 0.0, 0.0, 0.0, 12.0);
        const std::int32_t s1 = add_branch(1, 22, 25, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
        wakro_initswbr(1, s1, 0.01, 1.0e6, 0.0, 0.0, "TEST        ");
        model_ = [s1, b] {
          if (ctrl::iii % 7 == 3) {
            if (branches::openbr(s1, 1)) {
              wakro_turnon(1, s1, 6, 0.0);
            } else {
              wakro_turnoff(1, s1, 6, 0.0);
            }
          }
          if (ctrl::iii == 9) wakro::change_branch_conductance("TEST", 1, b, 0.25);
          if (ctrl::iii == 12) {
            const double y[] = {0.3, -0.3, 0.3};
            const std::int32_t nodes[] = {2, 29};
            wakro::stamp_admittance("TEST", 1, nodes,
                                    wakro::SymmetricAdmittance::packed(y, 2),
                                    wakro::AdmittanceMeaning::nodal);
          }
        };
      },
      false, 30, 30);
  // The chain of ideal branches to ground: V1 = -9 V (10 V behind 1 ohm, 9 ohm to
  // the grounded chain).
  const std::vector<double> v = expect_equal(
      [&] {
        size(9, 10);
        add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
        add_branch(1, 1, 5, 9.0, 0.0, 0.0);
        add_ideal(1, 5, 2);
        add_ideal(1, 2, 9);
        add_ideal(1, 9, 0);
        for (std::int32_t k : {3, 4, 6, 7, 8}) add_branch(1, k, 0, 1.0, 0.0, 0.0);
      },
      true, 3, 9);
  EXPECT_NEAR(v[0], -9.0, 1e-12);
}
