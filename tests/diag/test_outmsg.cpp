// Numbered console texts: golden output of banners, dialogue prompts, the end
// report, model diagnostics, the ending paths and the failed-answer handler.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diag/format.h"
#include "diag/outmsg.h"
#include "diag/outmsg_table.h"
#include "fake_exchange.h"
#include "model/fnames.h"
#include "model/misses.h"
#include "model/ndde.h"

using diagtest::Capture;
using diagtest::fatal_status;

namespace {

const std::string kHeader = "\n **** ERROR IN READING OF DATA FILE!  ****\n";
const std::string kTerminating = "\n **** EXECUTION TERMINATING  ****\n\n";
const std::string kQuitBanner =
    " =========================================================\n"
    " ERROR: Abnormal termination of WAKRO by OUTMSG      \n"
    " =========================================================\n"
    "  \n";
const std::string kNonValid = "\n **** NON-VALID RESPONSE ****\n";
const std::string kTryAgain = "\n **** PLEASE TRY AGAIN ****\n";

class Outmsg : public ::testing::Test {
 protected:
  void SetUp() override { misses::imis = 0; }
  void TearDown() override {
    misses::imis = 0;
    fnames::dumlin.blank();
  }

  // Console text of one outmsg call; status -1 when it returns.
  std::string run(int& status, std::int32_t number, std::int32_t i1 = 0, std::int32_t i2 = 0,
                  std::int32_t i3 = 0, double r1 = 0.0, double r2 = 0.0, std::string_view t = {}) {
    Capture cap;
    status = fatal_status([&] { outmsg(number, i1, i2, i3, r1, r2, t); });
    return cap.str();
  }
};

}  // namespace

TEST_F(Outmsg, StartBannerAndDateLines) {
  int st = 0;
  const std::string rule(56, '-');
  EXPECT_EQ(run(st, 231, 0, 0, 0, 5.0), "\n\n\n\n" + rule + "\n    WAKRO(tm)  Version 5.0\n" + rule + "\n");
  EXPECT_EQ(run(st, 232, 2024, 2, 5), "\n WAKRO AC & DC Simulation run on 2024-02-05\n");
  EXPECT_EQ(run(st, 233, 9, 5, 0), " The Current Time is  09:05:00\n\n\n");
  EXPECT_EQ(run(st, 238, 2024, 2, 5), "\n         Start Date: 2024-02-05\n");
  EXPECT_EQ(run(st, 234, 0, 0, 0, 0.0, 0.0, "case.map"),
            "\n         Input file: case.map" + std::string(26, ' ') + "\n");
  // A name is cut at 34 bytes, never inside a letter of two or three: the field is padded instead.
  for (const auto& [name, shown] :
       {std::pair{"abcdefghijklmnopqrstuvwxyz0123456Ä", "abcdefghijklmnopqrstuvwxyz0123456 "},
        {"abcdefghijklmnopqrstuvwxyz012345€", "abcdefghijklmnopqrstuvwxyz012345  "}})
    EXPECT_EQ(run(st, 236, 0, 0, 0, 0.0, 0.0, name), "        Output file: " + std::string(shown) + "\n");
  EXPECT_EQ(st, -1);
}

TEST_F(Outmsg, EndOfRunReport) {
  int st = 0;
  EXPECT_EQ(run(st, 240, 13, 7, 9), "          Stop Time: 13:07:09\n");
  EXPECT_EQ(run(st, 241, 0, 1, 2, 2.5), "       Elapsed Time: 00:01:02.003\n\n\n");
  EXPECT_EQ(run(st, 241, 0, 0, 0, 1e12), "       Elapsed Time: 00:00:00.***\n\n\n");
  EXPECT_EQ(run(st, 219, 50), " => This run is  50% complete.\n");
  EXPECT_EQ(run(st, 219, 1000), " => This run is ***% complete.\n");
  EXPECT_EQ(st, -1);
}

TEST_F(Outmsg, DialoguePromptsAndRangeRows) {
  int st = 0;
  EXPECT_EQ(run(st, 305), "\n ENTER MAP FILE NAME:\n");
  EXPECT_EQ(run(st, 302),
            "\n IS A SNAPSHOT REQUIRED? \n"
            " ENTER 0 FOR NO SNAPSHOT,\n"
            "       1 FOR A SINGLE SNAP,\n"
            "      -1 FOR INCREMENTAL SNAPS TO SAME FILE,\n"
            "      -2 FOR INCREMENTAL SNAPS TO NEW FILES:\n");
  EXPECT_EQ(run(st, 314, 40), "\n ENTER OUTPUT PGB COLUMN NUMBER ( 1 -   40 ) TO BE MAXIMIZED OR MINIMIZED:\n");
  EXPECT_EQ(run(st, 150), kNonValid);
  EXPECT_EQ(run(st, 350), run(st, 301));
  EXPECT_EQ(st, -1);
}

TEST_F(Outmsg, ModelDiagnosticsWithGeneralAndIntegerFields) {
  int st = 0;
  EXPECT_EQ(run(st, 205, 3, 0, 0, 1.5), "      VAR(   3) IS =  1.5000000    \n");
  EXPECT_EQ(run(st, 318, 0, 0, 0, 1.5e-7),
            "\n THIS CASE WILL START AT T =  0.150000E-06 SECONDS\n ENTER NEW FINISH TIME:\n");
  EXPECT_EQ(run(st, 249, 10, 20, 30, 2.5),
            "\n **** WARNING ****\n"
            " CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM   3 CONNECTED TO BUSSES:   10  20  30\n");
  EXPECT_EQ(run(st, 263, 0, 0, 0, 230.0, 0.0123),
            " FWAV22 MEASURING 230.00KV BUS DETECTS0.012 PU UNBALANCE\n");
  EXPECT_EQ(run(st, 207, 3, 0, 0, 2.25, 0.0, "maximum"),
            "      THE maxIMUM PGB # SO FAR =  2.2500000    .\n"
            "      THIS WAS GENERATED DURING RUN #    3\n\n\n");
  EXPECT_EQ(st, -1);
}

TEST_F(Outmsg, OverflowingFieldsPrintAsterisks) {
  int st = 0;
  EXPECT_EQ(run(st, 223, 123456, 2, 17),
            " **** MATRIX TRIANGULARIZED *****TH TIME IN SUBSYSTEM:    2 ( AT NODE   17 ! ) ****\n");
  EXPECT_EQ(run(st, 231, 0, 0, 0, 12.5).find("Version ***\n") != std::string::npos, true);
}

TEST_F(Outmsg, ContinuesAndCountsFailedAnswers) {
  int st = 0;
  EXPECT_EQ(run(st, 109, 3, 2),
            "\n **** CHECK TRAVEL TIME DATA ON LINE   3 MODE   2! ****\n"
            "      THE TRAVEL TIME IS LESS THAN ONE TIME STEP FOR THIS MODE!\n"
            "      IT HAS BEEN CHANGED TO ONE TIME STEP!\n"
            "\n **** EXECUTION CONTINUING ****\n\n");
  EXPECT_EQ(run(st, 40), kHeader + "\n **** EXECUTION CONTINUING ****\n\n");
  EXPECT_EQ(run(st, 106, 0, 0, 0, 0.0, 0.0, "snapfile_long.snp"),
            "\n **** PROBLEM WITH SNAP-SHOT FILE snapfile_l ! ****\n"
            "      ( DOES THIS FILE EXIST? )\n"
            "      PLEASE RE-ENTER SNAP FILE NAME:\n");
  EXPECT_EQ(misses::imis, 1);
  EXPECT_EQ(run(st, 107, 0, 0, 0, 0.0, 0.0, "x.snp"),
            "\n **** INCOMPATIBLE SNAP-SHOT FILE x.snp      ! ****\n"
            "      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF WAKRO!\n"
            "      PLEASE TAKE A NEW SNAP-SHOT WITH THIS VERSION\n");
  EXPECT_EQ(misses::imis, 2);
  EXPECT_EQ(st, -1);
}

TEST_F(Outmsg, EndOfFileEndsTheRunThroughTheTerminationRoutine) {
  int st = 0;
  EXPECT_EQ(run(st, 4), kHeader + "\n **** END OF FILE REACHED! **** \n" + kTerminating + kQuitBanner);
  EXPECT_EQ(st, 2000);
}

TEST_F(Outmsg, OffendingLineAndDimensionReport) {
  ndde::nd1 = 40;
  ndde::nd2 = 3;
  ndde::nd10 = 123456;
  const std::string line = "  7  9  1.0 /";
  int st = 0;
  const std::string out = run(st, 7, 500, 2, 0, 0.0, 0.0, line);
  EXPECT_EQ(st, 2000);
  const std::string offending = "\n **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n" + line +
                                std::string(72 - line.size(), ' ') + "\n\n\n";
  const std::string own = "\n **** YOU HAVE OVER  500 NODES IN SUBSYSTEM   2! ****\n";
  const std::string dim = "\n **** DIMENSIONING EXCEEDED! ****\n\n\n";
  ASSERT_EQ(out.rfind(kHeader + own + dim, 0), 0u);
  EXPECT_NE(out.find("\n **** WAKRO IS CURRENTLY DIMENSIONED AS FOLLOWS: ****\n\n"
                     " VARIABLE   CURRENT         DIMENSIONED\n"
                     "   NAME      VALUE           QUANTITY\n\n"
                     "   ND1" + std::string(8, ' ') + "  40" + std::string(11, ' ') + "# of Nodes Per Subsystem\n"
                     "   ND2" + std::string(8, ' ') + "   3" + std::string(11, ' ') + "# of Subsystems\n"),
            std::string::npos);
  EXPECT_NE(out.find("   ND10" + std::string(5, ' ') + "123456" + std::string(11, ' ') +
                     "# of Stor Locations (STOR)\n"),
            std::string::npos);
  EXPECT_NE(out.find(" DIRECTIVES.\n" + offending + kTerminating + kQuitBanner), std::string::npos);
  EXPECT_EQ(out.size() - out.rfind(kTerminating), kTerminating.size() + kQuitBanner.size());
  ndde::nd1 = ndde::nd2 = ndde::nd10 = 0;
}

TEST_F(Outmsg, NumbersOutsideTheTableEndTheRun) {
  int st = 0;
  EXPECT_EQ(run(st, 0), kHeader + kTerminating + kQuitBanner);
  EXPECT_EQ(st, 2000);
  EXPECT_EQ(run(st, 471), kTerminating + kQuitBanner);
  EXPECT_EQ(st, 2000);
}

TEST_F(Outmsg, FourthFailedAnswerEndsTheRun) {
  int st = 0;
  for (int k = 1; k <= 3; ++k) {
    Capture cap;
    st = fatal_status([] { errhan(); });
    EXPECT_EQ(cap.str(), kNonValid + kTryAgain);
    EXPECT_EQ(misses::imis, k);
  }
  Capture cap;
  st = fatal_status([] { errhan(); });
  EXPECT_EQ(st, 2000);
  EXPECT_EQ(cap.str(), kNonValid + "\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n" + kTerminating +
                           kQuitBanner);
}

TEST(OutmsgTable, EveryNumberHasOneRowAndEveryLayoutRendersItsValues) {
  for (std::int32_t n = 1; n <= 470; ++n) ASSERT_NE(wakro::find_outmsg_row(n), nullptr) << n;
  EXPECT_EQ(wakro::find_outmsg_row(471), nullptr);
  for (std::size_t k = 0; k < wakro::kOutmsgRowCount; ++k) {
    const wakro::OutmsgRow& row = wakro::kOutmsgRows[k];
    if (k > 0) {
      EXPECT_EQ(row.first, wakro::kOutmsgRows[k - 1].last + 1);
    }
    if (!row.layout) continue;
    // Small values of the kinds the row names: a wrong kind would print asterisks.
    std::vector<wakro::FmtValue> values;
    std::vector<std::string> texts;
    texts.reserve(8);
    std::string_view wanted(row.values);
    while (!wanted.empty()) {
      const std::string_view tok = wanted.substr(0, wanted.find(' '));
      wanted.remove_prefix(std::min(wanted.size(), tok.size() + 1));
      if (tok[0] == 'R' && tok != "R1r") {
        values.emplace_back(1.0);
      } else if (tok[0] == 'T') {
        texts.emplace_back(static_cast<std::size_t>(std::stoi(std::string(tok.substr(1)))), 't');
        values.emplace_back(std::string_view(texts.back()));
      } else {
        values.emplace_back(1);
      }
    }
    std::string out;
    ASSERT_TRUE(wakro::render_layout(out, row.layout, values)) << row.first;
    // Only the layout's own texts carry asterisks: no field overflowed.
    const std::string_view layout(row.layout);
    EXPECT_EQ(std::count(out.begin(), out.end(), '*'), std::count(layout.begin(), layout.end(), '*'))
        << row.first;
  }
}
