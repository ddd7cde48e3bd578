// Starts the engine executable as a user would: its own working folder, the
// console input from a file, standard output and error captured in files, and a
// bounded wait for its end.
#pragma once

#include <sys/types.h>

#include <string>
#include <thread>
#include <vector>

namespace app_test {

class ChildProcess {
 public:
  // Starts program with the words (the program path is word 0), every stop
  // signal of the engine (link/stop_signal.h) at its default action and
  // unblocked, whatever this process was started with (nohup, a background
  // job of a script), as a user's shell starts it. A positive fileSizeLimit
  // (bytes) limits every file the program writes (RLIMIT_FSIZE, SIGXFSZ at its
  // default action: the program must ignore it itself); its standard output
  // then goes through a pipe, so the console is kept whole. A positive
  // openFiles is the program's soft limit on open files (RLIMIT_NOFILE), its
  // hard limit kept, and it starts with only its standard files open.
  ChildProcess(const std::vector<std::string>& words, const std::string& workDir,
               const std::string& stdinFile = "/dev/null", long fileSizeLimit = 0, long openFiles = 0);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Waits for the end; false (and the child killed) after the timeout.
  bool wait(int timeoutMs = 20000);
  // The exit code after wait(), -1 when it did not exit normally.
  int exitCode() const { return exitCode_; }
  std::string out() const;
  std::string err() const;

 private:
  pid_t pid_ = -1;
  int exitCode_ = -1;
  bool done_ = false;
  std::string outFile_;
  std::string errFile_;
  std::thread copier_;  // the console from the pipe to outFile_
};

}  // namespace app_test
