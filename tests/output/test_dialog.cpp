// The console start-up dialogue answered from a text: the exact transcript of a
// start from data files, snapshots, the map-name rewrite, bad answers with the
// last chance and the fourth failure, the end of the answers, a start from a
// snapshot and the global substitution values.
#include <sstream>
#include <string>

#include "output_fixture.h"

namespace outputtest {
namespace {

class Dialog : public OutputTest {
 protected:
  Outcome answer(const std::string& answers) {
    std::istringstream in(answers);
    wakro::set_dialog_input(&in);
    Outcome o = run([] { dialog(); });
    wakro::set_dialog_input(nullptr);
    return o;
  }
  static bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
  }
  void SetUp() override {
    OutputTest::SetUp();
    write("case1.map", "map\n");
  }
};

const std::string kNonValid = "\n **** NON-VALID RESPONSE ****\n\n **** PLEASE TRY AGAIN ****\n";
const std::string kLastChance = "\n **** THIS IS YOUR LAST CHANCE! ****\n\n";

TEST_F(Dialog, StartFromDataFilesTranscript) {
  const Outcome o = answer("0\n0\ncase1.dat\n1\n0\n0\n0\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, golden("dialog_data.txt"));
  EXPECT_EQ(assorc::input, "DATA");
  EXPECT_EQ(fnames::inam, "case1.map");
  EXPECT_EQ(fnames::mapname, "case1.map");
  EXPECT_EQ(fnames::inam1, "case1.dat");
  EXPECT_EQ(ctrl::nrun, 1);
  EXPECT_FALSE(ctrl::multirun);
  EXPECT_EQ(outppp::outfil, 0);
  EXPECT_EQ(outppp::pplot, 0.0);
  EXPECT_EQ(outppp::snpfil, 0);
  EXPECT_EQ(outppp::jplt, 10);
  EXPECT_EQ(e_s1::fintim, 0.5);
  EXPECT_EQ(fnames::snam, "snap");
  EXPECT_FALSE(quolbv3::gsx.allocated());
  EXPECT_EQ(misses::imis, 0);
}

TEST_F(Dialog, SnapshotsToTake) {
  // An invalid time: the snapshot comes at the end of the run, once.
  Outcome o = answer("0\n1\n-1\nsnapA\ncase1.map\n1\n1\nres\n1\n0\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_TRUE(has(o.console, "\n ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:\n"
                             " Warning: Invalid snap time.\n"
                             " Snap will be taken at the end of the run\n"
                             "\n ENTER FILENAME FOR END OF RUN SNAPSHOT:\n"));
  EXPECT_EQ(outppp::snpfil, 1);
  EXPECT_EQ(snpdat::tsnap, 0.5);
  EXPECT_EQ(snpdat::snpinc, 1.0e6);
  EXPECT_EQ(fnames::snam, "snapA");
  EXPECT_EQ(outppp::outfil, 1);
  EXPECT_EQ(fnames::onam, "res");
  EXPECT_EQ(outppp::pplot, 1.0);
  EXPECT_FALSE(has(o.console, "ONLY THE LAST RUN"));

  // Incremental snapshots to new files every 0.2 s.
  o = answer("0\n-2\n0.2\nsnapB\ncase1.map\n1\n0\n0\n0\n");
  EXPECT_EQ(snpdat::newsnp, 1);
  EXPECT_EQ(snpdat::snpinc, 0.2);
  EXPECT_EQ(snpdat::tsnap, 0.2);
  // To the same file, but with an invalid interval: a single snapshot.
  o = answer("0\n-1\n0\nsnapC\ncase1.map\n1\n0\n0\n0\n");
  EXPECT_EQ(snpdat::newsnp, 0);
  EXPECT_EQ(snpdat::snpinc, 1.0e6);
  EXPECT_EQ(snpdat::tsnap, 0.5);
  // A blank snapshot name is a failed answer and the time is asked again.
  o = answer("0\n1\n0.1\n\n0.3\nsnapD\ncase1.map\n1\n0\n0\n0\n");
  EXPECT_EQ(count(o.console, "ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:"), 2);
  EXPECT_EQ(snpdat::tsnap, 0.3);
  EXPECT_EQ(misses::imis, 1);
}

TEST_F(Dialog, MapNameRewrite) {
  fnames::inam = "case2.dta";
  EXPECT_EQ(run([] { wakro_checkmapname(); }).console,
            " Warning: case2.dta has been interpreted as\n      >>> case2.map <<<\n");
  EXPECT_EQ(fnames::inam, "case2.map");
  // An extension inside a folder name is not the file's.
  fnames::inam = "my.data/case.map";
  EXPECT_EQ(run([] { wakro_checkmapname(); }).console, "");
  EXPECT_EQ(fnames::inam, "my.data/case.map");
  fnames::inam = "case.datx";
  EXPECT_EQ(run([] { wakro_checkmapname(); }).console, "");
}

TEST_F(Dialog, RunCountLimits) {
  const Outcome o = answer("0\n0\ncase1.map\n10001\n0\n10000\n0\n0\n0\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(count(o.console, kNonValid), 2);
  EXPECT_EQ(count(o.console, "\n ENTER NUMBER OF RUNS REQUIRED:\n"), 3);
  EXPECT_TRUE(has(o.console, "\n ONLY THE LAST RUN OF MULTIPLE RUNS CAN PRODUCE A SCREEN PLOT.\n"
                             "\n TO WRITE A SCREEN PLOT, ENTER 1,\n"));
  EXPECT_EQ(ctrl::nrun, 10000);
  EXPECT_TRUE(ctrl::multirun);
  // A refused count does not leave a multiple run behind.
  misses::imis = 0;
  answer("0\n0\ncase1.map\n20000\n1\n0\n0\n0\n");
  EXPECT_EQ(ctrl::nrun, 1);
  EXPECT_FALSE(ctrl::multirun);
}

TEST_F(Dialog, LastChanceStartsAgainAndTheFourthFailureEnds) {
  // Q1 "x" (1), Q2 "abc" (2), a missing map file (3): last chance and a new
  // pass from the defaults; then a run count of 0, the fourth, ends the run.
  const Outcome o = answer("x\n0\nabc\n0\nnothere.map\n0\n0\ncase1.map\n0\n");
  EXPECT_EQ(o.status, 2000);
  const std::string missing = "\n **** INPUT FILE nothere.ma DOES NOT EXIST! ****\n\n";
  EXPECT_TRUE(has(o.console, missing + kLastChance + "\n IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? \n"));
  EXPECT_EQ(count(o.console, kNonValid), 2);
  EXPECT_EQ(count(o.console, "IS CASE STARTING FROM DATA INPUT OR SNAPSHOT?"), 3);
  const std::string end = "\n ENTER NUMBER OF RUNS REQUIRED:\n\n **** NON-VALID RESPONSE ****\n"
                          "\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n"
                          "\n **** EXECUTION TERMINATING  ****\n\n" +
                          rule() + banner_tail("OUTMSG      ");
  ASSERT_GE(o.console.size(), end.size());
  EXPECT_EQ(o.console.substr(o.console.size() - end.size()), end);
  EXPECT_EQ(misses::imis, 4);
}

TEST_F(Dialog, RestartReturnsToTheDefaults) {
  // Output file "kept" after two failures, then a third failure at the global
  // values: the second pass starts from the defaults again.
  misses::imis = 2;
  const Outcome o = answer("0\n0\ncase1.map\n1\n1\nkept\n0\n1\nnot-a-number\n0\n0\ncase1.map\n1\n0\n0\n1\n2.5\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(misses::imis, 3);
  EXPECT_TRUE(has(o.console, "\n ENTER GLOBAL SUBSTITUTION VARIABLES ONE AT A TIME: \n" + kNonValid + kLastChance));
  EXPECT_EQ(outppp::outfil, 0);
  EXPECT_EQ(fnames::onam, "out");
  ASSERT_TRUE(quolbv3::gsx.allocated());
  EXPECT_EQ(quolbv3::gsx.extent(1), 1);
  EXPECT_EQ(quolbv3::gsx(1), 2.5);
}

TEST_F(Dialog, GlobalValuesAndTheirFailures) {
  Outcome o = answer("0\n0\ncase1.map\n1\n0\n0\n3\n1.5\n\n-2.25D0\n4E1\n");
  ASSERT_EQ(o.status, -1) << o.console;
  ASSERT_TRUE(quolbv3::gsx.allocated());
  EXPECT_EQ(quolbv3::gsx(1), 1.5);
  EXPECT_EQ(quolbv3::gsx(2), -2.25);
  EXPECT_EQ(quolbv3::gsx(3), 40.0);
  // A negative count: a failed answer, the values prompt, and the end.
  o = answer("0\n0\ncase1.map\n1\n0\n0\n-2\n");
  ASSERT_EQ(o.status, -1) << o.console;
  const std::string tail = "\n ENTER NUMBER OF GLOBAL SUBSTITUTION VARIABLES: \n" + kNonValid +
                           "\n ENTER GLOBAL SUBSTITUTION VARIABLES ONE AT A TIME: \n";
  EXPECT_EQ(o.console.substr(o.console.size() - tail.size()), tail);
  EXPECT_FALSE(quolbv3::gsx.allocated());
}

TEST_F(Dialog, EndOfTheAnswersEndsTheRun) {
  const Outcome o = answer("0\n0\n");
  EXPECT_EQ(o.status, 2000);
  const std::string end = "\n ENTER MAP FILE NAME:\n (case_name.map)\n"
                          " End of the console input: the start-up dialogue has no answer to read.\n" +
                          rule() + banner_tail("DIALOG      ");
  ASSERT_GE(o.console.size(), end.size());
  EXPECT_EQ(o.console.substr(o.console.size() - end.size()), end);
}

TEST_F(Dialog, LongNameAndBlankIntegerField) {
  // A blank integer field reads as 0; a name over 34 characters is refused.
  const Outcome o = answer("\n   \n" + std::string(35, 'a') + "\ncase1.map\n 1\n0\n0\n0\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_TRUE(has(o.console, " A name is at most 34 characters long: " + std::string(35, 'a') + "\n" + kNonValid));
  EXPECT_EQ(fnames::inam, "case1.map");
  EXPECT_EQ(ctrl::nrun, 1);
}

TEST_F(Dialog, StartFromSnapshot) {
  write("snap1.snp", "! WAKRO SNAP-SHOT - Version, Time, Delt\n5.0 0.25 5.0E-05\n");
  // Re-labelling answer 2 is refused and asked again; a finish time not above
  // the snapshot's time step too.
  const Outcome o = answer("1\n0\n2\n1\n2\n1\nres.out\n0\nsnap1.snp\n0.00001\n0.3\n0\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(misses::imis, 2);
  EXPECT_EQ(count(o.console, "\n DO YOU WANT TO RE-LABEL THE OUTPUT OF TIME TO START AT 0.0,\n"), 2);
  EXPECT_EQ(count(o.console, "ENTER MAP FILE NAME"), 0);
  EXPECT_EQ(assorc::input, "SNAP");
  EXPECT_EQ(ctrl::zerot, 1);
  EXPECT_EQ(fnames::inam, "snap1.snp");
  EXPECT_EQ(ctrl::nrun, 2);
  EXPECT_EQ(fnames::onam, "res.out");
  EXPECT_EQ(e_s1::delt, 5e-5);
  EXPECT_EQ(e_s1::fintim, 0.3);
  const std::string asked = "\n THIS CASE WILL START AT T =  0.250000     SECONDS\n"
                            " ENTER NEW FINISH TIME:\n"
                            " How long do you want to run the case?\n";
  EXPECT_TRUE(has(o.console, "\n ENTER FILENAME TO PICK UP SNAPSHOT:\n" + asked + kNonValid + asked));
  EXPECT_TRUE(has(o.console, "\n ENTER 1 TO RE-LABEL TIME TO START FROM 0.0: \n"));
  EXPECT_FALSE(has(o.console, "ENTER MAP FILE NAME"));
}

}  // namespace
}  // namespace outputtest
