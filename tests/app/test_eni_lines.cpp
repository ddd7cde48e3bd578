// ENI lines end to end: the matched-step line (a 1 kV step behind 400 ohm into a
// lossless line of Zc = 400 ohm and ten steps of travel time, far end open) run
// whole in one process, and split over two processes: the server process holds
// the source and the line model, the client process the open end. The server
// takes the client's voltages of the previous step exactly as the single
// process takes its own, so both node voltages agree bit for bit every step
// (the case writes them as hexadecimal floating-point numbers).
//
// The server is asked for port 0 and says which port the system chose; the
// client is started only once that line is in the server's output, so nothing
// depends on timing. Also: the failures of the start-up (time steps differ, a
// client that cannot connect, a wrong command 25), record 19 and command 25
// over the design environment's link, a second run that reuses the links, and a
// client killed in the middle of a run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_ENI_STEP_EXE
#error "WAKRO_ENI_STEP_EXE must name the built ENI step case"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;
using wakro_test::Reader;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_ENI_STEP_EXE;
constexpr int kSteps = 31;  // 0 .. 1.5 ms every 50 us

enum class Model { bergeron, frephase };
enum class Part { whole, server, client };

// The line's constants: a lossless Bergeron line (F1 = F2, T1 tiny) or a
// FRE-PHASE fit with D = 1/400 and H = 1 through one pole of 1e15.
std::string constants(Model m) {
  if (m == Model::bergeron) return "1 0 0 0 60.0 60.0 1.0 1.0E-7 0.0\n0 0 0.5 400.0 0.0 0.0 1.0\n";
  return "FRE-PHASE\nCharacteristic\nadmittance\n1\nYc\n0\n0.0025\nPropagation\nfunction\n1\nDelays\n"
         "0.0005\nPoles\n1\n-1e15\n0\nResidues\n1e15\n0\n";
}

struct CaseSpec {
  Model model = Model::bergeron;
  Part part = Part::whole;
  std::string delt = "50.0E-6";
  std::string finish = "0.0015";
  int runs = 1;
  int conductors = 1;  // a client end of two conductors ends on nodes 1 and 2
};

void write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes the map file, the page, the line constants and the console answers
// (the port answers follow, one per run) into dir.
void write_case(const fs::path& dir, const CaseSpec& c, const std::string& port) {
  const int nodes = c.part == Part::server ? 1 : 2;
  std::ostringstream map;
  map << "DIMENSIONS:\n NODES = " << nodes << "\n SUBSYS = 1\n BRANCHES = 1\n NNODES = " << 2 + nodes
      << "\n NPAGES = 1\n STOF = 3\nPARAMETERS:\n TITLE = 'ENI step'\n TIME_STEP = " << c.delt
      << "\n PRINT_STEP = " << c.delt << "\n FINISH_TIME = " << c.finish << "\nSUBSYSDIM:\n 1 " << nodes
      << "\nMAP: eni.dta\n 1 " << nodes << (nodes == 2 ? " 1 2" : " 1") << "\n 0 0\nENDCASE:\n";
  write(dir / "eni.map", map.str());
  const int role = c.part == Part::whole ? 0 : (c.part == Part::server ? 1 : 2);
  std::ostringstream page;
  page << "BRANCHES:\n 0 " << (c.part == Part::client ? 2 : 1) << " RE 400.0 0.0\n"
       << "GLOBAL_TLINES:\nQuolb Line Constants\n" << c.conductors << " " << role << "\n1 1"
       << (c.conductors == 2 ? " 2" : "") << " 1 0 1 0\n"
       << (c.part == Part::whole ? "1 2 1 0 1 0\n" : "") << "TLINE-INPUT-DATA  eni line\n"
       << "TLINE-OUTPUT-DATA line1.tlo\nSTOF:\n 1 " << (c.part == Part::client ? "0.0" : "1.0")
       << "\n 2 0.0\n 3 " << nodes << "\nENDPAGE:\n";
  write(dir / "eni.dta", page.str());
  write(dir / "line1.tlo", constants(c.model));
  std::string answers = "0\n0\neni.map\n" + std::to_string(c.runs) + "\n0\n0\n0\n";
  for (int r = 0; r < c.runs && c.part != Part::whole; ++r) answers += port + "\n";
  write(dir / "answers.txt", answers);
}

fs::path make_dir(const char* stem) {
  std::string tmpl = std::string("/tmp/wakro_eni_") + stem + "_XXXXXX";
  return ::mkdtemp(tmpl.data()) != nullptr ? fs::path(tmpl) : fs::path();
}

// The volts lines of one process: "run step v1 [v2] i_sending i_receiving".
std::vector<std::vector<std::string>> volts(const fs::path& dir) {
  std::istringstream in(slurp(dir / "volts.txt"));
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> row;
    std::string f;
    while (fields >> f) row.push_back(f);
    rows.push_back(row);
  }
  return rows;
}

// The port an ENI server says it listens on, -1 when it has not said so yet.
int listening_port(const std::string& out) {
  const std::string key = "listens on port ";
  const std::size_t at = out.find(key);
  if (at == std::string::npos || out.find('\n', at) == std::string::npos) return -1;
  return std::stoi(out.substr(at + key.size()));
}

// A port on which nothing listens: bound by the system, then closed again.
int closed_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t n = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  ::close(fd);
  return ntohs(a.sin_port);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class EniLines : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const fs::path& d : dirs_) {
      std::error_code ec;
      fs::remove_all(d, ec);
    }
  }
  fs::path dir(const char* stem) {
    dirs_.push_back(make_dir(stem));
    return dirs_.back();
  }
  std::unique_ptr<ChildProcess> start(const fs::path& d, std::vector<std::string> extra = {}) {
    std::vector<std::string> words = {kExe, "-v5"};
    words.insert(words.end(), extra.begin(), extra.end());
    auto p = std::make_unique<ChildProcess>(words, d.string(), (d / "answers.txt").string());
    EXPECT_TRUE(p->started());
    return p;
  }
  // The server's chosen port, once it has said it (the wait ends early when
  // the server ends first).
  int port_of(ChildProcess& server) {
    int port = -1;
    EXPECT_TRUE(wakro_test::waitUntil(
        [&] {
          port = listening_port(server.out());
          return port > 0 || ::kill(server.pid(), 0) != 0;
        },
        30000))
        << server.out();
    return port;
  }
  std::vector<std::vector<std::string>> run_whole(Model m) {
    const fs::path d = dir("whole");
    write_case(d, {m, Part::whole}, "");
    auto p = start(d);
    EXPECT_TRUE(p->wait(60000));
    EXPECT_EQ(p->exitCode(), 0) << p->out() << p->err();
    return volts(d);
  }
  // Runs the pair; leaves both processes ended and their folders in sdir_, cdir_.
  void run_pair(CaseSpec server, CaseSpec client) {
    sdir_ = dir("server");
    cdir_ = dir("client");
    server.part = Part::server;
    client.part = Part::client;
    write_case(sdir_, server, "0");
    server_ = start(sdir_);
    const int port = port_of(*server_);
    ASSERT_GT(port, 0) << server_->out();
    write_case(cdir_, client, std::to_string(port));
    client_ = start(cdir_);
    EXPECT_TRUE(server_->wait(60000));
    EXPECT_TRUE(client_->wait(60000));
  }
  // Starts a pair of two million steps and returns once both are stepping
  // (the client has written a few steps): the pair is still running.
  void start_long_pair() {
    CaseSpec longer{Model::bergeron};
    longer.finish = "100.0";
    sdir_ = dir("server");
    cdir_ = dir("client");
    longer.part = Part::server;
    write_case(sdir_, longer, "0");
    server_ = start(sdir_);
    const int port = port_of(*server_);
    ASSERT_GT(port, 0) << server_->out();
    longer.part = Part::client;
    write_case(cdir_, longer, std::to_string(port));
    client_ = start(cdir_);
    ASSERT_TRUE(wakro_test::waitUntil([&] { return volts(cdir_).size() >= 5; }, 30000)) << client_->out();
  }
  // The pair's voltages against the whole line's, bit for bit, every step of
  // every run.
  void expect_same_as_whole(Model m, int runs) {
    const auto whole = run_whole(m);
    const auto s = volts(sdir_);
    const auto c = volts(cdir_);
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(kSteps));
    ASSERT_EQ(s.size(), static_cast<std::size_t>(kSteps * runs)) << server_->out();
    ASSERT_EQ(c.size(), static_cast<std::size_t>(kSteps * runs)) << client_->out();
    for (std::size_t k = 0; k < s.size(); ++k) {
      const auto& w = whole[k % kSteps];
      ASSERT_EQ(w.size(), 6u);
      ASSERT_EQ(s[k].size(), 5u);
      ASSERT_EQ(c[k].size(), 6u);
      EXPECT_EQ(s[k][1], w[1]);
      EXPECT_EQ(s[k][2], w[2]) << "sending end, line " << k;
      EXPECT_EQ(c[k][2], w[3]) << "open end, line " << k;
      // Terminal currents: the server's sending end, and the client's end
      // (its row's first column), rebuilt from the received history each step.
      EXPECT_EQ(s[k][3], w[4]) << "sending-end current, line " << k;
      EXPECT_EQ(c[k][4], w[5]) << "open-end current, line " << k;
    }
    // The closed form's landmarks: the far end is 0 until step 10 and 1 kV
    // after it, the sending end 0.5 kV until step 20.
    EXPECT_EQ(std::stod(c[9][2]), 0.0);
    EXPECT_NEAR(std::stod(c[10][2]), 1.0, 1e-12);
    EXPECT_NEAR(std::stod(s[19][2]), 0.5, 1e-12);
    EXPECT_NEAR(std::stod(s[20][2]), 1.0, 1e-12);
  }

  std::vector<fs::path> dirs_;
  fs::path sdir_, cdir_;
  std::unique_ptr<ChildProcess> server_, client_;
};

// The page's node count comes from a real: a fraction, a value beyond the
// page's nodes or beyond the 32-bit range stops the run naming it.
TEST_F(EniLines, ANodeCountThatIsNoWholeNumberFromOneToTwoStopsTheRun) {
  Watchdog dog("EniLines.NodeCountFromAReal", 120);
  for (const auto& [value, said] : {std::pair{"1.5", "1.5"}, {"3.0", "3"}, {"0.0", "0"}, {"-1.0", "-1"}, {"1.0E10", "1e+10"}}) {
    const fs::path d = dir("nodes");
    write_case(d, {Model::bergeron, Part::whole}, "");
    write(d / "eni.dta", std::regex_replace(slurp(d / "eni.dta"), std::regex("\n 3 2\n"), "\n 3 " + std::string(value) + "\n"));
    auto p = start(d);
    ASSERT_TRUE(p->wait(60000));
    EXPECT_EQ(p->exitCode(), 2) << p->out();
    EXPECT_TRUE(contains(p->out(), std::string(" ***ERROR** The page's node count (its stored real 3) is ") + said +
                                       ": a whole number from 1 to 2 is needed.\n")) << p->out();
  }
}

TEST_F(EniLines, BergeronSplitOverTwoProcessesEqualsOneProcessBitForBit) {
  Watchdog dog("EniLines.Bergeron", 120);
  run_pair({Model::bergeron}, {Model::bergeron});
  EXPECT_EQ(server_->exitCode(), 0) << server_->out() << server_->err();
  EXPECT_EQ(client_->exitCode(), 0) << client_->out() << client_->err();
  EXPECT_TRUE(contains(server_->out(), " Enter port number for ENI server 'line1'\n")) << server_->out();
  EXPECT_TRUE(contains(client_->out(), " Enter port number for ENI client 'line1'\n")) << client_->out();
  expect_same_as_whole(Model::bergeron, 1);
}

TEST_F(EniLines, FrePhaseSplitOverTwoProcessesEqualsOneProcessBitForBit) {
  Watchdog dog("EniLines.FrePhase", 120);
  run_pair({Model::frephase}, {Model::frephase});
  EXPECT_EQ(server_->exitCode(), 0) << server_->out() << server_->err();
  EXPECT_EQ(client_->exitCode(), 0) << client_->out() << client_->err();
  expect_same_as_whole(Model::frephase, 1);
}

TEST_F(EniLines, SecondRunReusesTheLinksAndRepeatsTheStartOfRunExchange) {
  // A second run that skipped tag 74 would leave the server reading the
  // client's voltages as the start-of-run message: it would never end.
  Watchdog dog("EniLines.SecondRun", 120);
  CaseSpec twice{Model::bergeron};
  twice.runs = 2;
  run_pair(twice, twice);
  EXPECT_EQ(server_->exitCode(), 0) << server_->out() << server_->err();
  EXPECT_EQ(client_->exitCode(), 0) << client_->out() << client_->err();
  const std::string out = server_->out();
  const std::size_t first = out.find("listens on port ");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(out.find("listens on port ", first + 1), std::string::npos) << out;
  expect_same_as_whole(Model::bergeron, 2);
}

TEST_F(EniLines, DifferentTimeStepsStopTheServerAtTheStartOfTheRun) {
  Watchdog dog("EniLines.TimeSteps", 120);
  CaseSpec client{Model::bergeron};
  client.delt = "25.0E-6";
  client.finish = "0.0015";
  run_pair({Model::bergeron}, client);
  const std::string out = server_->out();
  EXPECT_NE(server_->exitCode(), 0);
  EXPECT_TRUE(contains(out, "Projects linked with ENI lines have different")) << out;
  EXPECT_TRUE(contains(out, " startup times, time steps or finish times.")) << out;
  EXPECT_TRUE(contains(out, "ERROR: Abnormal termination of WAKRO by ENI_INIT    ")) << out;
  // The client, left alone on a closed link, stops too.
  EXPECT_NE(client_->exitCode(), 0) << client_->out();
}

TEST_F(EniLines, ConductorCountsThatDifferStopTheClientAtTimeZero) {
  Watchdog dog("EniLines.Conductors", 120);
  CaseSpec client{Model::bergeron};
  client.conductors = 2;
  run_pair({Model::bergeron}, client);
  const std::string out = client_->out();
  EXPECT_NE(client_->exitCode(), 0);
  EXPECT_TRUE(contains(out, "ENI line line1: the other process has 1 conductors, this process 2.")) << out;
  EXPECT_TRUE(contains(out, "ERROR: Abnormal termination of WAKRO by ENI_INIT    ")) << out;
  EXPECT_NE(server_->exitCode(), 0) << server_->out();
}

TEST_F(EniLines, ClientThatCannotConnectStops) {
  Watchdog dog("EniLines.NoServer", 120);
  const fs::path d = dir("alone");
  CaseSpec c{Model::bergeron};
  c.part = Part::client;
  write_case(d, c, std::to_string(closed_port()));
  auto p = start(d);
  ASSERT_TRUE(p->wait(60000));
  EXPECT_NE(p->exitCode(), 0);
  EXPECT_TRUE(contains(p->out(), "ENI Connections cannot be established.")) << p->out();
  EXPECT_TRUE(contains(p->out(), "ERROR: Abnormal termination of WAKRO by ENI_CLIENT  ")) << p->out();
}

// A server waiting for its client stops on SIGTERM as the start-up dialogue does.
TEST_F(EniLines, ServerWaitingForItsClientStopsOnASignal) {
  Watchdog dog("EniLines.ServerStops", 120);
  const fs::path d = dir("waits");
  write_case(d, {Model::bergeron, Part::server}, "0");
  auto p = start(d);
  ASSERT_GT(port_of(*p), 0);
  ::kill(p->pid(), SIGTERM);
  ASSERT_TRUE(p->wait(30000));
  EXPECT_TRUE(p->exitCode() == 143 && contains(p->out(), " Stopped by SIGTERM while waiting for the other process of "
                                                         "the ENI lines: the run did not start.\n")) << p->out();
}

TEST_F(EniLines, ClientKilledMidRunStopsTheServerWithAMessage) {
  Watchdog dog("EniLines.Killed", 120);
  start_long_pair();
  if (HasFatalFailure()) return;
  ASSERT_EQ(::kill(client_->pid(), SIGKILL), 0);
  EXPECT_FALSE(client_->wait(20000) && client_->exitCode() == 0);
  ASSERT_TRUE(server_->wait(20000)) << "the server did not stop";
  EXPECT_NE(server_->exitCode(), 0);
  EXPECT_TRUE(contains(server_->out() + server_->err(), "is closed.")) << server_->out() << server_->err();
}

// A client that goes silent mid-run (stopped, not killed: its link stays
// open) does not hold a server that a stop signal ends.
TEST_F(EniLines, ServerWaitingForASilentClientMidRunStopsOnASignal) {
  Watchdog dog("EniLines.SilentClient", 120);
  start_long_pair();
  if (HasFatalFailure()) return;
  ASSERT_EQ(::kill(client_->pid(), SIGSTOP), 0);
  ASSERT_EQ(::kill(server_->pid(), SIGTERM), 0);
  ASSERT_TRUE(server_->wait(10000)) << "the server still waits for its silent client";
  EXPECT_EQ(server_->exitCode(), 143) << server_->out() << server_->err();
  EXPECT_TRUE(contains(server_->out(), " Stopped by SIGTERM while waiting for the other process of the ENI lines.\n"))
      << server_->out();
  ::kill(client_->pid(), SIGKILL);
}

// A line resumes from snapshots: each part runs from its data files to a
// snapshot at 0.7 ms (step 14: the wave has reached the open end, its
// reflection is on its way back to the sending end, which it reaches at step
// 20), then from that snapshot to the finish; the resumed steps equal the
// uninterrupted run's, bit for bit. A split line's two ends resume together,
// each from its own snapshot, the ports asked again on the console; the whole
// FRE-PHASE line is a phase-domain line in one process.
struct ResumeRow {
  const char* name;
  Model model;
  bool split;
};

class EniResume : public EniLines, public ::testing::WithParamInterface<ResumeRow> {
 protected:
  // Runs every part with the console answers (each end's port answer after
  // them: the server's 0, the client's the port the server chose); each
  // part's volts rows.
  std::vector<std::vector<std::vector<std::string>>> run_parts(const std::vector<fs::path>& parts,
                                                                const std::string& answers) {
    std::vector<std::unique_ptr<ChildProcess>> runs;
    std::string port = "0";
    for (const fs::path& d : parts) {
      write(d / "answers.txt", answers + (parts.size() > 1 ? port + "\n" : ""));
      runs.push_back(start(d));
      if (parts.size() > 1 && runs.size() == 1) port = std::to_string(port_of(*runs.back()));
    }
    std::vector<std::vector<std::vector<std::string>>> rows;
    for (std::size_t k = 0; k < parts.size(); ++k) {
      EXPECT_TRUE(runs[k]->wait(60000));
      EXPECT_EQ(runs[k]->exitCode(), 0) << runs[k]->out() << runs[k]->err();
      rows.push_back(volts(parts[k]));
    }
    return rows;
  }
};

TEST_P(EniResume, ResumedStepsEqualTheUninterruptedRun) {
  Watchdog dog("EniResume", 120);
  const ResumeRow& row = GetParam();
  std::vector<fs::path> parts;
  for (Part part : row.split ? std::vector<Part>{Part::server, Part::client} : std::vector<Part>{Part::whole}) {
    parts.push_back(dir("resume"));
    write_case(parts.back(), {row.model, part}, "");
  }
  const auto full = run_parts(parts, "0\n1\n0.0007\nsnap\neni.map\n1\n0\n0\n0\n");
  const auto resumed = run_parts(parts, "1\n0\n0\n1\n0\n0\nsnap\n0.0008\n0\n");
  constexpr std::size_t kAfter = kSteps - 15;  // steps 15 .. 30
  for (std::size_t k = 0; k < parts.size(); ++k) {
    ASSERT_EQ(full[k].size(), static_cast<std::size_t>(kSteps));
    ASSERT_EQ(resumed[k].size(), kAfter) << slurp(parts[k] / "answers.txt");
    for (std::size_t r = 0; r < kAfter; ++r) EXPECT_EQ(resumed[k][r], full[k][15 + r]) << "part " << k << " row " << r;
  }
  // The sending end (the first part's first voltage) takes the reflection
  // after the snapshot: 0.5 kV until step 20, 1 kV from it.
  EXPECT_NEAR(std::stod(resumed[0][4][2]), 0.5, 1e-12);
  EXPECT_NEAR(std::stod(resumed[0][5][2]), 1.0, 1e-12);
}

const ResumeRow kResumeRows[] = {
    {"PhaseDomainLineInOneProcess", Model::frephase, false},
    {"BergeronSplitOverTwoProcesses", Model::bergeron, true},
    {"FrePhaseSplitOverTwoProcesses", Model::frephase, true},
};

INSTANTIATE_TEST_SUITE_P(Lines, EniResume, ::testing::ValuesIn(kResumeRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Over the design environment's link: record 19 names the server end, command
// 25 gives it port 0 (the console line shows it), and the run goes on with a
// client from the console. A command 25 with a wrong total stops the run.
class EniLink : public EniLines {
 protected:
  // Dialogue, run start and record 19 of a server case; returns record 19.
  Reader begin(const fs::path& d) {
    peer_ = std::make_unique<ScriptedPeer>();
    server_ = start(d, {"-locale", "C", "-port", std::to_string(peer_->port())});
    EXPECT_TRUE(peer_->accept(10000));
    EXPECT_TRUE(peer_->sendKey());
    EXPECT_TRUE(peer_->sendFrame(peer_->frame().i(10).s("eni.map")));
    EXPECT_TRUE(peer_->sendFrame(peer_->frame().i(19)));
    for (int k = 0; k < 20; ++k) {
      auto r = peer_->recvFrame(20000);
      if (!r) break;
      if (r->i() == 19) return *r;
    }
    ADD_FAILURE() << "no record 19";
    return Reader({}, false);
  }
  // Everything the engine sends until it closes, as one text; the end of the
  // run is answered (no further run) and so is the closing exchange.
  std::string drain() {
    std::string all;
    while (auto r = peer_->recvFrame(20000)) {
      all.append(r->body().begin(), r->body().end());
      const std::int32_t tag = r->i();
      if (tag == 0 && r->body().size() > 4) {
        EXPECT_TRUE(peer_->sendFrame(peer_->frame().i(22).i(0)));
      }
      if (tag == -999) {
        EXPECT_TRUE(peer_->sendFrame(peer_->frame().i(-999)));
      }
    }
    return all;
  }
  std::unique_ptr<ScriptedPeer> peer_;
};

TEST_F(EniLink, RecordNineteenAndCommandTwentyFiveCarryTheServerEnd) {
  Watchdog dog("EniLink.Ports", 120);
  sdir_ = dir("server");
  cdir_ = dir("client");
  CaseSpec s{Model::bergeron};
  s.part = Part::server;
  write_case(sdir_, s, "");
  Reader names = begin(sdir_);
  EXPECT_EQ(names.i(), 1);
  EXPECT_EQ(names.i(), 0);
  EXPECT_EQ(names.s(), "line1");
  EXPECT_TRUE(names.atEnd());
  // Type 3 (TCP), a host the server end does not use, port 0, peer id 7; then
  // every step granted.
  ASSERT_TRUE(peer_->sendFrame(peer_->frame().i(25).i(1).i(3).s("elsewhere").i(0).i(7)));
  ASSERT_TRUE(peer_->sendFrame(peer_->frame().i(1).i(100)));
  const int port = port_of(*server_);
  ASSERT_GT(port, 0) << server_->out();
  EXPECT_TRUE(contains(server_->out(), " server lines: Clientid, name, port, host,frn clientid ")) << server_->out();
  CaseSpec c{Model::bergeron};
  c.part = Part::client;
  write_case(cdir_, c, std::to_string(port));
  client_ = start(cdir_);
  ASSERT_TRUE(client_->wait(60000));
  EXPECT_EQ(client_->exitCode(), 0) << client_->out() << client_->err();
  drain();
  ASSERT_TRUE(server_->wait(20000)) << server_->out();
  EXPECT_EQ(server_->exitCode(), 0) << server_->out() << server_->err();
  const auto sv = volts(sdir_);
  const auto cv = volts(cdir_);
  ASSERT_EQ(cv.size(), static_cast<std::size_t>(kSteps));
  EXPECT_NEAR(std::stod(cv[10][2]), 1.0, 1e-12);
  ASSERT_EQ(sv.size(), static_cast<std::size_t>(kSteps));
  EXPECT_NEAR(std::stod(sv[20][2]), 1.0, 1e-12);
}

// A command 25 that does not fit the case stops the run with its message.
struct BadPorts {
  std::int32_t total;
  std::int32_t port;
  const char* text;
};

class EniBadPorts : public EniLink, public ::testing::WithParamInterface<BadPorts> {};

TEST_P(EniBadPorts, CommandTwentyFiveThatDoesNotFitStops) {
  Watchdog dog("EniBadPorts", 120);
  sdir_ = dir("server");
  CaseSpec s{Model::bergeron};
  s.part = Part::server;
  write_case(sdir_, s, "");
  begin(sdir_);
  const BadPorts& b = GetParam();
  ASSERT_TRUE(peer_->sendFrame(peer_->frame().i(25).i(b.total).i(3).s("localhost").i(b.port).i(7)));
  const std::string all = drain();
  ASSERT_TRUE(server_->wait(20000)) << server_->out();
  EXPECT_NE(server_->exitCode(), 0);
  EXPECT_TRUE(contains(all, b.text)) << server_->out();
  EXPECT_TRUE(contains(server_->out(), "ERROR: Abnormal termination of WAKRO by REC_ENI_PORT")) << server_->out();
}

INSTANTIATE_TEST_SUITE_P(
    WrongTotalOrPort, EniBadPorts,
    ::testing::Values(BadPorts{2, 0, "Total number received does not match the total number of ENI lines"},
                      BadPorts{1, 70000, "ENI line line1: port 70000 is not in 0 to 65535."}));

}  // namespace
}  // namespace app_test
