// wakro_quit: the context banner in every mode, the release of the case state
// when running alone, and the abort notice on the link.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "diag/hooks.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "fake_exchange.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/ndde.h"
#include "model/fnames.h"
#include "model/pf_display.h"

using diagtest::Capture;
using diagtest::FakeExchange;
using diagtest::fatal_status;
using diagtest::Msg;

namespace {

const std::string kRule = " =========================================================\n";

std::string banner_end(const std::string& tag) {
  return " ERROR: Abnormal termination of WAKRO by " + tag + "\n" + kRule + "  \n";
}

class Quit : public ::testing::Test {
 protected:
  void SetUp() override {
    fnames::dumlin = "  1  2  0.5 /";
    fnames::filename = "page_main.dta";
    fnames::tnam = "case.map";
  }
  void TearDown() override {
    fnames::dumlin.blank();
    fnames::filename.blank();
    fnames::tnam.blank();
  }

  // Console text and status of wakro_quit.
  std::string quit(std::string_view tag, int mode, int& status) {
    Capture cap;
    status = fatal_status([&] { wakro_quit(tag, mode); });
    return cap.str();
  }

  std::string data_line() const {
    return " Following is the last read data line:\n " + fnames::dumlin.str() + "\n";
  }
  std::string data_name() const { return " Data file name: " + fnames::filename.str().substr(0, 34) + "...\n"; }
  std::string map_name() const { return " Map/snap file name: " + fnames::tnam.str() + "\n"; }
};

}  // namespace

TEST_F(Quit, ModeZeroWritesOnlyTheRulesTheTagAndABlankLine) {
  int status = 0;
  EXPECT_EQ(quit("RDPARM      ", 0, status),
            " =========================================================\n"
            " ERROR: Abnormal termination of WAKRO by RDPARM      \n"
            " =========================================================\n"
            "  \n");
  EXPECT_EQ(status, 2000);
  EXPECT_EQ(quit("RDPARM      ", 7, status), kRule + banner_end("RDPARM      "));
}

TEST_F(Quit, ModesOneTwoThreeShowTheirContext) {
  int status = 0;
  const std::string tag = "CHECKSSN    ";
  EXPECT_EQ(quit(tag, 1, status), kRule + data_line() + data_name() + banner_end(tag));
  EXPECT_EQ(quit(tag, 2, status), kRule + data_line() + map_name() + banner_end(tag));
  EXPECT_EQ(quit(tag, 3, status), kRule + data_name() + map_name() + banner_end(tag));
  EXPECT_EQ(status, 2000);
}

TEST_F(Quit, LongNamesAreCutAndShortTagsPadded) {
  fnames::filename = std::string(50, 'f');
  int status = 0;
  const std::string out = quit("CDC", 1, status);
  EXPECT_NE(out.find(" Data file name: " + std::string(34, 'f') + "...\n"), std::string::npos);
  // Byte 34 inside a letter of two or three bytes: the letter is left out, the field padded.
  for (const auto& [name, kept] : {std::pair{std::string(33, 'f') + "Ä", 33}, {std::string(32, 'f') + "€", 32}}) {
    fnames::filename = name;
    const std::string shown = std::string(kept, 'f') + std::string(34 - kept, ' ');
    EXPECT_NE(quit("CDC", 1, status).find(" Data file name: " + shown + "...\n"), std::string::npos);
  }
  EXPECT_NE(out.find("WAKRO by CDC         \n"), std::string::npos);
  const std::string tag34 = "DSMINT" + std::string(28, ' ');
  EXPECT_NE(quit(tag34, 0, status).find("WAKRO by " + tag34 + "\n"), std::string::npos);
}

TEST_F(Quit, AloneReleasesTheCaseStateAndEndsWithANonZeroStatus) {
  e_s2::stor.allocate(10);
  e_s0::ssdim.allocate(3);
  pf_display::pfdata.allocate(4);
  int status = 0;
  quit("INITCOM     ", 0, status);
  EXPECT_EQ(status, 2000);
  EXPECT_FALSE(e_s2::stor.allocated());
  EXPECT_FALSE(e_s0::ssdim.allocated());
  EXPECT_FALSE(pf_display::pfdata.allocated());
}

TEST_F(Quit, LinkedSendsTheAbortNoticeAfterASecondThenEndsWith2000) {
  FakeExchange link;
  wakro_message(4, 5, 2, 3, "first of three lines");  // left open by its caller
  int status = 0;
  const auto t0 = std::chrono::steady_clock::now();
  const std::string out = quit("OUTMSG      ", 0, status);
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(status, 2000);
  EXPECT_GE(waited, std::chrono::milliseconds(990));
  EXPECT_EQ(out, kRule + banner_end("OUTMSG      "));  // "RUN ABORTED" is not printed
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(14).i(4).i(5).i(2).i(3).s("first of three lines")));
  EXPECT_EQ(link.sent[1], diagtest::Bytes(Msg().i(10)));
  EXPECT_EQ(link.sent[2], diagtest::Bytes(Msg().i(0).i(0).i(0)));
}

TEST_F(Quit, GetdumGivesTheLastDataLine) {
  EXPECT_EQ(getdum().view(), fnames::dumlin.view());
  EXPECT_EQ(getdum(51), "  1  2  0.5 /");
}

// The matrix allocation failure of the ground floor, reported through the hook
// that the process entry installs: a two-line model error, then the banner.
TEST_F(Quit, MatrixAllocationFailureIsReportedThroughTheInstalledHook) {
  wakro::install_diagnostic_hooks();
  ndde::use_subsysdim = false;
  ndde::nd1 = 50000;  // 2.5e9 entries per plane: more than a 32-bit index reaches
  ndde::nd2 = 1;
  ndde::nd75 = 1;
  std::int32_t status = -1;
  e_s0::allocate_ssdim_array(1, status);
  e_s0::ssdim(1) = 1;
  int quit_status = 0;
  Capture cap;
  quit_status = fatal_status([&] { e_s0::allocate_ss_matrices(1, e_s0::ssdim, status); });
  EXPECT_EQ(quit_status, 2000);
  EXPECT_EQ(cap.str(),
            " ***ERROR** Memory requirement too high, Errors in allocation. \n"
            " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit "
            "build of library.\n" +
                kRule + banner_end("ALLOCATION  "));
  EXPECT_FALSE(e_s0::gm.allocated());
  EXPECT_FALSE(e_s0::ssdim.allocated());  // released with the case state
  e_s0::allocation_failure_hook = nullptr;
  ndde::nd1 = ndde::nd2 = ndde::nd75 = 0;
}
