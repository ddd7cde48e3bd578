// The named console texts of the output room and the dialogue answers: each
// name stands for the text it is named for, so a number typed wrong beside its
// name (a neighbour in the table) fails here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "diag/outmsg.h"
#include "diag/outmsg_table.h"
#include "output/messages.h"

namespace {

namespace om = wakro::output::message;
namespace dm = wakro::diag::message;

struct Named {
  std::int32_t number;
  std::string_view words;  // a piece of the number's layout
};

TEST(MessageNames, EachNamedNumberWritesTheTextItIsNamedFor) {
  const Named rows[] = {
      {dm::kNonValidResponse, "NON-VALID RESPONSE"},
      {dm::kTryAgain, "PLEASE TRY AGAIN"},
      {dm::kAttemptsExhausted, "MAXIMUM OF FOUR ATTEMPTS"},
      {om::kInputFileMissing, "DOES NOT EXIST"},
      {om::kIncompatibleSnapshot, "INCOMPATIBLE SNAP-SHOT FILE"},
      {om::kLastChance, "LAST CHANCE"},
      {om::kTitle, "(A)"},
      {om::kTimeInMicroseconds, "MICROSECONDS"},
      {om::kPlotFrame, "(11X,A53)"},
      {om::kPlotRow, "(F11.6,A53)"},
      {om::kPercentComplete, "% complete"},
      {om::kPlotScale, "G10.3,39X,G10.3"},
      {om::kOutputFile, "Output file"},
      {om::kAskDataOrSnapshot, "DATA INPUT OR SNAPSHOT"},
      {om::kAskSnapshotKind, "IS A SNAPSHOT REQUIRED"},
      {om::kAskFirstSnapshotTime, "TIME TO FIRST SNAPSHOT"},
      {om::kAskEndSnapshotFile, "END OF RUN SNAPSHOT"},
      {om::kAskMapFile, "MAP FILE NAME"},
      {om::kAskRelabelTime, "RE-LABEL"},
      {om::kAskOutputWanted, "IS OUTPUT FILE REQUIRED"},
      {om::kAskOutputFile, "ENTER OUTPUT FILE NAME"},
      {om::kAskScreenPlot, "SCREEN PLOT, ENTER 1"},
      {om::kAskRunCount, "NUMBER OF RUNS"},
      {om::kAskSubstitutionCount, "NUMBER OF GLOBAL SUBSTITUTION"},
      {om::kAskSubstitutionValues, "ONE AT A TIME"},
      {om::kPlotLastRunOnly, "ONLY THE LAST RUN"},
      {om::kAskSnapshotFile, "PICK UP SNAPSHOT"},
      {om::kAskFinishTime, "NEW FINISH TIME"},
  };
  for (const Named& n : rows) {
    SCOPED_TRACE(n.words);
    const wakro::OutmsgRow* row = wakro::find_outmsg_row(n.number);
    ASSERT_NE(row, nullptr);
    ASSERT_NE(row->layout, nullptr);
    EXPECT_NE(std::string_view(row->layout).find(n.words), std::string_view::npos) << row->layout;
  }
}

}  // namespace
