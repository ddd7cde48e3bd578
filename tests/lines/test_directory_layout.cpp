// The line directory as its layout declares it (wakro::lines::layout::
// directory): the directory is as wide as the layout, and each record the
// section reader reads fills its row column by column by name, while the
// reader's counters advance by what the rows say (conductors into the mode
// count, each mode's travel slots into the buffer count).
#include <string>
#include <vector>

#include "lines/line_fixture.h"
#include "lines/line_records.h"
#include "model/e_s7.h"

namespace linetest {
namespace {

namespace dir = wakro::lines::layout::directory;

constexpr double kDelt = 5.0e-5;

// A headerless Bergeron record of two conductors with an empty transformation
// between sending nodes 1, 2 and receiving nodes 3, 4 (travel 10 steps).
std::string two_conductor_record() {
  return "2 0 1 1 60.0 60.0 1.0 1.0E-7 1.0E-7\n"
         "1 3 0.5 200.0 0 0 0 0\n"
         "2 4 0.5 400.0 0 0 0 0\n";
}

// The columns of one directory row.
struct Row {
  std::int32_t model, model_line, mode_offset, role, conductors;
  std::vector<std::int32_t> signals;  // kSendingSends .. kReceivingReceiveCount
};

struct Case {
  std::string name;
  std::string section;
  std::string constants;  // line1.tlo, when the record names it
  std::int32_t nodes;
  std::vector<Row> rows;
};

class Directory : public Lines {
 protected:
  void check(const Case& c) {
    SCOPED_TRACE(c.name);
    write_section("GLOBAL_TLINES:", c.section);
    if (!c.constants.empty()) wakro_test::write_file("line1.tlo", c.constants);
    after_pass_ = {{dim::cscs, 4}, {dim::cscr, 4}};
    const nettest::Captured out = nettest::capture([&] { read_lines(c.nodes, 1, 1, kDelt); });
    ASSERT_EQ(out.status, -1) << out.text;
    EXPECT_EQ(e_s7::linemodel.extent(2), dir::kColumns);
    ASSERT_EQ(e_s7::img, static_cast<std::int32_t>(c.rows.size()));
    std::int32_t conductors = 0, slots = 0;
    for (std::int32_t i = 1; i <= e_s7::img; ++i) {
      const Row& r = c.rows[static_cast<std::size_t>(i - 1)];
      EXPECT_EQ(e_s7::linemodel(i, dir::kModel), r.model) << i;
      EXPECT_EQ(e_s7::linemodel(i, dir::kModelLine), r.model_line) << i;
      EXPECT_EQ(e_s7::linemodel(i, dir::kModeOffset), r.mode_offset) << i;
      EXPECT_EQ(e_s7::linemodel(i, dir::kRole), r.role) << i;
      EXPECT_EQ(e_s7::linemodel(i, dir::kConductors), r.conductors) << i;
      for (std::int32_t k = 0; k < static_cast<std::int32_t>(r.signals.size()); ++k)
        EXPECT_EQ(e_s7::linemodel(i, dir::kSendingSends + k),
                  r.signals[static_cast<std::size_t>(k)])
            << i << " column " << dir::kSendingSends + k;
      // The mode offset of a row is the conductors of the rows before it.
      EXPECT_EQ(r.mode_offset, conductors) << i;
      for (std::int32_t q = 1; q <= r.conductors; ++q) slots += e_s7::nt(conductors + q);
      conductors += r.conductors;
    }
    EXPECT_EQ(e_s7::nlmodeu, conductors);
    EXPECT_EQ(e_s7::ntwbufu, slots);
  }
};

TEST_F(Directory, EachRecordFillsItsRowByTheNamedColumns) {
  const std::vector<std::int32_t> no_signals{1, 0, 1, 0, 1, 0, 1, 0};
  const Case cases[] = {
      {"one line", lossless_record(0.5, 400.0), "", 2, {{0, 1, 0, 0, 1, no_signals}}},
      {"three lines of one and two conductors",
       lossless_record(0.5, 400.0) + lossless_record(1.0, 300.0, 3, 4) + two_conductor_record(),
       "",
       4,
       {{0, 1, 0, 0, 1, no_signals}, {0, 2, 1, 0, 1, no_signals}, {0, 3, 2, 0, 2, no_signals}}},
      {"header form with control signals",
       "Quolb Line Constants\n1 0\n1 1 1 2 1 0\n1 2 3 0 2 2\n"
       "TLINE-INPUT-DATA  line one\nTLINE-OUTPUT-DATA line1.tlo\n",
       "1 0 0 0 60.0 60.0 1.0 1.0E-7 0.0\n0 0 0.5 400.0 0.0 0.0 1.0\n",
       2,
       {{0, 1, 0, 0, 1, {1, 2, 1, 0, 3, 0, 2, 2}}}},
  };
  for (const Case& c : cases) {
    check(c);
    if (HasFatalFailure()) return;
    TearDown();
    SetUp();
  }
}

}  // namespace
}  // namespace linetest
