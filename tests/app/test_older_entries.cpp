// The older entries that the process entry does not call: the locale taken
// from a "locale=" word, the link-mode entry with its TCP link and closing
// exchange, and the loader that looks for "/Lumbra" words.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

#include "app/entry.h"
#include "app/link_start.h"
#include "app_fixture.h"
#include "diag/catalog.h"
#include "support/scripted_peer.h"

namespace app_test {
namespace {

using Words = std::vector<const char*>;

class OlderEntries : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    savedProgram_ = wakro::szProgramName;
    wakro::szProgramName = "prog";
    wakro::seams().dialog = &no_runs;
    wakro::seams().dialogv3 = &no_runs;
  }
  void TearDown() override {
    wakro::szProgramName = savedProgram_;
    std::setlocale(LC_ALL, "C");
    AppTest::TearDown();
  }
  static void no_runs() { ctrl::nrun = 0; }
  std::string savedProgram_;
};

TEST_F(OlderEntries, LocaleWordSetsTheLocaleAfterReportingThePresentOne) {
  std::setlocale(LC_ALL, "C");
  const Words none = {"prog", "Locale=C", "xlocale=C", "locale="};
  setTheLocale(static_cast<int>(none.size()), none.data());
  EXPECT_EQ(out_.str(), "Current locale = C\n");  // no usable word: nothing more

  out_.str("");
  const Words words = {"locale=ignored-as-program-name", "-v4", "locale=C", "locale=other"};
  setTheLocale(static_cast<int>(words.size()), words.data());
  EXPECT_EQ(out_.str(), "Current locale = C\nRequested locale = C\nCurrent locale = C\n");

  out_.str("");
  const Words bad = {"prog", "locale=no_such_locale_xyz"};
  setTheLocale(static_cast<int>(bad.size()), bad.data());
  EXPECT_EQ(out_.str(), "Current locale = C\nRequested locale = no_such_locale_xyz\n");
  EXPECT_EQ(err_.str(), "Warning: Unable to change the locale.\n");
}

TEST_F(OlderEntries, LinkModeEntryWithoutLinkRunsTheDriverAlone) {
  std::setlocale(LC_ALL, "C");
  const Words words = {"prog", "locale=C"};
  EXPECT_EQ(WakroV4(static_cast<int>(words.size()), words.data()), 0);
  const std::string text = out_.str();
  EXPECT_EQ(text.rfind("Current locale = C\nRequested locale = C\nCurrent locale = C\n", 0), 0u) << text;
  EXPECT_NE(text.find(" * Wakro for Quolb v5: "), std::string::npos);
  EXPECT_NE(text.find("\n         Start Date: "), std::string::npos);  // the older end report
  EXPECT_EQ(catWakro, nullptr);
  EXPECT_EQ(exQuolb, nullptr);
}

TEST_F(OlderEntries, LinkModeEntryThatCannotConnectEndsWithStatusOne) {
  std::string port;
  {
    wakro_test::ScriptedPeer closed;
    port = std::to_string(closed.port());
    closed.closeListener();
  }
  const Words words = {"prog", "-v4", "127.0.0.1", port.c_str()};
  EXPECT_EQ(WakroV4(static_cast<int>(words.size()), words.data()), 1);
  EXPECT_EQ(err_.str(), "prog: Connection refused\nFailed to connect to 127.0.0.1:" + port + "\n");
  EXPECT_EQ(out_.str().find("Wakro for Quolb"), std::string::npos);  // the driver did not run
  EXPECT_EQ(catWakro, nullptr);
  EXPECT_EQ(exQuolb, nullptr);
}

TEST_F(OlderEntries, LinkModeEntryRunsWithTheLinkAndClosesIt) {
  wakro_test::Watchdog dog("OlderEntries.LinkModeEntryRunsWithTheLink", 30);
  wakro_test::ScriptedPeer peer;
  const std::string port = std::to_string(peer.port());
  std::thread environment([&peer] {
    if (!peer.accept(10000) || !peer.sendKey()) return;
    peer.sendFrame(peer.frame().i(-999));  // waits until the engine's close
  });
  const Words words = {"prog", "-v4", "localhost", port.c_str(), "/ID", "65539"};
  const int status = WakroV4(static_cast<int>(words.size()), words.data());
  environment.join();
  EXPECT_EQ(status, 0) << err_.str();
  EXPECT_EQ(ctrl::lumbra_wakroid, 3);  // the client id taken to 16 bits
  // The start banner over the link (catalogue texts 2, 83, 84), then the close.
  std::vector<std::int32_t> tags;
  for (;;) {
    auto f = peer.recvFrame(2000);
    if (!f) break;
    const std::int32_t first = f->i();
    tags.push_back(first == 5 ? f->i() * 1000 + f->i() : first);
  }
  EXPECT_EQ(tags, (std::vector<std::int32_t>{1002, 5083, 5084, -999}));
  EXPECT_EQ(exQuolb, nullptr);
}

TEST_F(OlderEntries, LibraryLoaderLooksOnlyAtWordsWithAFollower) {
  const Words words = {"/Lumbra", "x", "/Lumbra", "/nonexistent/libcomm.so", "/LumbraLib",
                       "/also/missing.so", "/Lumbra"};
  EXPECT_FALSE(LoadLumbra(static_cast<int>(words.size()), words.data()));
  EXPECT_FALSE(LoadLumbra(0, nullptr));
}

}  // namespace
}  // namespace app_test
