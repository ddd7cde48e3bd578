#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/stop_signal.h"

namespace app_test {

namespace {

std::string temp_name(const char* what) {
  static std::atomic<int> counter = 0;  // children may be started from two threads
  return "/tmp/wakro_app_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" + what;
}

std::string slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& words, const std::string& workDir,
                           const std::string& stdinFile, long fileSizeLimit, long openFiles)
    : outFile_(temp_name("out")), errFile_(temp_name("err")) {
  sigset_t stops;
  sigemptyset(&stops);
  for (const int s : wakro::stop_signals()) sigaddset(&stops, s);
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  int console[2] = {-1, -1};
  if (fileSizeLimit > 0 && pipe2(console, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ != 0) {
    if (console[1] < 0) return;
    close(console[1]);
    copier_ = std::thread([fd = console[0], name = outFile_] {
      std::ofstream to(name, std::ios::binary);
      char buffer[4096];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) to.write(buffer, n);
      close(fd);
    });
    return;
  }
  // Child: redirect and run.
  const int in = open(stdinFile.c_str(), O_RDONLY);
  const int out = open(outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0 || chdir(workDir.c_str()) != 0) _exit(127);
  dup2(in, 0);
  dup2(console[1] >= 0 ? console[1] : out, 1);
  dup2(err, 2);
  // The handlers of this process are reset by the exec; ignored signals and
  // the mask are not.
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  for (const int s : wakro::stop_signals())
    if (sigaction(s, &by_default, nullptr) != 0) _exit(127);
  if (sigprocmask(SIG_UNBLOCK, &stops, nullptr) != 0) _exit(127);
  if (openFiles > 0) {
    // Only the three standard files open, as a shell leaves them.
    if (close_range(3, ~0U, 0) != 0) _exit(127);
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) _exit(127);
    files.rlim_cur = static_cast<rlim_t>(openFiles);
    if (setrlimit(RLIMIT_NOFILE, &files) != 0) _exit(127);
  }
  if (fileSizeLimit > 0) {
    const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
    if (signal(SIGXFSZ, SIG_DFL) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !done_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (copier_.joinable()) copier_.join();
  std::remove(outFile_.c_str());
  std::remove(errFile_.c_str());
}

bool ChildProcess::wait(int timeoutMs) {
  if (pid_ <= 0) return false;
  if (done_) return true;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      done_ = true;
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      if (copier_.joinable()) copier_.join();
      return true;
    }
    if (std::chrono::steady_clock::now() > end) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      done_ = true;
      if (copier_.joinable()) copier_.join();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string ChildProcess::out() const { return slurp(outFile_); }
std::string ChildProcess::err() const { return slurp(errFile_); }

}  // namespace app_test
