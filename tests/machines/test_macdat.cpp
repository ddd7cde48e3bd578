// The machine's nine data records read from a data file: fields, defaults,
// null fields and '/', floors, the inertia warning, the conversions and the
// refusals that name the file and line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/units.h"
#include "machine_fixture.h"
#include "machines/conversion.h"
#include "model/fnames.h"
#include "support/temp_dir.h"

namespace {

using namespace wakro::machines;
using mtest::near_rel;

class MachineData : public mtest::Machines {
 protected:
  void SetUp() override {
    Machines::SetUp();
    ASSERT_TRUE(folder_.enter("wakro_macdat_"));
  }
  void TearDown() override {
    wakro::close_all_units();
    folder_.leave();
    Machines::TearDown();
  }
  // Reads the records into the block at nexc; the console and stop status.
  wakro_test::Outcome read(const std::string& records) {
    wakro_test::write_file("m.dta", records + "ENDFILE\n");
    fnames::filename = wakro::FixedText<72>("m.dta");
    wakro_openfile();
    return wakro_test::run_captured([&] { macdat(current_machine_block()); });
  }
  wakro_test::WorkFolder folder_;
};

const std::string kCaseRecords =
    "C the case generator\n"
    "1 2 1\n"
    "6.415 10.3923 376.992 0 0\n"
    "4.0 0.001\n"
    "0.0012878899 0.13 50.0\n"
    "0.92 0.135 0.032 0.169 4.3 /\n"
    "C q axis\n"
    "0.51 0.2 0.05 0.228 0.85 /\n"
    "0 0 1 1 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "1.0 0.0 0.815 0.1\n"
    "-2.0,,0.01\n";

TEST_F(MachineData, TerminalDataRecordsOfTheCaseGenerator) {
  const wakro_test::Outcome o = read(kCaseRecords);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  const MachineBlock blk = current_machine_block();
  const std::vector<std::pair<int, double>> slots = {
      {11, 1.0},  {12, 1.0},   {13, 1.0},   {16, 6.415},  {17, 10.3923}, {18, 376.992}, {19, 0.0},  {20, 0.0},
      {21, 4.0},  {22, 0.001}, {26, 0.0012878899}, {27, 0.13}, {28, 66.7}, {31, 0.79},    {36, 0.0},  {41, 0.38},
      {46, 0.0},  {51, 0.92},  {55, 4.3},   {56, 1.0E6},  {57, 1.0E6},   {65, 0.85},    {66, 1.0E6}, {73, 1.0},
      {75, -1.0}, {91, 2.0},   {165, 376.992}, {166, 1.0}, {167, 0.0},   {168, 0.815},  {169, 0.1}, {170, 10.0},
      {171, 0.05}, {172, 0.0}};
  for (const auto& [k, v] : slots) EXPECT_NEAR(blk(k), v, 1e-15) << k;
  EXPECT_TRUE(near_rel(blk(32), 5.126414e-4, 1e-6));
  EXPECT_TRUE(near_rel(blk(35), 5.735294e-3, 1e-6));
  EXPECT_TRUE(near_rel(blk(43), 0.1320567, 1e-6));
  EXPECT_TRUE(near_rel(blk(45), 0.245, 1e-6));
  // The initial state is the operating point's, as the configuration computes it.
  SaturationTable t;
  ASSERT_EQ(build_saturation({0.0, 1.0, -1.0}, {0.0, 1.0}, 0.79, t), "");
  const InitialState s = icconv1_cfg(t, 0.0012878899, 0.13, blk(41), 1.0, 0.0, 0.815, 0.1);
  EXPECT_EQ(blk(161), s.theta);
  EXPECT_EQ(blk(162), s.id);
  EXPECT_EQ(blk(163), s.iq);
  EXPECT_EQ(blk(164), s.ifd);
  EXPECT_EQ(e_s2::nexc, 0);
}

TEST_F(MachineData, EquivalentCircuitRecordsWithDefaults) {
  const wakro_test::Outcome o = read(
      "0 1 0\n"
      "6.415 10.3923 376.992 /\n"
      "0.0 0.001\n"
      "0.003 0.13 /\n"
      "0.79 5e-4 0.04 4e-3 6e-3 0.0 7.0\n"
      "0.38 1.6e-3 0.13 /\n"
      "-1 0 1 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
      "0.5 -0.2 -0.3 1.7 /\n"
      ", /\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, " WARNING: Sync. Machine Inertia set too low\n");
  const MachineBlock blk = current_machine_block();
  const std::vector<std::pair<int, double>> slots = {
      {11, 0.0},   {12, 0.0},    {13, 0.0},   {19, 10000.0}, {20, 0.0},  {21, 0.0},  {28, 300.0}, {31, 0.79},
      {37, 7.0},   {41, 0.38},   {43, 0.13},  {44, 1.0E6},   {46, 1.0E6}, {51, 1.0E6}, {57, 1.0E6}, {61, 1.0E6},
      {66, 1.0E6}, {71, -1.0},   {91, 1.0},   {101, 0.0},    {121, 0.0},  {141, 0.79}, {161, 0.5},  {164, 1.7},
      {165, 376.992}, {166, 1.0E6}, {169, 1.0E6}, {170, 10.0}, {171, 0.1}, {172, 0.0}};
  for (const auto& [k, v] : slots) EXPECT_EQ(blk(k), v) << k;
}

// Mode 1 with the voltage field left empty: 1.0E6 stays and the initial state
// is computed from it.
TEST_F(MachineData, EmptyVoltageFieldKeepsItsDefault) {
  std::string records = kCaseRecords;
  records.replace(records.find("1.0 0.0 0.815 0.1"), 17, ", 0.0, 0.5, 0.1");
  const wakro_test::Outcome o = read(records);
  ASSERT_EQ(o.status, -1) << o.console;
  const MachineBlock blk = current_machine_block();
  EXPECT_EQ(blk(166), 1.0E6);
  EXPECT_EQ(blk(168), 0.5);
  for (int k = 161; k <= 164; ++k) EXPECT_TRUE(std::isfinite(blk(k))) << k;
}

TEST_F(MachineData, RefusalsNameTheFileAndLine) {
  struct Case {
    std::string from, to;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases = {
      {"6.415 10.3923 376.992 0 0", "6.415 0 376.992 0 0",
       {"The rated current, voltage and angular frequency must be positive (file m.dta, line 3)"}},
      {"0.92 0.135 0.032 0.169 4.3 /", "0.169 0.12 0.032 0.169 4.3 /",
       {"Xp*AGFC must be less than Xd\"", "Xd should be greater than Xd'",
        "Xd data must satisfy Xa < Xd\" < Xd' < Xd", "Synchronous machine terminal data refused (file m.dta, line 8)"}},
      {"0 0 1 1 -1 0", "0 0 1 1 0.5 0", {"Saturation curve: x must rise strictly (file m.dta, line 9)"}},
      {"4.0 0.001", "4.0 abc", {"Synchronous machine data record R3 cannot be read (file m.dta, line 4)"}},
      {"-2.0,,0.01\n", "", {"Synchronous machine data record R9 is missing (file m.dta, line 11)"}},
  };
  for (const Case& c : cases) {
    TearDown();  // a stop releases the case-sized arrays
    SetUp();
    std::string records = kCaseRecords;
    records.replace(records.find(c.from), c.from.size(), c.to);
    const wakro_test::Outcome o = read(records);
    EXPECT_EQ(o.status, 2000);
    std::string expected;
    for (const std::string& t : c.texts) expected += " ***ERROR** " + t + "\n";
    EXPECT_EQ(o.console.substr(0, expected.size()), expected) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by SYNC_MACHINE"), std::string::npos);
  }
}

}  // namespace
