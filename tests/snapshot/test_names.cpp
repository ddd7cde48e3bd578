// The names of snapshot files: fixed names, numbered names that are used again
// after ten, the run-time snapshot's own counter, the names a snapshot is read
// from, and the list of snapshots at the end of the program.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "diag/console.h"
#include "model/fnames.h"
#include "model/snpdat.h"
#include "snapshot/snapshot.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace snapshot_test {
namespace {

class SnapshotNames : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    snpdat::icntsp = snpdat::icntsprt = 0;
    snpdat::newsnp = 0;
    snpdat::rtsnap = 0;
  }
  void TearDown() override {
    snpdat::icntsp = snpdat::icntsprt = 0;
    snpdat::newsnp = 0;
    snpdat::rtsnap = 0;
    wakro_test::reset_shared_state();
  }
  // The name mode 3 forms, with what the console got meanwhile.
  std::string formed(std::string& console) {
    std::ostringstream out;
    {
      wakro::ConsoleRedirect to(out);
      wakro_snapfile(3);
    }
    console = out.str();
    return wakro::snapshot::snapshot_path();
  }
  std::string formed() {
    std::string console;
    return formed(console);
  }
};

TEST_F(SnapshotNames, FixedNamesPutTheExtensionAtTheFirstBlankOrPoint) {
  struct Case {
    const char* source;
    const char* name;
  };
  const Case cases[] = {
      {"case", "case.snp"},
      {"case.snp", "case.snp"},
      {"run.old.snp", "run.snp.snp"},  // only four characters are written over
      {"a.b", "a.snp"},
      // No blank or point in the first 28 characters: they are kept, ".snp"
      // takes positions 29 to 32 and what follows stays.
      {"abcdefghijklmnopqrstuvwxyz0123456", "abcdefghijklmnopqrstuvwxyz01.snp6"},
      {"abcdefghijklmnopqrstuvwxyz01234", "abcdefghijklmnopqrstuvwxyz01.snp"},
      {"../snaps/x.snp", "../snaps/x.snp"}, {"my.runs/a b", "my.runs/a.snp"},  // a folder part is kept whole
      {"a_folder_named_at_length_27/case", "a_folder_named_at_length_27/case.snp"},
      // Byte 28 lies inside the ninth three-byte letter: the stem ends before it.
      {"ab€€€€€€€€€€", "ab€€€€€€€€.snp"},
  };
  for (const Case& c : cases) {
    fnames::snam = c.source;
    EXPECT_EQ(formed(), c.name) << c.source;
    EXPECT_EQ(fnames::filename.trimmed(), std::string_view(c.name));
  }
  EXPECT_EQ(snpdat::icntsp, 10);
  EXPECT_EQ(snpdat::icntsprt, 0);
}

TEST_F(SnapshotNames, NumberedNamesAreUsedAgainAfterTheTenth) {
  snpdat::newsnp = 1;
  fnames::snam = "case";
  std::vector<std::string> names;
  std::string console;
  for (int k = 1; k <= 10; ++k) {
    names.push_back(formed(console));
    EXPECT_EQ(console, "");
  }
  EXPECT_EQ(names.front(), "case_01.snp");
  EXPECT_EQ(names.back(), "case_10.snp");
  EXPECT_EQ(snpdat::nmaxsnp, 10);
  EXPECT_EQ(formed(console), "case_01.snp");
  EXPECT_EQ(console,
            " Maximum # of incremental snapshot files reached.\n"
            " Snapshot file names will be recycled.\n");
  EXPECT_EQ(formed(console), "case_02.snp");
  EXPECT_EQ(console, "");
}

TEST_F(SnapshotNames, ALongBaseKeepsItsNumberWhole) {
  snpdat::newsnp = 1;
  fnames::snam = "abcdefghijklmnopqrstuvwxyz0123456";
  EXPECT_EQ(formed(), "abcdefghijklmnopqrstuvwxyz01_01.snp");
}

TEST_F(SnapshotNames, RunTimeSnapshotsCountOnTheirOwn) {
  snpdat::newsnp = 1;
  fnames::snam = "case";
  fnames::rtsnam = "manual";
  formed();
  formed();
  snpdat::rtsnap = 1;
  EXPECT_EQ(formed(), "manual_01.snp");
  snpdat::rtsnap = 0;
  EXPECT_EQ(formed(), "case_03.snp");
  EXPECT_EQ(snpdat::icntsp, 3);
  EXPECT_EQ(snpdat::icntsprt, 1);
}

TEST_F(SnapshotNames, TheEndListStartsWithTheOldestFileOnDisk) {
  auto listed = [] {
    std::ostringstream out;
    wakro::ConsoleRedirect to(out);
    wakro_snapfile(0);
    return out.str();
  };
  EXPECT_EQ(listed(), "");  // no snapshot taken
  snpdat::newsnp = 1;
  fnames::snam = "case";
  for (int k = 1; k <= 11; ++k) formed();
  std::string expected;
  for (int k : {2, 3, 4, 5, 6, 7, 8, 9, 10, 1}) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " \n            Snapshot: case_%02d.snp\n", k);
    expected += buf;
  }
  EXPECT_EQ(listed(), expected);
  snpdat::newsnp = 0;
  snpdat::icntsp = 1;
  snpdat::icntsprt = 1;
  fnames::rtsnam = "manual.snp";
  // Cut at 20 bytes, never inside a letter of two or three.
  for (const auto& [name, shown] : {std::pair{"fixed", "fixed.snp"}, {"abcdefghijklmnopqrsÄ", "abcdefghijklmnopqrs"},
                                    {"abcdefghijklmnopqr€", "abcdefghijklmnopqr"}}) {
    fnames::snam = name;
    EXPECT_EQ(listed(), " \n            Snapshot: " + std::string(shown) + "\n \n     Manual snapshot: manual.snp\n");
  }
}

TEST_F(SnapshotNames, SnapshotsAreReadUnderTheirNameOrAsGiven) {
  wakro_test::WorkFolder folder;
  ASSERT_TRUE(folder.enter("wakro_names_"));
  for (const char* f : {"case.snp", "input_snap", "input_snap(1)", "input_snap(12)"}) std::ofstream(f) << "x\n";
  struct Case {
    const char* source;
    const char* opened;
  };
  const Case cases[] = {
      {"case", "case.snp"},
      {"case.snp", "case.snp"},
      {"input_snap", "input_snap"},
      {"input_snap(1)", "input_snap(1)"},
      {"input_snap(12)", "input_snap(12)"},
  };
  for (const Case& c : cases) {
    fnames::inam = c.source;
    wakro_snapfile(1);
    EXPECT_EQ(wakro::snapshot::snapshot_path(), c.opened);
    wakro_test::close_files();
  }
  EXPECT_EQ(snpdat::icntsp, 0);  // reading counts nothing
  folder.leave();
}

}  // namespace
}  // namespace snapshot_test
