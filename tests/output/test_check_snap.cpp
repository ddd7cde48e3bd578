// The snapshot header check: an accepted header, every refusal with its exact
// console text, the version tolerance and the registered opener.
#include <string>

#include "output_fixture.h"

namespace outputtest {
namespace {

class CheckSnap : public OutputTest {
 protected:
  // Writes a snapshot whose value line is `values` and checks it.
  Outcome check(const std::string& values, const std::string& rest = "MAP_UPDATE:\n") {
    write("case.snp", "! WAKRO SNAP-SHOT - Version, Time, Delt\n" + values + "\n" + rest);
    fnames::inam = "case.snp";
    ok_ = -1;
    time_ = -1.0;
    return run([this] { check_snap(ok_, time_); });
  }
  static std::string line72(const std::string& s) { return s + std::string(72 - s.size(), ' '); }
  // The context and banner of a refusal (mode 1) after the line `last`.
  static std::string refusal_tail(const std::string& last) {
    return rule() + " Following is the last read data line:\n " + line72(last) + "\n" +
           " Data file name: case.snp" + std::string(26, ' ') + "...\n" + banner_tail("SNAP_OK     ");
  }
  std::int32_t ok_ = -1;
  double time_ = -1.0;
};

TEST_F(CheckSnap, AcceptedHeaderGivesTimeAndStep) {
  outppp::snpfil = 1;
  snpdat::tsnap = 0.1;
  const Outcome o = check("   5.000000000000000       0.2500000000000000      0.5000000000000000E-04 ");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(ok_, 1);
  EXPECT_EQ(time_, 0.25);
  EXPECT_EQ(e_s1::time, 0.25);
  EXPECT_EQ(e_s1::delt, 5e-5);
  EXPECT_DOUBLE_EQ(snpdat::tsnap, 0.35);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);

  outppp::snpfil = 0;  // without snapshot output the schedule stays
  snpdat::tsnap = 0.1;
  ASSERT_EQ(check("5.0000005 1.5 1e-6").status, -1);
  EXPECT_EQ(time_, 1.5);
  EXPECT_EQ(snpdat::tsnap, 0.1);
}

TEST_F(CheckSnap, OtherVersionIsRefusedWithTextOneHundredSeven) {
  for (const char* values : {"5.1 0.25 5e-5", "5.000002 0.25 5e-5"}) {
    const Outcome o = check(values);
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(o.console, "\n **** INCOMPATIBLE SNAP-SHOT FILE case.snp   ! ****\n"
                         "      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF WAKRO!\n"
                         "      PLEASE TAKE A NEW SNAP-SHOT WITH THIS VERSION\n" +
                             refusal_tail(values));
    EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  }
}

TEST_F(CheckSnap, OlderHeadersAreNamed) {
  const std::string incompatible = " ERROR: WAKRO: Incompatible snap-shot file\n";
  EXPECT_EQ(check("4.2 0.1 1e-5").console,
            incompatible + " Seems like a Quolb V4 snap-shot file\n" + refusal_tail("4.2 0.1 1e-5"));
  EXPECT_EQ(check("3.0 0.1 1e-5").console,
            incompatible + " Seems like a Quolb V3 snap-shot file\n" + refusal_tail("3.0 0.1 1e-5"));
  EXPECT_EQ(check("******").console,
            incompatible + " Seems like a Quolb V2 snap-shot file\n" + refusal_tail("******"));
  const Outcome six = check("6.0 0.1 1e-5");
  EXPECT_EQ(six.status, 2000);
  EXPECT_EQ(six.console, incompatible + refusal_tail("6.0 0.1 1e-5"));
}

TEST_F(CheckSnap, UnreadableValuesAndShortFiles) {
  const Outcome bad = check("5.0 abc 1");
  EXPECT_EQ(bad.status, 2000);
  EXPECT_EQ(bad.console.substr(0, 40), " WAKRO: Error while reading snap file:\n" + rule().substr(0, 1));
  EXPECT_NE(bad.console.find("termination of WAKRO by SNAP_OK"), std::string::npos);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);

  const Outcome cut = check("5.0 0.25", "");
  EXPECT_EQ(cut.status, 2000);
  EXPECT_EQ(cut.console.substr(0, 33), " WAKRO: Unexpected End_Of_File\n =");

  // A time step that is not a positive number would divide later: refused.
  for (const char* values : {"5.0 0.25 0.0", "5.0 0.25 -1e-5"}) {
    const Outcome o = check(values);
    EXPECT_EQ(o.status, 2000) << values;
    EXPECT_EQ(o.console.substr(0, 39), " WAKRO: Error while reading snap file:\n") << values;
  }
}

TEST_F(CheckSnap, MissingSnapshotAndRegisteredOpener) {
  fnames::inam = "absent.snp";
  const Outcome o = run([this] { check_snap(ok_, time_); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, o.console.find('\n') + 1),
            " ***ERROR** WAKRO: Error while opening file for read: absent.snp: No such file or "
            "directory\n");

  // The snapshot room forms the file name; here: "<inam>.snp".
  wakro::set_snapshot_opener([] {
    fnames::filename = std::string(fnames::inam.trimmed()) + ".snp";
    wakro_openfile1(1);
  });
  write("named.snp", "! header\n5.0 2.0 1e-4\n");
  fnames::inam = "named";
  ASSERT_EQ(run([this] { check_snap(ok_, time_); }).status, -1);
  EXPECT_EQ(time_, 2.0);
  EXPECT_EQ(e_s1::delt, 1e-4);
}

}  // namespace
}  // namespace outputtest
