// Closing one unit that is not at the top of the input-unit stack: the units
// above keep their numbers and go on reading; the closed place goes when the
// units above it are closed.
#include <string>

#include "files_fixture.h"

namespace filestest {
namespace {

using CloseUnit = FilesTest;

TEST_F(CloseUnit, ABuriedUnitClosesInPlaceAndLeavesWithTheUnitsAboveIt) {
  write("a.txt", "a1\na2\n");
  write("b.txt", "b1\nb2\n");
  open("a.txt");
  open("b.txt");
  ASSERT_EQ(fnames::iunit, wakro::kUnitBase + 2);
  std::string record;
  wakro::close_unit(wakro::kUnitBase + 1);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase + 2);
  EXPECT_EQ(wakro::read_record(wakro::kUnitBase + 1, record), wakro::ReadStatus::end);
  ASSERT_EQ(wakro::read_record(wakro::kUnitBase + 2, record), wakro::ReadStatus::ok);
  EXPECT_EQ(record, "b1");
  // Closing the top pops the closed place below it too.
  wakro::close_unit(wakro::kUnitBase + 2);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  // The same through the ordinary close of the top unit.
  open("a.txt");
  open("b.txt");
  wakro::close_unit(wakro::kUnitBase + 1);
  wakro_closefile();
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  // An unknown unit is left alone.
  open("a.txt");
  wakro::close_unit(wakro::kUnitBase + 5);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase + 1);
  wakro::close_unit(wakro::kUnitBase + 1);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
}

}  // namespace
}  // namespace filestest
