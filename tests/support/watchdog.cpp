// Watchdog: ends a hung test process with a message instead of letting it hang.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "support/scripted_peer.h"

namespace wakro_test {

struct Watchdog::State {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread thread;
};

Watchdog::Watchdog(const char* what, int seconds) : state_(new State) {
  State* st = state_;
  std::string name = what ? what : "test";
  st->thread = std::thread([st, name, seconds] {
    std::unique_lock<std::mutex> lock(st->m);
    if (!st->cv.wait_for(lock, std::chrono::seconds(seconds), [st] { return st->done; })) {
      std::fprintf(stderr, "\nWatchdog: '%s' did not finish within %d s\n", name.c_str(), seconds);
      std::fflush(stderr);
      std::_Exit(99);
    }
  });
}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(state_->m);
    state_->done = true;
  }
  state_->cv.notify_all();
  state_->thread.join();
  delete state_;
}

}  // namespace wakro_test
