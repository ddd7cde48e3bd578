// The control-panel case started with -lumbra: the link to the scripted design
// environment goes through our communication library, which hands over the
// nine start texts and then carries bare messages (no key block, no length
// prefix of the engine's own). The run-time exchange is the one of the TCP
// link. A start the library refuses ends with status 1 and no TCP attempt; a
// library without all its entry points is not used, and the TCP link is.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "peer_fixture.h"

#ifndef WAKRO_COMM_LIBRARY
#error "WAKRO_COMM_LIBRARY must name the built communication library"
#endif

namespace app_test {
namespace {

using wakro_test::Frame;
using wakro_test::Reader;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_PANEL_EXE;
const std::string kCaseDir = WAKRO_PANEL_CASE_DIR;
constexpr double kDelt = 50e-6;
constexpr std::int32_t kSlider = (6 << 24) | 1;

class LibraryRun : public PeerRun {
 protected:
  void TearDown() override { unsetenv("WAKRO_COMM_INITIALIZE_RESULT"); }
  void start(const std::string& library) {
    launch({kExe, "-v5", "-locale", "C", "-port", std::to_string(peer_.port()), "-lumbra", library}, kCaseDir);
  }
  // The library's first frame: the nine start texts of the engine.
  void expect_start_texts() {
    Reader hello = frame();
    for (const std::string& t : {kExe, std::string("/API"), std::string("TCP"), std::string("/HOST"),
                                 std::string("localhost"), std::string("/PORT"), std::to_string(peer_.port()),
                                 std::string("/ID"), std::string("1")})
      EXPECT_EQ(hello.s(), t);
    EXPECT_TRUE(hello.atEnd());
  }
  int finish() {
    EXPECT_TRUE(child_->wait(15000)) << "the engine did not end in time";
    return child_->exitCode();
  }
};

TEST_F(LibraryRun, RunTimeExchangeThroughTheLibrary) {
  Watchdog dog("LibraryRun.RunTimeExchange", 60);
  start(WAKRO_COMM_LIBRARY);
  expect_start_texts();
  send(peer_.frame().i(10).s("panel.map"));
  send(peer_.frame().i(19));
  // The start banner arrives as exactly its 20 bytes of values.
  Reader banner = frame();
  EXPECT_EQ(banner.body().size(), 20u);
  EXPECT_EQ(banner.i(), 5);
  EXPECT_EQ(banner.i(), 1);
  EXPECT_EQ(banner.i(), 2);
  EXPECT_EQ(banner.d(), 5.0);
  for (int k = 0; k < 2; ++k) EXPECT_EQ(frame().i(), 5);
  Reader begin = frame();
  EXPECT_EQ(begin.i(), 2);
  EXPECT_EQ(begin.i(), 2);
  EXPECT_EQ(begin.i(), 20);
  Reader names = frame();  // record 19: no ENI lines
  EXPECT_EQ(names.i(), 19);
  EXPECT_EQ(names.i(), 0);
  EXPECT_EQ(names.i(), 0);
  EXPECT_TRUE(names.atEnd());
  EXPECT_EQ(frame().i(), 20);
  // Watch the slider's channel, move the slider, run the whole case.
  send(peer_.frame().i(2).i(kSlider));
  Reader watch = frame();
  EXPECT_EQ(watch.i(), 7);
  EXPECT_EQ(watch.i(), kSlider);
  send(peer_.frame().i(4).i(1).d(2.5));
  Reader slider = frame();
  EXPECT_EQ(slider.i(), 9);
  EXPECT_EQ(slider.i(), 1);
  send(peer_.frame().i(1).i(1000));
  for (std::int32_t s = 0; s <= 20; ++s) {
    Reader step = frame();
    EXPECT_EQ(step.i(), 4);
    EXPECT_EQ(step.i(), s);
    EXPECT_DOUBLE_EQ(step.d(), s * kDelt);
    Reader progress = frame();
    EXPECT_EQ(progress.i(), 3);
    EXPECT_EQ(progress.i(), 5 * s);
    Reader watched = frame();
    EXPECT_EQ(watched.i(), 1);
    EXPECT_EQ(watched.d(), 2.5) << "step " << s;
    EXPECT_TRUE(watched.atEnd());
  }
  Reader last = frame();
  EXPECT_EQ(last.i(), 1);
  EXPECT_EQ(last.d(), 2.5);
  Reader end = frame();
  EXPECT_EQ(end.i(), 0);
  // The answer, the end report and the closing exchange.
  send(peer_.frame().i(22).i(0));
  for (int code : {85, 87, 86}) {
    Reader r = frame();
    EXPECT_EQ(r.i(), 5);
    EXPECT_EQ(r.i(), 5);
    EXPECT_EQ(r.i(), code);
  }
  EXPECT_EQ(frame().i(), -999);
  send(peer_.frame().i(-999));
  EXPECT_EQ(finish(), 0) << child_->out() << child_->err();
  EXPECT_TRUE(peer_.waitForClose());  // the library was finalised
}

TEST_F(LibraryRun, RefusedStartsEndWithStatusOneAndNoTcpLink) {
  Watchdog dog("LibraryRun.RefusedStarts", 60);
  for (const char* result : {"1", "2"}) {
    setenv("WAKRO_COMM_INITIALIZE_RESULT", result, 1);
    start(WAKRO_COMM_LIBRARY);
    expect_start_texts();
    EXPECT_TRUE(peer_.waitForClose());
    EXPECT_EQ(finish(), 1) << "result " << result << "\n" << child_->out() << child_->err();
    EXPECT_FALSE(peer_.accept(0)) << "a TCP link was tried after result " << result;
    EXPECT_EQ(child_->err().find("Failed to connect"), std::string::npos) << child_->err();
  }
}

TEST_F(LibraryRun, IncompleteLibraryFallsBackToTcp) {
  Watchdog dog("LibraryRun.IncompleteLibrary", 60);
  start(WAKRO_COMM_PARTIAL_LIBRARY);
  // The TCP link: the engine awaits the key block before anything else.
  ASSERT_TRUE(peer_.sendKey());
  send(peer_.frame().i(10).s("panel.map"));
  send(peer_.frame().i(19));
  Reader banner = frame();
  EXPECT_EQ(banner.i(), 5);
  EXPECT_EQ(banner.i(), 1);
  peer_.closeClient();
  EXPECT_NE(finish(), 0);
}

}  // namespace
}  // namespace app_test
