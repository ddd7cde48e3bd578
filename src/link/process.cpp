// Process spawning with posix_spawn, reaping with waitpid, the host name from
// gethostname, and the sleep of the polling loops.
#include "link/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/link_failure.h"
#include "link/servers.h"

extern char** environ;

namespace {

// Splits a command line into words: blanks and tabs separate, double quotes
// group (the quotes themselves are dropped).
std::vector<std::string> split_command_line(const char* line) {
  std::vector<std::string> words;
  if (line == nullptr) return words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (const char* c = line; *c != '\0'; ++c) {
    if (*c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (*c == ' ' || *c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word.push_back(*c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// Starts one process; 0 or the system error code.
int start_process(const char* application, const char* commandLine, pid_t& pid) {
  std::vector<std::string> words = split_command_line(commandLine);
  const bool hasApplication = application != nullptr && application[0] != '\0';
  if (words.empty()) {
    if (!hasApplication) return ENOENT;
    words.emplace_back(application);
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  return hasApplication ? posix_spawn(&pid, application, nullptr, nullptr, argv.data(), environ)
                        : posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
}

}  // namespace

bool spawnprocess(const char* application, const char* commandLine, const std::int32_t& id) {
  for (SExRecord& record : SEx) {
    if (record.id != id) continue;
    pid_t pid = 0;
    const int err = start_process(application, commandLine, pid);
    if (err != 0) {
      std::printf("CreateProcess failed (%d).\n", err);
      std::fflush(stdout);
      return false;
    }
    record.pid = pid;
  }
  return true;
}

void closeprocess(const std::int32_t& id) {
  for (SExRecord& record : SEx) {
    if (record.id != id || record.pid <= 0) continue;
    // The wait is bounded like every wait on a peer; a process still running
    // at the limit keeps its record, so a later call can wait again.
    const auto deadline = wakro::peer_deadline();
    int tries = 0;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(record.pid, &status, WNOHANG)) == 0 || (done < 0 && errno == EINTR)) {
      if (std::chrono::steady_clock::now() > deadline) break;
      wakro::poll_pause(tries);
    }
    if (done == 0) {
      std::printf("Process %ld did not end in time.\n", static_cast<long>(record.pid));
      std::fflush(stdout);
      continue;
    }
    record.pid = 0;
  }
}

void getmyhostname(char* field, std::int32_t width) {
  char name[256] = {};
  if (field == nullptr || width < 1) return;
  if (gethostname(name, sizeof name - 1) != 0) return;
  const std::size_t len = std::strcspn(name, ".");
  if (len == 0 || len >= 16) return;
  std::memcpy(field, name, std::min<std::size_t>(len, static_cast<std::size_t>(width)));
}

void wakro_wait(const std::int32_t& milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
