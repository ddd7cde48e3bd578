// The own elimination in a fill-reducing order: which subsystems take it, and a
// mesh solved by it and by the sparse solver through switchings inside and
// between steps, Norton conductances that change at a node numbered first and
// last, and a coupling added during the run (the voltages agree at every step
// within 1e-10 of the step's largest); an isolated node ends the run naming it.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/storage.h"
#include "network/matrix.h"
#include "network/ordered_elimination.h"
#include "network/switching.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::quit_block;

class OrderedElimination : public nettest::SparseNetwork {
 protected:
  // A grid of rows x cols nodes numbered row by row: 1..3 ohm between
  // neighbours, an inductor to ground at every fourth node.
  void add_grid(std::int32_t rows, std::int32_t cols) {
    for (std::int32_t r = 0; r < rows; ++r) {
      for (std::int32_t c = 0; c < cols; ++c) {
        const std::int32_t k = cols * r + c + 1;
        if (c + 1 < cols) add_branch(1, k, k + 1, 1.0 + 0.01 * k, 0.0, 0.0);
        if (r + 1 < rows) add_branch(1, k, k + cols, 2.0 + 0.005 * k, 0.001, 0.0);
        if (k % 4 == 1) add_branch(1, k, 0, 0.0, 0.02, 0.0, 0.3);
      }
    }
  }

  // The grid with a source at node 1, a switch toggled by a model every 7 steps,
  // a timed switch closing inside step 11, Norton conductances changing at the
  // first and the last node and, at step 20, a coupling between two nodes that
  // were not coupled (the pattern grows).
  void build_case(std::int32_t rows, std::int32_t cols) {
    const std::int32_t n = rows * cols;
    extra_dims_ = {{dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}};
    size(n, 4 * n);
    set_options({true, true, true, false});
    add_grid(rows, cols);
    add_branch(1, 1, 0, 0.5, 0.0, 0.0, 0.0, 12.0);
    const std::int32_t s1 = add_branch(1, n / 2, n / 2 + cols + 1, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, s1, 0.01, 1.0e6, 0.0, 0.0, "TEST        ");
    const std::int32_t s2 = add_branch(1, 3, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, s2, 0.05, 1.0e6, 0.0, 0.0, "TEST        ");
    int1::iorv(s2, 1) = 8;
    branches::swlevl(s2, 1) = 10.3 * e_s1::delt;
    e_s0::enabccin(1, 1) = e_s0::enabccin(n, 1) = true;
    const std::int32_t far = n - cols - 2;
    model_ = [s1, n, far] {
      e_s0::ggin(1, 1) = 0.2 + 0.01 * (ctrl::iii / 5 % 2);
      e_s0::ggin(n, 1) = 0.1 + 0.02 * (ctrl::iii % 2);
      e_s0::ccin(n, 1) = 1.5;
      if (ctrl::iii == 20) {
        const double y[] = {0.5, -0.5, 0.5};
        const std::int32_t nodes[] = {2, far};
        wakro::stamp_admittance("TEST", 1, nodes, wakro::SymmetricAdmittance::packed(y, 2),
                                wakro::AdmittanceMeaning::nodal);
      }
      if (ctrl::iii % 7 != 3) return;
      nettest::toggle_switch(1, s1);
    };
  }

  std::vector<double> run(std::int32_t rows, std::int32_t cols, bool sparse, std::int32_t nsteps) {
    release_all_and_reset();
    wakro::release_sparse_solver();
    build_case(rows, cols);
    if (sparse) force_sparse();
    start_run(nsteps);
    std::vector<double> out;
    const std::int32_t n = rows * cols;
    for (std::int32_t k = 0; k < nsteps; ++k) {
      step();
      for (std::int32_t x = 1; x <= n; ++x) out.push_back(v(x));
    }
    return out;
  }
};

// Subsystems of the own elimination take the order when they have 100 nodes or
// more and it cuts the fill to three quarters or less: a mesh does, a ladder
// (no fill in its numbered order) and a small mesh do not.
TEST_F(OrderedElimination, TakenByLargeMeshesOnly) {
  struct Row {
    const char* what;
    std::int32_t rows, cols;
    bool ordered;
  };
  for (const Row& r : {Row{"12 x 12 mesh", 12, 12, true}, Row{"9 x 11 mesh", 9, 11, false},
                       Row{"ladder of 300", 300, 1, false}, Row{"30 x 40 mesh", 30, 40, true}}) {
    SCOPED_TRACE(r.what);
    release_all_and_reset();
    const std::int32_t n = r.rows * r.cols;
    size(n, 3 * n);
    add_grid(r.rows, r.cols);
    add_branch(1, 1, 0, 0.5, 0.0, 0.0, 0.0, 12.0);
    start_run(3);
    step();
    step();
    EXPECT_EQ(wakro::ordered_elimination_active(1, n), r.ordered);
    if (!r.ordered) continue;
    const wakro::OrderedFill fill = wakro::ordered_fill(1);
    // The numbered order fills the band between the rows: each row of L holds
    // at most `cols` entries, and nearly that many.
    EXPECT_LE(fill.numbered, static_cast<std::int64_t>(n) * r.cols);
    EXPECT_GE(fill.numbered, static_cast<std::int64_t>(n - r.cols) * (r.cols - 1));
    EXPECT_LE(fill.ordered, 0.75 * static_cast<double>(fill.numbered));
  }
}

TEST_F(OrderedElimination, AgreesWithTheSparseSolverThroughEveryChange) {
  for (const auto& [rows, cols] : {std::pair{12, 12}, std::pair{20, 15}}) {
    SCOPED_TRACE(std::to_string(rows) + " x " + std::to_string(cols));
    const std::int32_t n = rows * cols;
    const std::int32_t nsteps = 40;
    const std::vector<double> own = run(rows, cols, false, nsteps);
    EXPECT_TRUE(wakro::ordered_elimination_active(1, n));
    const std::int32_t factorisations = int2::ntriang(1);
    const std::vector<double> klu = run(rows, cols, true, nsteps);
    EXPECT_EQ(int2::ntriang(1), factorisations);
    EXPECT_GT(factorisations, nsteps);  // the Norton changes factorise every step
    ASSERT_EQ(own.size(), klu.size());
    for (std::int32_t k = 0; k < nsteps; ++k) {
      double scale = 1e-300;
      for (std::int32_t x = 0; x < n; ++x) scale = std::max(scale, std::abs(own[k * n + x]));
      for (std::int32_t x = 0; x < n; ++x) {
        const std::size_t at = static_cast<std::size_t>(k * n + x);
        ASSERT_LE(std::abs(klu[at] - own[at]), 1e-10 * scale)
            << "step " << k << " node " << x + 1 << ": " << own[at] << " vs " << klu[at];
      }
    }
  }
}

TEST_F(OrderedElimination, IsolatedNodeStopsNamingIt) {
  const std::int32_t n = 12 * 12 + 1;  // node 145 has no branch
  size(n, 3 * n);
  add_grid(12, 12);
  add_branch(1, 1, 0, 0.5, 0.0, 0.0, 0.0, 12.0);
  start_run(5);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_NE(out.text.find(" ***ERROR** 145 in subsystem 1\n"), std::string::npos) << out.text;
  EXPECT_NE(out.text.find(quit_block("ITRIANG")), std::string::npos);
}

}  // namespace
