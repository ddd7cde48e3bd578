// What a new user meets, tried on the built case programs: a stop signal while
// the start-up dialogue waits for an answer (on the console or from the design
// environment) ends the program at once with status 128 + the signal; a command
// line that asks for nothing runnable is a usage error (status 2, nothing runs);
// refused option values and unreadable option files are named; -out names the
// output files; a communication library that refuses the start or cannot be
// used says why; a misspelt section key names its file and line.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_RL_BREAKER_EXE
#error "WAKRO_RL_BREAKER_EXE must name the built R-L breaker example"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_RL_BREAKER_EXE;
const std::string kCaseDir = WAKRO_RL_BREAKER_CASE_DIR;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The last n lines of a text (without their '\n').
std::vector<std::string> last_lines(const std::string& text, std::size_t n) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (lines.size() > n) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(n));
  return lines;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A folder of its own holding a copy of the R-L breaker case.
class CaseCopy {
 public:
  CaseCopy() {
    char tmpl[] = "/tmp/wakro_first_contact_XXXXXX";
    dir_ = ::mkdtemp(tmpl) != nullptr ? tmpl : "";
    for (const char* f : {"rl_breaker.map", "rl_breaker.dta", "answers.txt"})
      fs::copy_file(fs::path(kCaseDir) / f, fs::path(dir_) / f);
  }
  ~CaseCopy() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  CaseCopy(const CaseCopy&) = delete;
  CaseCopy& operator=(const CaseCopy&) = delete;

  const std::string& dir() const { return dir_; }
  std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  bool has(const std::string& name) const { return fs::exists(fs::path(dir_) / name); }
  void edit(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = slurp(path(file));
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(path(file), std::ios::binary) << text;
  }
  // Runs the case with the words after "-v5", answered from answers.txt.
  std::unique_ptr<ChildProcess> run(const std::vector<std::string>& options) {
    std::vector<std::string> words = {kExe, "-v5"};
    words.insert(words.end(), options.begin(), options.end());
    auto p = std::make_unique<ChildProcess>(words, dir_, path("answers.txt"));
    EXPECT_TRUE(p->wait(60000));
    return p;
  }

 private:
  std::string dir_;
};

// Waits (at most 20 s) until the text appears in the child's standard output.
bool wait_for_output(const ChildProcess& p, const std::string& text) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    if (contains(p.out(), text)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// ------------------------------------------------- a stop signal in the dialogue

struct DialogueStop {
  int signal;
  const char* name;
  int status;
  const char* given;     // answers written before the signal
  const char* question;  // the question the dialogue then waits on
};

TEST(FirstContact, AStopSignalWhileTheDialogueWaitsEndsTheProgramAtOnce) {
  Watchdog dog("FirstContact.AStopSignalWhileTheDialogueWaits", 120);
  const DialogueStop cases[] = {
      {SIGINT, "SIGINT", 130, "", " ENTER 0 FOR DATA,  1 FOR SNAPSHOT:"},
      {SIGTERM, "SIGTERM", 143, "0\n", " ENTER 0 FOR NO SNAPSHOT,"},
      {SIGINT, "SIGINT", 130, "0\n0\n", " ENTER MAP FILE NAME:"},
      {SIGHUP, "SIGHUP", 129, "0\n0\n", " ENTER MAP FILE NAME:"},
      {SIGUSR1, "SIGUSR1", 138, "0\n0\n", " ENTER MAP FILE NAME:"},
  };
  for (const DialogueStop& c : cases) {
    CaseCopy copy;
    // The console is a pipe whose writer stays open: the dialogue waits.
    const std::string fifo = copy.path("console.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    const std::string given = c.given;
    ASSERT_EQ(::write(writer, given.data(), given.size()), static_cast<ssize_t>(given.size()));
    ChildProcess p({kExe, "-v5"}, copy.dir(), fifo);
    ASSERT_TRUE(wait_for_output(p, c.question)) << c.question << "\n" << p.out();
    ASSERT_EQ(::kill(p.pid(), c.signal), 0);
    ASSERT_TRUE(p.wait(20000)) << "the signal did not end the waiting dialogue";
    ::close(writer);
    EXPECT_EQ(p.exitCode(), c.status) << c.name;
    const std::string out = p.out();
    EXPECT_EQ(last_lines(out, 2),
              (std::vector<std::string>{std::string(" Stopped by ") + c.name +
                                            " while waiting for an answer of the start-up dialogue: the run did "
                                            "not start.",
                                        kExe + " exiting.  Status code = " + std::to_string(c.status)}))
        << out;
    EXPECT_FALSE(contains(out, "Wakro for Quolb")) << "the run started";
    EXPECT_FALSE(copy.has("rl_breaker_01.out"));
    EXPECT_EQ(p.err(), "");
  }
}

// A closing terminal ends the input with its hang-up: a preloaded read raises
// SIGHUP as it finds the end. The dialogue stops on the signal, not the end.
TEST(FirstContact, AHangUpTogetherWithTheEndOfInputStopsAsTheSignal) {
  Watchdog dog("FirstContact.AHangUpTogetherWithTheEndOfInput", 60);
  CaseCopy copy;
  std::ofstream(copy.path("answers.txt"), std::ios::trunc) << "0\n0\n";
  ChildProcess q({"/usr/bin/env", "LD_PRELOAD=" WAKRO_HANG_UP_AT_END_LIB,
                  "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:abort_on_error=1", kExe, "-v5"},
                 copy.dir(), copy.path("answers.txt"));
  ASSERT_TRUE(q.wait(60000));
  EXPECT_EQ(q.exitCode(), 129) << q.out() << q.err();
  EXPECT_EQ(last_lines(q.out(), 2)[0], " Stopped by SIGHUP while waiting for an answer of the start-up dialogue: "
                                       "the run did not start.") << q.out();
}

TEST(FirstContact, AStopSignalWhileTheDesignEnvironmentsDialogueWaitsEndsTheProgram) {
  Watchdog dog("FirstContact.AStopSignalWhileTheDesignEnvironmentWaits", 60);
  CaseCopy copy;
  ScriptedPeer peer;
  ChildProcess p({kExe, "-v5", "-locale", "C", "-port", std::to_string(peer.port())}, copy.dir());
  ASSERT_TRUE(peer.accept(10000));
  ASSERT_TRUE(peer.sendKey());
  // The engine waits for the first message of the dialogue, which never comes.
  ASSERT_EQ(::kill(p.pid(), SIGINT), 0);
  // The closing exchange still runs: -999 is answered.
  bool closing = false;
  for (int k = 0; k < 50 && !closing; ++k) {
    auto frame = peer.recvFrame(10000);
    if (!frame) break;
    closing = frame->i() == -999;
  }
  ASSERT_TRUE(closing) << p.out() << p.err();
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(-999)));
  ASSERT_TRUE(p.wait(20000));
  EXPECT_EQ(p.exitCode(), 130) << p.out() << p.err();
  const std::string out = p.out();
  EXPECT_TRUE(contains(out, " Stopped by SIGINT while waiting for the design environment's start-up dialogue: the "
                            "run did not start.\n"))
      << out;
  EXPECT_EQ(last_lines(out, 1), std::vector<std::string>{kExe + " exiting.  Status code = 130"});
}

// A design environment that goes silent where the engine waits on it (its
// queue of connections full, ...), or that never pauses (steps granted, then
// one command after another without a break), and never answers the closing
// -999: the stop signal ends the program at once, over TCP or the library.
enum class Silent { noAccept, noKey, dialogue, midFrame, steps, neverPauses, endOfRun, consolidation, closing };

struct SilentPeer {
  Silent at;
  int signal;
  const char* name;
  const char* stopped;       // the "Stopped by <name>" line's rest
  std::int32_t command = 0;  // what the peer that never pauses sends (with the value 1)
  bool library = false;      // the link through the communication library
  bool reads = true;         // the peer that never pauses reads what the engine sends
};

// True once a socket of this machine waits for the answer to its connection
// request to the port (SYN_SENT in /proc/net/tcp).
bool connecting_to(int port) {
  std::ifstream tcp("/proc/net/tcp");
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, ":%04X", static_cast<unsigned>(port));
  for (std::string line; std::getline(tcp, line);) {
    std::istringstream words(line);
    std::string slot, local, remote, state;
    words >> slot >> local >> remote >> state;
    if (state == "02" && remote.size() > 5 && remote.substr(remote.size() - 5) == wanted) return true;
  }
  return false;
}

// Reads the engine's frames until one whose first integer is `id`, granting
// every step when a run starts (grant) and answering the end of a run
// (answer_run_end); false when none comes.
bool read_until(ScriptedPeer& peer, std::int32_t id, bool grant, bool answer_run_end) {
  for (int k = 0; k < 20000; ++k) {
    auto frame = peer.recvFrame(10000);
    if (!frame) return false;
    const std::int32_t got = frame->i();
    if (got == id) return true;
    if (got == 2 && grant) peer.sendFrame(peer.frame().i(1).i(2147483647));
    if (got == 0 && answer_run_end) peer.sendFrame(peer.frame().i(22).i(0));
  }
  return false;
}

TEST(FirstContact, AStopSignalWhileTheEngineWaitsOnASilentDesignEnvironmentEndsTheProgram) {
  const char* kDialogueStop = " while waiting for the design environment's start-up dialogue: the run did not start.";
  const char* kRunStop = ": the run ended after step 2400, at time 0.12 s.";
  // The peer that never pauses holds the engine at step 0's commands; should
  // the engine still find a break in them, it stops at a later step.
  const char* kStepsRun = ": the run ended after step ";
  const SilentPeer rows[] = {
      {Silent::noAccept, SIGTERM, "SIGTERM", " while connecting to the design environment: the run did not start."},
      {Silent::noKey, SIGTERM, "SIGTERM", kDialogueStop},
      {Silent::noKey, SIGINT, "SIGINT", kDialogueStop},
      {Silent::dialogue, SIGTERM, "SIGTERM", kDialogueStop},
      {Silent::midFrame, SIGHUP, "SIGHUP", kDialogueStop},
      {Silent::steps, SIGTERM, "SIGTERM", ": the run ended after step 1, at time 5e-05 s."},
      {Silent::neverPauses, SIGTERM, "SIGTERM", kStepsRun, 31},
      {Silent::neverPauses, SIGINT, "SIGINT", kStepsRun, 31, true},
      {Silent::neverPauses, SIGTERM, "SIGTERM", kStepsRun, 3, true},
      {Silent::neverPauses, SIGINT, "SIGINT", kStepsRun, 1},
      // Peek requests, each answered, from a peer that reads nothing: the
      // engine's sends wait half a second at most after the signal.
      {Silent::neverPauses, SIGTERM, "SIGTERM", kStepsRun, 6, true, false},
      {Silent::neverPauses, SIGHUP, "SIGHUP", kStepsRun, 6, false, false},
      {Silent::endOfRun, SIGINT, "SIGINT", kRunStop},
      {Silent::consolidation, SIGTERM, "SIGTERM", kRunStop},
      {Silent::closing, SIGTERM, "SIGTERM", " while waiting for the design environment's answer to the closing exchange."},
  };
  for (const SilentPeer& row : rows) {
    Watchdog dog("FirstContact.AStopSignalWhileTheEngineWaitsOnASilentDesignEnvironment", 60);
    CaseCopy copy;
    ScriptedPeer peer;
    std::vector<int> queued;  // the peer's queue (4 + 1) filled
    for (int k = 0; k < 5 && row.at == Silent::noAccept; ++k) {
      queued.push_back(::socket(AF_INET, SOCK_STREAM, 0));
      sockaddr_in a{AF_INET, htons(static_cast<std::uint16_t>(peer.port())), {htonl(INADDR_LOOPBACK)}, {}};
      ASSERT_EQ(::connect(queued.back(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    std::vector<std::string> words = {kExe, "-v5", "-locale", "C", "-port", std::to_string(peer.port()), "-host",
                                      "127.0.0.1"};
    if (row.library) words.insert(words.end(), {"-lumbra", WAKRO_COMM_LIBRARY});
    ChildProcess p(words, copy.dir());
    if (row.at == Silent::noAccept) {
      ASSERT_TRUE(wakro_test::waitUntil([&] { return connecting_to(peer.port()); }, 20000)) << p.out();
    } else {
      ASSERT_TRUE(peer.accept(10000));
    }
    // The engine is brought to its wait; what it sent there says it waits.
    if (row.at > Silent::noKey) {
      // The library's start texts come first; over TCP the key goes first.
      ASSERT_TRUE(row.library ? peer.recvFrame(10000).has_value() : peer.sendKey());
      ASSERT_TRUE(peer.sendFrame(peer.frame().i(10).s("rl_breaker.map")));
    }
    if (row.at == Silent::neverPauses) {
      ASSERT_TRUE(peer.sendFrame(peer.frame().i(13).s("rl_breaker")));
    }
    if (row.at == Silent::midFrame) {
      const std::vector<unsigned char> whole = peer.frame().i(17).i(5).i(5).i(5).i(5).i(5).bytes();
      ASSERT_TRUE(peer.sendRaw(whole.data(), whole.size() / 2));
    }
    if (row.at == Silent::consolidation) {
      ASSERT_TRUE(peer.sendFrame(peer.frame().i(26).i(0).i(2).i(2)));
    }
    if (row.at >= Silent::steps) {
      ASSERT_TRUE(peer.sendFrame(peer.frame().i(19)));
      // The last frame the engine sends before it waits: the output interval
      // (then steps are awaited), the end of the run (then its answer), the
      // consolidation request, the closing -999.
      const std::int32_t last = row.at <= Silent::neverPauses    ? 20
                                : row.at == Silent::endOfRun      ? 0
                                : row.at == Silent::consolidation ? 21
                                                                  : -999;
      ASSERT_TRUE(read_until(peer, last, row.at > Silent::neverPauses, row.at > Silent::endOfRun)) << p.out();
    }
    // The peer that never pauses grants every step in its first batch, which
    // holds its first commands too, so the engine reads on from the grant.
    std::jthread flood;  // stopped and joined at the end of the row
    if (row.at == Silent::neverPauses) {
      flood = std::jthread([&](std::stop_token stop) {
        peer.flood(peer.frame().i(1).i(2147483647).bytes(), peer.frame().i(row.command).i(1), stop, row.reads);
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // A peer that reads nothing: once its unread answers stop growing, the
    // engine waits in a send.
    for (std::size_t seen = 0; !row.reads && (seen == 0 || seen != peer.unread());) {
      seen = peer.unread();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_EQ(::kill(p.pid(), row.signal), 0);
    const bool ended = p.wait(row.at == Silent::neverPauses ? 5000 : 10000);
    EXPECT_TRUE(ended) << row.name << " did not end the program waiting at row " << static_cast<int>(row.at);
    if (!ended) continue;
    const int status = 128 + row.signal;
    EXPECT_EQ(p.exitCode(), status) << p.out() << p.err();
    const std::string out = p.out();
    const std::string stopped = std::string("\n Stopped by ") + row.name + row.stopped;
    EXPECT_TRUE(contains(out, row.at == Silent::neverPauses ? stopped : stopped + "\n")) << out;
    EXPECT_EQ(last_lines(out, 1), std::vector<std::string>{kExe + " exiting.  Status code = " + std::to_string(status)});
    for (const int fd : queued) ::close(fd);
    for (const auto& f : fs::directory_iterator(copy.dir())) EXPECT_NE(f.path().extension(), ".lock") << f.path();
    if (row.at == Silent::neverPauses) {
      // The title, then a whole row (time, four channels) per output step,
      // every second step up to the last step run.
      const std::vector<std::string> rows = last_lines(slurp(copy.path("rl_breaker_01.out")), 100000);
      ASSERT_EQ(rows.size(), 2 + std::stoul(out.substr(out.find(stopped) + stopped.size())) / 2);
      for (std::size_t k = 1; k < rows.size(); ++k) {
        std::istringstream in(rows[k]);
        std::vector<double> v;
        for (double x = 0; in >> x;) v.push_back(x);
        ASSERT_EQ(v.size(), 5u) << rows[k];
        EXPECT_NEAR(v[0], static_cast<double>(k - 1) * 100e-6, 1e-12) << rows[k];
      }
    }
  }
}

// ------------------------------------------------------------- usage errors

const std::string kUsage =
    " -v5 [-config <file>] [-standalone] [-locale <name> -port <number> [-host <name>]"
    " [-id <number>] [-lumbra <library>]] [-outwriter <library>] [-out <name>]"
    " [-outtype legacy|bin]\n";

struct Refusal {
  std::vector<std::string> options;
  std::string err;  // standard error in full ("<usage>" stands for the usage line)
};

TEST(FirstContact, RefusedOptionsAreNamedAndNothingRuns) {
  Watchdog dog("FirstContact.RefusedOptions", 120);
  CaseCopy copy;
  const std::string usage = "Usage: " + kExe + kUsage;
  const std::string longName(35, 'n');
  const std::vector<Refusal> cases = {
      {{"-outtype", "foo"}, "Invalid value 'foo' for -outtype: the output type is legacy or bin.\n" + usage},
      {{"-config", "nosuch.opt"},
       "Option file 'nosuch.opt' (-config) cannot be read: No such file or directory.\n" + usage},
      {{"-out", longName},
       "Invalid value '" + longName + "' for -out: an output name is at most 34 characters long.\n" + usage},
      {{"-bogus"}, "Unknown option '-bogus'. " + usage},
      {{"-outtype"}, "Option '-outtype' is given without its value.\n" + usage},
      {{"-config"}, "Option '-config' is given without its value.\n" + usage},
      {{"-outtype", "BIN", "-whatever"},
       "Invalid value 'BIN' for -outtype: the output type is legacy or bin.\nUnknown option '-whatever'. " + usage},
  };
  for (const Refusal& c : cases) {
    auto p = copy.run(c.options);
    EXPECT_EQ(p->exitCode(), 2) << c.options[0];
    EXPECT_EQ(p->err(), c.err);
    EXPECT_EQ(p->out(), kExe + " exiting.  Status code = 2\n") << "something ran";
  }
  EXPECT_FALSE(copy.has("rl_breaker_01.out"));
}

TEST(FirstContact, NothingToRunIsAUsageErrorWithStatusTwo) {
  Watchdog dog("FirstContact.NothingToRun", 60);
  CaseCopy copy;
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{kExe}, std::vector<std::string>{kExe, "-V4x"}}) {
    ChildProcess p(words, copy.dir(), copy.path("answers.txt"));
    ASSERT_TRUE(p.wait());
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_EQ(p.out(), "");
    EXPECT_EQ(p.err(), "Usage: " + kExe + kUsage);
  }
}

// ----------------------------------------------------------------- -out name

TEST(FirstContact, TheOutOptionNamesTheOutputFiles) {
  Watchdog dog("FirstContact.TheOutOption", 60);
  CaseCopy copy;
  auto p = copy.run({"-out", "other"});
  ASSERT_EQ(p->exitCode(), 0) << p->out() << p->err();
  EXPECT_TRUE(copy.has("other_01.out"));
  EXPECT_TRUE(copy.has("other.inf"));
  EXPECT_FALSE(copy.has("rl_breaker_01.out"));
  EXPECT_FALSE(copy.has("rl_breaker.inf"));
  const std::string out = p->out();
  EXPECT_TRUE(contains(out, "\n        Output file: other_01.out"));
  EXPECT_TRUE(contains(out, "\n        Output file: other.inf"));
  // The channel file holds the whole run: the title and 1,201 output steps.
  const std::string channels = slurp(copy.path("other_01.out"));
  EXPECT_EQ(std::count(channels.begin(), channels.end(), '\n'), 1202);
}

// A name holding a NUL byte, at each name the dialogue asks for (the map, the
// output, the snapshot to write, the snapshot to start from): refused and asked
// again, and the run goes on with the valid answer that follows (the last row
// has none: the end of the answers ends it); the user's file named by the part
// before the NUL keeps its bytes, and no raw NUL is printed.
TEST(FirstContact, ANameHoldingANulByteIsAskedForAgain) {
  Watchdog dog("FirstContact.ANameHoldingANulByte", 120);
  CaseCopy copy;
  const std::string nul("ab\0cd", 5), kept = "a user's file\n";
  std::ofstream(copy.path("ab"), std::ios::binary) << kept;
  const std::string refused = "\n A name may not hold a NUL byte: ab\\0cd\n\n **** NON-VALID RESPONSE ****\n";
  struct Row { std::string answers; int exit; const char* made; };
  for (const Row& r : {Row{"0\n0\n" + nul + "\nrl_breaker.map\n1\n1\nr1\n0\n0\n", 0, "r1.inf"},
                       Row{"0\n0\nrl_breaker.map\n1\n1\n" + nul + "\n1\nr2\n0\n0\n", 0, "r2_01.out"},
                       Row{"0\n1\n0.06\n" + nul + "\n0.06\nsnapB\nrl_breaker.map\n1\n0\n0\n0\n", 0,
                           "snapB.snp"},
                       Row{"1\n0\n0\n1\n0\n0\n" + nul + "\n", 2, "snapB.snp"}}) {
    std::ofstream(copy.path("answers.txt"), std::ios::binary) << r.answers;
    auto p = copy.run({});
    EXPECT_EQ(p->exitCode(), r.exit) << r.made << p->out();
    EXPECT_TRUE(contains(p->out(), refused)) << r.made;
    EXPECT_EQ(p->out().find('\0'), std::string::npos);
    EXPECT_TRUE(copy.has(r.made));
    EXPECT_TRUE(slurp(copy.path("ab")) == kept) << r.made;
  }
}

// ------------------------------------------------- the communication library

// A port on 127.0.0.1 that nobody listens on.
int closed_port() {
  ScriptedPeer peer;
  const int port = peer.port();
  peer.closeListener();
  return port;
}

TEST(FirstContact, ALibraryThatRefusesTheStartSaysWhy) {
  Watchdog dog("FirstContact.LibraryRefuses", 60);
  CaseCopy copy;
  const std::string port = std::to_string(closed_port());
  auto p = copy.run({"-locale", "C", "-port", port, "-lumbra", WAKRO_COMM_LIBRARY});
  EXPECT_EQ(p->exitCode(), 1);
  EXPECT_EQ(p->err(), std::string("The communication library ") + WAKRO_COMM_LIBRARY +
                          " refused the start: Communication_Initialize returned 1 (it could not connect to the "
                          "design environment at localhost:" +
                          port + ").\n");
  EXPECT_EQ(last_lines(p->out(), 1), std::vector<std::string>{kExe + " exiting.  Status code = 1"});
}

TEST(FirstContact, ALibraryThatCannotBeUsedIsNamedBeforeTheTcpLinkIsTried) {
  Watchdog dog("FirstContact.LibraryNotUsed", 60);
  CaseCopy copy;
  const std::string port = std::to_string(closed_port());
  const std::string tcpRefused = kExe + ": Connection refused\nFailed to connect to localhost:" + port + "\n";
  struct Case {
    std::string library;
    std::string why;
  };
  for (const Case& c : {Case{WAKRO_COMM_PARTIAL_LIBRARY, "it has no entry point Communication_peek_other"},
                        Case{"/nonexistent/libcomm.so", "it cannot be loaded (/nonexistent/libcomm.so: cannot open "
                                                        "shared object file: No such file or directory)"}}) {
    auto p = copy.run({"-locale", "C", "-port", port, "-lumbra", c.library});
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_EQ(p->err(), "WARNING: The communication library " + c.library + " is not used: " + c.why +
                            "; the link is opened over TCP instead.\n" + tcpRefused);
  }
}

// ------------------------------------------------------ misspelt section keys

TEST(FirstContact, AnUnknownSectionKeyNamesItsFileAndLine) {
  Watchdog dog("FirstContact.UnknownSectionKey", 60);
  struct Case {
    std::string file, from, to, where, meant;
  };
  const std::string dta = slurp(fs::path(kCaseDir) / "rl_breaker.dta");
  const std::string map = slurp(fs::path(kCaseDir) / "rl_breaker.map");
  // The line numbers of the keys in the tests' copy of the case.
  const auto line_of = [](const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\n" + key);
    return 2 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
  };
  const std::vector<Case> cases = {
      {"rl_breaker.dta", "BRANCHES:", "BRANCHS:", "rl_breaker.dta, line " + std::to_string(line_of(dta, "BRANCHES:")),
       "BRANCHES:"},
      {"rl_breaker.dta", "STOF:", "STOFF:", "rl_breaker.dta, line " + std::to_string(line_of(dta, "STOF:")), "STOF:"},
      {"rl_breaker.map", "MAP:", "MAPP:", "rl_breaker.map, line " + std::to_string(line_of(map, "MAP:")), "MAP:"},
  };
  for (const Case& c : cases) {
    CaseCopy copy;
    copy.edit(c.file, "\n" + c.from, "\n" + c.to);
    auto p = copy.run({});
    EXPECT_NE(p->exitCode(), 0);
    const std::string out = p->out();
    // The key as read (a 72-column line), then where it stands.
    const std::string unknown = " READDATA: Unknown data file section: " + c.to;
    const std::string where = "\n READDATA: The section key is in file " + c.where + "; the section is skipped.\n";
    const std::size_t at = out.find(unknown);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find(where), out.find('\n', at)) << out;
    // The stop that follows (the case code's, for want of the skipped data)
    // names the skipped section in one line after its own.
    const std::string note = "\n Note: the section " + c.to + " in " + c.where + ", was skipped (is " + c.meant +
                             " meant?)\n =====";
    const std::size_t banner = out.find(" ERROR: Abnormal termination of WAKRO by ", at);
    ASSERT_NE(banner, std::string::npos) << out;
    EXPECT_EQ(out.find(note, banner), out.find('\n', banner)) << out;
  }
}

}  // namespace
}  // namespace app_test
