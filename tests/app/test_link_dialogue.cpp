// The start-up dialogue and the run-time commands, in this process, against
// the scripted design environment: the peer queues its commands in the socket
// before the routine under test reads them, and reads what the routine sent
// afterwards, so nothing depends on timing.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/getmsgv3.h"
#include "app/seams.h"
#include "model/snpdat.h"
#include "app_fixture.h"
#include "link/exchange_tcp.h"
#include "link/stop_signal.h"
#include "model/branches.h"
#include "model/dim.h"
#include "model/e_s4.h"
#include "model/pmr_consolidate.h"
#include "model/radiolinks.h"
#include "model/sock2.h"
#include "model/tandem_line.h"
#include "output/dialogv3.h"
#include "output/pf_values.h"
#include "output/runtime_messages.h"
#include "support/fatal_capture.h"
#include "support/scripted_peer.h"

namespace app_test {
namespace {

using wakro_test::Frame;
using wakro_test::Reader;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

class LinkDialogue : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    auto* link = new ExchangeTcp();
    ASSERT_TRUE(link->Connect("localhost", peer_.port()));
    ASSERT_TRUE(peer_.accept());
    ASSERT_TRUE(peer_.sendKey());
    exQuolb = link;
    quolbv3::guisoc = 1;
    init_monitorcode();
    clear_button_list();
  }
  void TearDown() override {
    delete exQuolb;
    for (const auto& f : files_) ::unlink(f.c_str());
    AppTest::TearDown();
  }
  Frame f() const { return peer_.frame(); }
  void send(const Frame& m) { ASSERT_TRUE(peer_.sendFrame(m)); }
  Reader frame() {
    auto r = peer_.recvFrame(5000);
    if (!r) {
      ADD_FAILURE() << "no frame from the engine";
      return Reader({}, false);
    }
    return *r;
  }
  bool nothing_sent() { return !peer_.recvFrame(100).has_value(); }
  // A file in /tmp with a name short enough for a 34-character field.
  std::string file(const std::string& stem, const std::string& text) {
    const std::string name = "/tmp/wk" + std::to_string(::getpid()) + stem;
    std::ofstream(name) << text;
    files_.push_back(name);
    return name;
  }
  // Runs the command reader once with the given allowance; returns its answer.
  std::int32_t read_commands(std::int32_t allowance = 0) {
    std::int32_t answer = -1;
    getmsgv3(allowance, answer);
    allowance_ = allowance;
    return answer;
  }

  ScriptedPeer peer_;
  std::vector<std::string> files_;
  std::int32_t allowance_ = 0;
};

// ------------------------------------------------------------------ dialogue

TEST_F(LinkDialogue, OnlyTheEndCommandLeavesTheDocumentedDefaults) {
  Watchdog dog("LinkDialogue.OnlyTheEndCommand", 30);
  // Settings that the defaults must replace.
  assorc::input = "SNAP";
  fnames::inam = "other.map";
  e_s1::fintim = 3.0;
  outppp::jplt = 4;
  outppp::outfil = 1;
  outppp::snpfil = 1;
  snpdat::tsnap = 0.1;
  ctrl::multirun = true;
  ctrl::nrun = 7;
  ctrl::not2trace = 1;
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(assorc::input.view(), "DATA");
  EXPECT_EQ(fnames::inam.trimmed(), "datafile");
  EXPECT_EQ(ctrl::zerot, 0);
  EXPECT_EQ(e_s1::fintim, 0.5);
  EXPECT_EQ(outppp::jplt, 10);
  EXPECT_EQ(outppp::outfil, 0);
  EXPECT_EQ(fnames::onam.trimmed(), "out");
  EXPECT_EQ(outppp::pplot, 0.0);
  EXPECT_EQ(outppp::snpfil, 0);
  EXPECT_EQ(snpdat::tsnap, 1e6);
  EXPECT_EQ(snpdat::snpinc, 1e6);
  EXPECT_EQ(snpdat::newsnp, 0);
  EXPECT_EQ(fnames::snam.trimmed(), "snap.snp");
  EXPECT_EQ(fnames::rtsnam.trimmed(), "runtime.snp");
  EXPECT_FALSE(ctrl::multirun);
  EXPECT_EQ(ctrl::mrunctrl, 0);
  EXPECT_EQ(ctrl::nrun, 1);
  EXPECT_EQ(fnames::mnam.trimmed(), "mrun");
  EXPECT_EQ(ctrl::mruntype, 0);
  EXPECT_EQ(ctrl::not2trace, 0);
  EXPECT_EQ(ctrl::rank, 0);
  // "datafile" does not exist: said on standard error; no reply on the link.
  EXPECT_NE(err_.str().find("Input file datafile does not exist.\n"), std::string::npos) << err_.str();
  EXPECT_TRUE(nothing_sent());
}

TEST_F(LinkDialogue, DataStartOutputSnapshotsRunsAndOptionsSetTheirState) {
  Watchdog dog("LinkDialogue.DataStartAndOptions", 30);
  const std::string map = file("a.map", "ENDCASE:\n");
  e_s1::delt = 2e-5;
  send(f().i(10).s(map));
  send(f().i(13).s("results"));
  send(f().i(15).s("s.snp").d(0.0).i(2));  // at the time step, periodic, new names
  send(f().i(16).i(0).s("mr"));            // runs under the design environment
  send(f().i(24).i(1));
  send(f().i(26).i(5).i(2).i(4));
  send(f().i(27).i(-1).s("lineA").s("lineB"));
  send(f().i(9).i(3).d(9.0).d(9.0).d(9.0));  // replaced by the next command 9
  send(f().i(30).i(2).d(8.0).d(8.0));        // replaced by the next command 30
  send(f().i(9).i(2).d(1.5).d(2.5));
  send(f().i(30).i(1).d(7.0));
  send(f().i(777));  // unknown: passed over
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(fnames::inam.trimmed(), map);
  EXPECT_EQ(fnames::mapname.trimmed(), map);
  EXPECT_EQ(assorc::input.view(), "DATA");
  EXPECT_EQ(outppp::outfil, 1);
  EXPECT_EQ(fnames::onam.trimmed(), "results");
  EXPECT_EQ(fnames::snam.trimmed(), "s.snp");
  EXPECT_EQ(outppp::snpfil, 1);
  EXPECT_EQ(snpdat::tsnap, 2e-5);
  EXPECT_EQ(snpdat::snpinc, 2e-5);
  EXPECT_EQ(snpdat::newsnp, 1);
  EXPECT_TRUE(ctrl::multirun);
  EXPECT_EQ(ctrl::mrunctrl, 1);
  EXPECT_EQ(ctrl::nrun, 2);
  EXPECT_EQ(fnames::mnam.trimmed(), "mr");
  EXPECT_EQ(ctrl::mruntype, 1);
  EXPECT_EQ(ctrl::not2trace, 1);
  EXPECT_EQ(ctrl::rank, 2);
  EXPECT_EQ(pmr_consolidate::pmr_count, 4);
  EXPECT_TRUE(tandem_line::enable_tandem_line);
  EXPECT_EQ(tandem_line::run_type, -1);
  EXPECT_EQ(tandem_line::tandemline1.trimmed(), "lineA");
  EXPECT_EQ(tandem_line::tandemline2.trimmed(), "lineB");
  ASSERT_TRUE(quolbv3::dsx.allocated());
  EXPECT_EQ(ndde::e_ndim(dim::pf_init), 2);
  EXPECT_EQ(quolbv3::dsx(1), 1.5);
  EXPECT_EQ(quolbv3::dsx(2), 2.5);
  ASSERT_TRUE(quolbv3::gsx.allocated());
  EXPECT_EQ(quolbv3::gsx(1), 7.0);
  EXPECT_EQ(quolbv3::gsx.size(), 1);
  EXPECT_TRUE(err_.str().empty()) << err_.str();
  EXPECT_TRUE(nothing_sent());
}

TEST_F(LinkDialogue, SnapshotScheduleRunCountsAndTheSingleSnapshot) {
  Watchdog dog("LinkDialogue.SnapshotSchedule", 30);
  const std::string map = file("b.map", "ENDCASE:\n");
  send(f().i(10).s(map));
  send(f().i(15).s("one.snp").d(-1.0).i(0));  // never within the run
  send(f().i(16).i(5).s("m5"));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(snpdat::tsnap, 0.5 + 1e12);
  EXPECT_EQ(snpdat::snpinc, 0.5 + 1e12);
  EXPECT_EQ(snpdat::newsnp, 0);
  EXPECT_TRUE(ctrl::multirun);
  EXPECT_EQ(ctrl::mrunctrl, 0);
  EXPECT_EQ(ctrl::nrun, 5);

  // Snapshot off again, and one run asked for: the defaults stay.
  send(f().i(15).s("x.snp").d(0.2).i(1));
  send(f().i(14));
  send(f().i(16).i(1).s("m1"));
  send(f().i(10).s(map));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(outppp::snpfil, 0);
  EXPECT_EQ(snpdat::tsnap, 1e6);
  EXPECT_EQ(snpdat::snpinc, 1e6);
  EXPECT_FALSE(ctrl::multirun);
  EXPECT_EQ(ctrl::nrun, 1);
  EXPECT_EQ(fnames::mnam.trimmed(), "m1");
}

TEST_F(LinkDialogue, SnapshotStartSendsTheSnapshotTime) {
  Watchdog dog("LinkDialogue.SnapshotStart", 30);
  const std::string snap = file("c.snp", "! WAKRO SNAP-SHOT - Version, Time, Delt\n 5.0 0.25 5.0E-5\n");
  send(f().i(11).s(snap).i(2).d(0.75));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(assorc::input.view(), "SNAP");
  EXPECT_EQ(fnames::inam.trimmed(), snap);
  EXPECT_EQ(ctrl::zerot, 0);  // only 1 restarts the time at zero
  EXPECT_EQ(e_s1::fintim, 0.75);
  Reader r = frame();
  EXPECT_EQ(r.i(), 17);
  EXPECT_DOUBLE_EQ(r.d(), 0.25);
  EXPECT_TRUE(r.atEnd());

  send(f().i(11).s(snap).i(1).d(0.9));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(ctrl::zerot, 1);
  EXPECT_EQ(frame().i(), 17);
}

TEST_F(LinkDialogue, NameLongerThanItsFieldStopsNamingTheField) {
  Watchdog dog("LinkDialogue.NameTooLong", 30);
  quolbv3::guisoc = 0;  // the stop without the link's abort notice
  send(f().i(13).s(std::string(35, 'o')));
  const auto stop = wakro_test::caught_fatal([] { dialogv3(); });
  ASSERT_TRUE(stop.has_value());
  EXPECT_EQ(stop->status(), 2000);
  const std::string out = out_.str();
  EXPECT_NE(out.find(" The name received for the output file (onam) does not fit its 34-character field.\n"),
            std::string::npos) << out;
  EXPECT_NE(out.find(" ERROR: Abnormal termination of WAKRO by DIALOGV3    \n"), std::string::npos) << out;
  // Exactly 34 characters fit.
  send(f().i(13).s(std::string(34, 'p')));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(fnames::onam.trimmed(), std::string(34, 'p'));
}

TEST_F(LinkDialogue, LoadFlowTablesAreFilledAndBoundedByTheirSizes) {
  Watchdog dog("LinkDialogue.LoadFlowTables", 30);
  using namespace pf_display;
  send(f().i(17).i(2).i(2).i(1).i(1).i(1));
  send(f().i(18).i(1).i(3).i(4).i(5).i(6));    // three-phase bus 1
  send(f().i(18).i(2).i(4).i(7).i(8).i(9).i(10));  // four nodes: the fourth takes slot 1
  send(f().i(18).i(1).i(1).i(3));              // beyond the two buses: ignored
  // Branch 1 at bus 1: per phase one branch, one winding, no conductor; the
  // second branch entry of phase 3 has no room and is dropped; phase 3 names
  // one line conductor.
  send(f().i(20).i(1)
           .i(1).i(11).i(1).i(2).i(1).i(0)
           .i(1).i(12).i(0).i(0)
           .i(2).i(13).i(14).i(0).i(1).i(3).i(2));
  // Branch 2: a count that runs past the message ends the read.
  send(f().i(20).i(1).i(1000000).i(21));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(nbus, 2);
  EXPECT_EQ(nwb, 2);
  EXPECT_EQ(pfsubs(1, 1), 1);
  EXPECT_EQ(pfsubs(1, 2), 3);
  EXPECT_EQ(pfnodes(1, 1), 4);
  EXPECT_EQ(pfnodes(1, 2), 5);
  EXPECT_EQ(pfnodes(1, 3), 6);
  EXPECT_EQ(pfsubs(2, 2), 4);
  EXPECT_EQ(pfnodes(2, 1), 10);
  EXPECT_EQ(pfnodes(2, 2), 8);
  EXPECT_EQ(pfbus(1), 1);
  EXPECT_EQ(pfbranch(1, 1, 1), 11);
  EXPECT_EQ(pftwindings(1, 1, 1, 1), 2);
  EXPECT_EQ(pftwindings(1, 1, 1, 2), 1);
  EXPECT_EQ(pfbranch(1, 2, 1), 12);
  EXPECT_EQ(pfbranch(1, 3, 1), 13);
  EXPECT_EQ(pftwindings(1, 3, 1, 1), 0);
  EXPECT_EQ(pfconductors(1, 3, 1, 1), 3);
  EXPECT_EQ(pfconductors(1, 3, 1, 2), 2);
  EXPECT_EQ(pfbus(2), 1);
  EXPECT_EQ(pfbranch(2, 1, 1), 21);
  EXPECT_EQ(pftwindings(2, 1, 1, 1), 0);
}

// The load-flow updates of a four-node case: subsystem 1, branch b from node b
// to ground; the warnings of the check reach the design environment as
// message 14, whose texts this returns in order.
class LoadFlowFromTheDialogue : public LinkDialogue {
 protected:
  void four_node_case() {
    e_s1::delt = 50e-6;
    e_s0::vdc.allocate(4, 1);
    branches::cbr.allocate(4, 1);
    branches::ief.allocate(4, 1);
    branches::iet.allocate(4, 1);
    for (std::int32_t b = 1; b <= 4; ++b) {
      branches::ief(b, 1) = b;
      e_s0::vdc(b, 1) = 1.0;
      branches::cbr(b, 1) = 0.5;
    }
  }
  std::vector<std::string> warnings_received() {
    std::vector<std::string> texts;
    while (auto r = peer_.recvFrame(200)) {
      EXPECT_EQ(r->i(), 14);
      for (int k = 0; k < 4; ++k) r->i();  // ids, severity, part
      texts.push_back(r->s());
    }
    return texts;
  }
};

// Found by fuzzing: a bus count of -1 left the one bus row that command 18 may
// fill unchecked, and a measuring branch on it read the node voltages of nodes
// 65 to 67 of a four-node case every step. The count is taken as 0; the branch
// names no bus the check accepted and is dropped.
TEST_F(LoadFlowFromTheDialogue, NegativeBusCountLeavesNoBusForAMeasuringBranch) {
  Watchdog dog("LinkDialogue.NegativeBusCount", 30);
  using namespace pf_display;
  send(f().i(17).i(-1).i(1).i(1).i(1).i(1));
  send(f().i(18).i(1).i(3).i(65).i(66).i(67));
  send(f().i(20).i(1).i(1).i(1).i(0).i(0).i(1).i(2).i(0).i(0).i(1).i(3).i(0).i(0));
  send(f().i(19));
  dialogv3();
  EXPECT_EQ(nbus, 0);
  EXPECT_EQ(ndde::e_ndim(dim::pf_buses), 0);
  four_node_case();
  for (int k = 0; k < 3; ++k) calc_pf();
  EXPECT_EQ(warnings_received(),
            std::vector<std::string>{"Load-flow display: measuring branch 1 names nothing in the case and is dropped."});
  EXPECT_EQ(pfbus(1), 0);
  for (std::int32_t c = 1; c <= 3; ++c) EXPECT_EQ(pfpqdata(1, c), 0.0);
}

// Found by fuzzing: a 52-byte start-up dialogue announced 2,000,000 measuring
// branches and sent one; every row never sent drew the "names nothing" warning
// (219 MB of warnings). Only the row that arrived is an entry.
TEST_F(LoadFlowFromTheDialogue, RowsAnnouncedButNeverSentAreNoEntries) {
  Watchdog dog("LinkDialogue.RowsNeverSent", 60);
  const std::vector<unsigned char> stations = f().i(17).i(0).i(2000000).i(0).i(0).i(0).bytes();
  const std::vector<unsigned char> branch = f().i(20).i(9).i(0).bytes();
  const std::vector<unsigned char> end = f().i(19).bytes();
  EXPECT_EQ(stations.size() + branch.size() + end.size(), 52u);
  for (const auto* m : {&stations, &branch, &end}) ASSERT_TRUE(peer_.sendRaw(*m));
  dialogv3();
  EXPECT_EQ(pf_display::nwb, 2000000);
  four_node_case();
  calc_pf();
  calc_pf();
  EXPECT_EQ(warnings_received(),
            std::vector<std::string>{"Load-flow display: measuring branch 1 names nothing in the case and is dropped."});
}

// Every count a frame of the start-up dialogue carries, at its extremes: what
// it sizes (the run set, a table, a loop) follows what arrived, and a run count
// beyond 10000 is refused as the case's multiple-run component refuses it.
TEST_F(LinkDialogue, EveryCountOfTheDialogueFollowsWhatArrived) {
  Watchdog dog("LinkDialogue.EveryCount", 60);
  using namespace pf_display;
  constexpr std::int32_t kHuge = 2147483647;
  const Frame bus = f().i(18).i(1).i(3).i(1).i(2).i(3);
  const Frame branch = f().i(20).i(1).i(1).i(5).i(0).i(0).i(1).i(6).i(0).i(0).i(1).i(7).i(0).i(0);
  auto station = [&](std::int32_t b, std::int32_t w, std::int32_t e) { return f().i(17).i(b).i(w).i(e).i(e).i(e); };
  // Held afterwards: runs, design-environment control, dsx, gsx, bus rows,
  // measuring-branch rows, branch entries and winding + conductor entries per
  // phase; {} for a refused run.
  struct Row { const char* count; std::vector<Frame> frames; std::vector<std::int32_t> held; };
  const std::vector<Row> table = {
      {"runs, huge", {f().i(16).i(kHuge).s("m")}, {}},
      {"runs, one beyond the bound", {f().i(16).i(10001).s("m")}, {}},
      {"runs, just in bound", {f().i(16).i(10000).s("m")}, {10000, 0, 0, 0, 0, 0, 0, 0}},
      {"runs, zero", {f().i(16).i(0).s("m")}, {2, 1, 0, 0, 0, 0, 0, 0}},
      {"runs, negative", {f().i(16).i(-kHuge).s("m")}, {2, 1, 0, 0, 0, 0, 0, 0}},
      {"initial values, huge", {f().i(9).i(kHuge).d(1.0)}, {1, 0, 1, 0, 0, 0, 0, 0}},
      {"initial values, negative", {f().i(9).i(-1).d(1.0)}, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"dialogue values, huge", {f().i(30).i(kHuge).d(1.0).d(2.0)}, {1, 0, 0, 2, 0, 0, 0, 0}},
      {"buses, huge, none sent", {station(kHuge, 0, 0)}, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"buses, huge, two sent", {station(kHuge, 0, 0), bus, bus}, {1, 0, 0, 0, 2, 0, 0, 0}},
      {"buses, zero", {station(0, 0, 0), bus}, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"buses, negative", {station(-kHuge, 0, 0), bus}, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"buses, just in bound", {station(2, 0, 0), bus, bus, bus}, {1, 0, 0, 0, 2, 0, 0, 0}},
      {"measuring branches, huge", {station(1, kHuge, 1), bus, branch}, {1, 0, 0, 0, 1, 1, 1, 0}},
      {"measuring branches, zero", {station(1, 0, 1), bus, branch}, {1, 0, 0, 0, 1, 0, 0, 0}},
      {"entries per phase, huge", {station(1, 1, kHuge), bus, branch}, {1, 0, 0, 0, 1, 1, 1, 0}},
      {"entries per phase, zero", {station(1, 1, 0), bus, branch}, {1, 0, 0, 0, 1, 1, 0, 0}},
      {"bus nodes, huge", {station(1, 0, 0), f().i(18).i(1).i(kHuge).i(4).i(5).i(6)}, {1, 0, 0, 0, 1, 0, 0, 0}},
      {"phase entries, huge", {station(1, 1, 2), bus, f().i(20).i(1).i(kHuge).i(9)}, {1, 0, 0, 0, 1, 1, 1, 0}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.count);
    deallocate_pf();
    quolbv3::dsx.release();
    quolbv3::gsx.release();
    quolbv3::guisoc = row.held.empty() ? 0 : 1;  // a refusal without the link's abort notice
    for (const Frame& m : row.frames) send(m);
    if (!row.held.empty()) send(f().i(19));
    out_.str("");
    const auto stop = wakro_test::caught_fatal([] { dialogv3(); });
    if (!row.held.empty()) {
      EXPECT_FALSE(stop.has_value());
      EXPECT_EQ(row.held, (std::vector<std::int32_t>{ctrl::nrun, ctrl::mrunctrl, quolbv3::dsx.extent(1),
                                                     quolbv3::gsx.extent(1), pfsubs.extent(1), pfbus.extent(1),
                                                     pfbranch.extent(3), pftwindings.extent(3) + pfconductors.extent(3)}));
      continue;
    }
    EXPECT_TRUE(stop.has_value() && stop->status() == 2000);
    EXPECT_NE(out_.str().find(" ***ERROR** Too Many Multiple Runs! Only Up To 10000 Runs Allowed!\n"
                              " ***ERROR** Only Up To 10000 Runs Allowed!\n"), std::string::npos) << out_.str();
  }
}

// A stop signal ends the dialogue also while commands keep arriving.
TEST_F(LinkDialogue, AStopSignalEndsTheDialogueWhileCommandsArrive) {
  Watchdog dog("LinkDialogue.StopWhileCommandsArrive", 30);
  quolbv3::guisoc = 0;
  send(f().i(16).i(5).s("m5"));
  send(f().i(19));
  wakro::g_received_stop_signal = SIGTERM;
  const auto stop = wakro_test::caught_fatal([] { dialogv3(); });
  wakro::g_received_stop_signal = 0;
  EXPECT_TRUE(stop.has_value() && stop->status() == 128 + SIGTERM && ctrl::nrun == 1);
}

// Rows and entries announced but never received are neither updated nor
// sent: of 1,000,000 buses announced one arrived, and the entries of its
// measuring branch never did.
TEST_F(LoadFlowFromTheDialogue, OnlyTheRowsAndEntriesReceivedAreUpdatedAndSent) {
  Watchdog dog("LinkDialogue.RowsReceived", 60);
  using namespace pf_display;
  std::int32_t buses = 1000000, one = 1;
  allocate_pf(buses, one, one, one, one);
  wakro::set_pf_rows({1, 1, {0, 0, 0}});
  pfsubs(1, 1) = pfsubs(1, 2) = pfbus(1) = 1;  // one node, at node 2; branch 2 measured
  pfnodes(1, 1) = pfbranch(1, 1, 1) = 2;
  four_node_case();
  for (int k = 0; k < 3; ++k) calc_pf();
  send_pfdata();
  Reader volts = frame();
  EXPECT_TRUE(volts.i() == 15 && volts.d() > 0.0 && volts.atEnd());
  Reader branch = frame();
  EXPECT_TRUE(branch.i() == 16 && branch.d() == 0.0 && branch.d() == 0.0 && branch.d() == 0.0 && branch.atEnd());
}

// A message longer than the link carries (64 MiB; these are 8 bytes beyond)
// is said in the run's messages, naming what was dropped; the end of the run
// still comes, without its values.
TEST_F(LinkDialogue, MessageTooLongForTheLinkIsSaidInTheRunsMessages) {
  Watchdog dog("LinkDialogue.MessageTooLong", 120);
  std::int32_t buses = 8388608, none = 0, one = 1;
  pf_display::allocate_pf(buses, none, one, one, one);
  wakro::reset_pf_check();
  send_pfdata();
  pf_display::deallocate_pf();
  ndde::e_ndim(dim::tx) = 8388607;
  radiolinks::tx.allocate(8388607);
  ctrl::lastrun = true;
  send_endofrunmsgs();
  for (const char* what : {"the load-flow bus voltages (message 15) of 8388608 buses",
                           "the 8388607 radio-link values of the end-of-run message (message 0)"}) {
    Reader said = frame();
    for (std::int32_t v : {14, 0, 0, 1, 1}) EXPECT_EQ(said.i(), v);
    EXPECT_EQ(said.s(), "Message too long for the link (at most 67108864 bytes), not sent: " + std::string(what) + ".");
  }
  Reader end = frame();
  EXPECT_TRUE(end.i() == 0 && end.i() == 0 && end.i() == 0 && end.atEnd());
}

// ------------------------------------------------------------------ run-time commands

TEST_F(LinkDialogue, WatchedValuesAreAcknowledgedAndSentInListOrder) {
  Watchdog dog("LinkDialogue.WatchedValues", 30);
  e_s4::pgb.allocate(3);
  e_s4::pgb(2) = 4.5;
  quolbv3::stoi.allocate(2);
  quolbv3::stoi(2) = 17;
  ctrl::iii = 8;
  e_s1::delt = 1e-3;
  const std::int32_t channel2 = (6 << 24) | 2;
  const std::int32_t time = 0;
  const std::int32_t integer2 = (2 << 24) | 2;
  const std::int32_t outside = (7 << 24) | 99;  // no such variable
  for (std::int32_t code : {channel2, time, integer2, outside}) send(f().i(2).i(code));
  send(f().i(3).i(time));
  send(f().i(3).i(12345));  // not watched: the list stays, still answered
  send(f().i(0));
  EXPECT_EQ(read_commands(), 1);
  EXPECT_GE(allowance_, 2);
  for (std::int32_t code : {channel2, time, integer2, outside}) {
    Reader r = frame();
    EXPECT_EQ(r.i(), 7);
    EXPECT_EQ(r.i(), code);
  }
  for (std::int32_t code : {time, 12345}) {
    Reader r = frame();
    EXPECT_EQ(r.i(), 8);
    EXPECT_EQ(r.i(), code);
  }
  EXPECT_EQ(monitorcode::n, 3);
  outqbv3();
  Reader values = frame();
  EXPECT_EQ(values.i(), 1);
  EXPECT_EQ(values.d(), 4.5);
  EXPECT_EQ(values.i(), 17);
  EXPECT_EQ(values.d(), 0.0);
  EXPECT_TRUE(values.atEnd());

  // Removing from an empty list sends nothing; a peek sends the values asked.
  init_monitorcode();
  send(f().i(3).i(channel2));
  send(f().i(6).i(time).i(2));
  send(f().i(22));
  EXPECT_EQ(read_commands(), 2);
  Reader peek = frame();
  EXPECT_EQ(peek.i(), 6);
  EXPECT_EQ(peek.i(), time);
  EXPECT_EQ(peek.i(), 2);
  EXPECT_DOUBLE_EQ(peek.d(), 8e-3);
  EXPECT_DOUBLE_EQ(peek.d(), 8e-3);
  EXPECT_TRUE(peek.atEnd());
}

TEST_F(LinkDialogue, SlidersButtonsAndTheRadioLinks) {
  Watchdog dog("LinkDialogue.SlidersButtons", 30);
  ndde::nd16 = 3;
  quolbv3::cx.allocate(3);
  quolbv3::cx(2) = 1.0;
  ndde::nd37 = 2;
  radiolinks::tx.allocate(2);
  send(f().i(4).i(1).d(2.5));
  send(f().i(7).i(2).d(9.0));
  send(f().i(7).i(2).d(4.0));
  send(f().i(21).i(2).d(0.5).i(1).d(0.25).i(0));
  send(f().i(0));
  EXPECT_EQ(read_commands(), 1);
  Reader ack = frame();
  EXPECT_EQ(ack.i(), 9);
  EXPECT_EQ(ack.i(), 1);
  EXPECT_TRUE(ack.atEnd());
  EXPECT_EQ(quolbv3::cx(1), 2.5);
  EXPECT_EQ(quolbv3::cx(2), 4.0);
  EXPECT_EQ(radiolinks::tx(1), 0.25);
  EXPECT_EQ(radiolinks::tx(2), 0.5);
  // The presses end with the step: the value before both comes back.
  reset_button();
  EXPECT_EQ(quolbv3::cx(2), 1.0);
  EXPECT_EQ(quolbv3::cx(1), 2.5);
  EXPECT_TRUE(nothing_sent());

  // The end-of-run message carries the radio-link values.
  ndde::e_ndim(dim::tx) = 2;
  ctrl::lastrun = false;
  send_endofrunmsgs();
  Reader end = frame();
  EXPECT_EQ(end.i(), 0);
  EXPECT_EQ(end.i(), 1);
  EXPECT_EQ(end.i(), 2);
  EXPECT_EQ(end.d(), 0.25);
  EXPECT_EQ(end.d(), 0.5);
  EXPECT_TRUE(end.atEnd());
}

TEST_F(LinkDialogue, PushButtonAddressOutsideTheControlsStops) {
  Watchdog dog("LinkDialogue.ButtonAddress", 30);
  quolbv3::guisoc = 0;
  ndde::nd16 = 1;
  quolbv3::cx.allocate(1);
  send(f().i(7).i(2).d(1.0));
  const auto stop = wakro_test::caught_fatal([this] { read_commands(); });
  ASSERT_TRUE(stop.has_value());
  EXPECT_EQ(stop->status(), 2000);
  EXPECT_NE(out_.str().find("Invalid address of Push Button"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find(" ERROR: Abnormal termination of WAKRO by SET_BUTTON  \n"), std::string::npos);
}

TEST_F(LinkDialogue, PlotStepGrantsPauseAndLastRun) {
  Watchdog dog("LinkDialogue.PlotStep", 30);
  e_s1::delt = 50e-6;
  e_s1::print = 250e-6;
  ctrl::iii = 3;
  e_s1::time = 2e-4;
  send(f().i(5).d(1e-4));    // two steps: answered
  send(f().i(5).d(1.1e-4));  // still two steps: nothing
  send(f().i(5).d(1e-6));    // below one step: one step
  send(f().i(1).i(-4));      // no grant: the step report
  send(f().i(1).i(7));
  send(f().i(28));           // pause: the step report, no steps left
  send(f().i(23));
  ctrl::mmm = 2;
  ctrl::nrun = 5;
  send(f().i(31));
  send(f().i(0));
  EXPECT_EQ(read_commands(), 1);
  EXPECT_EQ(sock2::rtpr, 1e-6);
  EXPECT_DOUBLE_EQ(e_s1::print, 50e-6);
  Reader plot = frame();
  EXPECT_EQ(plot.i(), 20);
  EXPECT_DOUBLE_EQ(plot.d(), 100.0);
  Reader plot2 = frame();
  EXPECT_EQ(plot2.i(), 20);
  EXPECT_DOUBLE_EQ(plot2.d(), 50.0);
  for (int k = 0; k < 2; ++k) {
    Reader report = frame();
    EXPECT_EQ(report.i(), 4);
    EXPECT_EQ(report.i(), 3);
    EXPECT_DOUBLE_EQ(report.d(), 2e-4);
  }
  EXPECT_EQ(allowance_, 2);  // the pause took the 7 steps; the stop asks for 2
  EXPECT_EQ(ctrl::nrun, 2);
  EXPECT_TRUE(ctrl::lastrun);
  EXPECT_EQ(e_s4::update_ag, 1);
  EXPECT_TRUE(nothing_sent());
}

// Command 15 writes a run-time snapshot at once in a run that is not parallel
// (rank 0) and in the first process of a parallel multiple run, never in the
// others; the writer sees the request flag, which is cleared after it.
std::vector<std::int32_t> g_snapshot_flags;
void record_snapshot() { g_snapshot_flags.push_back(snpdat::rtsnap); }

TEST_F(LinkDialogue, RunTimeSnapshotIsServedAtRankZeroOrOne) {
  Watchdog dog("LinkDialogue.RunTimeSnapshot", 30);
  wakro::seams().writesnap = &record_snapshot;
  const struct {
    std::int32_t rank;
    std::size_t written;
  } cases[] = {{0, 1}, {1, 1}, {2, 0}, {3, 0}};
  for (const auto& c : cases) {
    g_snapshot_flags.clear();
    ctrl::rank = c.rank;
    send(f().i(15));
    send(f().i(0));
    EXPECT_EQ(read_commands(), 1);
    EXPECT_EQ(g_snapshot_flags.size(), c.written) << "rank " << c.rank;
    for (std::int32_t flag : g_snapshot_flags) EXPECT_EQ(flag, 1);
    EXPECT_EQ(snpdat::rtsnap, 0);
  }
}

TEST_F(LinkDialogue, ProgressIsReportedEveryOnePercent) {
  Watchdog dog("LinkDialogue.Progress", 30);
  ctrl::ndelt = 300;  // 1 % = 3 steps
  e_s1::firststep = true;
  std::vector<std::int32_t> percents;
  for (ctrl::iii = 0; ctrl::iii <= 10; ++ctrl::iii) {
    qbstep(1);
    e_s1::firststep = false;
  }
  // The first step reports 0 % and sets the next report one per cent on, then
  // moves it on by one per cent as it reports: steps 0, 6 and 9 report 0, 2
  // and 3 %, and every 3 steps (1 %) from there.
  for (std::int32_t p : {0, 2, 3}) {
    Reader r = frame();
    EXPECT_EQ(r.i(), 3);
    EXPECT_EQ(r.i(), p);
    EXPECT_TRUE(r.atEnd());
  }
  EXPECT_TRUE(nothing_sent());
}

TEST_F(LinkDialogue, LoadFlowValuesAreSentOnRequest) {
  Watchdog dog("LinkDialogue.LoadFlowValues", 30);
  using namespace pf_display;
  wakro::seams().send_pfdata = &send_pfdata;
  std::int32_t buses = 2, branches = 1, nb = 1, ntwdg = 1, nc = 1;
  allocate_pf(buses, branches, nb, ntwdg, nc);
  pfdata(1) = 1.5;
  pfdata(2) = 2.5;
  for (std::int32_t c = 1; c <= 3; ++c) pfpqdata(1, c) = 2.0 + c;
  send(f().i(8));
  send(f().i(0));
  EXPECT_EQ(read_commands(), 1);
  Reader bus = frame();
  EXPECT_EQ(bus.i(), 15);
  EXPECT_EQ(bus.d(), 1.5);
  EXPECT_EQ(bus.d(), 2.5);
  EXPECT_TRUE(bus.atEnd());
  Reader branch = frame();
  EXPECT_EQ(branch.i(), 16);
  EXPECT_EQ(branch.d(), 3.0);
  EXPECT_EQ(branch.d(), 4.0);
  EXPECT_EQ(branch.d(), 5.0);
  EXPECT_TRUE(branch.atEnd());
}

TEST_F(LinkDialogue, GraphicParametersAreSentAndListedWhileTracing) {
  Watchdog dog("LinkDialogue.GraphicParameters", 30);
  quolb_agr2(3, 4, 1.25, "Vset");
  quolb_agi(5, 7, "Taps");
  quolb_agrg2(2, 1, 1234.5678, "Gain");
  Reader real = frame();
  EXPECT_EQ(real.i(), 11);
  EXPECT_EQ(real.i(), 3);
  EXPECT_EQ(real.i(), 4);
  EXPECT_EQ(real.d(), 1.25);
  EXPECT_EQ(real.s(), "Vset");
  EXPECT_TRUE(real.atEnd());
  Reader integer = frame();
  EXPECT_EQ(integer.i(), 12);
  EXPECT_EQ(integer.i(), -1);
  EXPECT_EQ(integer.i(), 5);
  EXPECT_EQ(integer.i(), 7);
  EXPECT_EQ(integer.s(), "Taps");
  Reader text = frame();
  EXPECT_EQ(text.i(), 13);
  EXPECT_EQ(text.i(), 2);
  EXPECT_EQ(text.i(), 1);
  EXPECT_EQ(text.s(), "1235");
  EXPECT_EQ(text.s(), "Gain");
  EXPECT_EQ(out_.str(), " QUOLB_AGR2 PARAM Vset\n QUOLB_AGI2 PARAM Taps\n QUOLB_AGRG2 PARAM Gain\n");
  // Without the graphic trace nothing is sent or written.
  ctrl::not2trace = 1;
  quolb_agr(1, 2.0, "Off");
  EXPECT_TRUE(nothing_sent());
  EXPECT_EQ(out_.str(), " QUOLB_AGR2 PARAM Vset\n QUOLB_AGI2 PARAM Taps\n QUOLB_AGRG2 PARAM Gain\n");
}

TEST_F(LinkDialogue, BrokenLinkWhileWaitingEndsAsAStop) {
  Watchdog dog("LinkDialogue.BrokenLink", 30);
  peer_.closeClient();
  EXPECT_EQ(read_commands(0), 1);
  EXPECT_GE(allowance_, 2);
}

}  // namespace
}  // namespace app_test
