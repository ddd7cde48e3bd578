// poll_pause: the pause between two looks of a polling loop on a peer.
#include <chrono>
#include <thread>

#include "link/link_failure.h"

namespace wakro {

namespace {
// Tries answered by a bare yield: a peer in lock-step usually answers within
// them, so a step exchange does not wait for a sleep to end.
constexpr int kYieldTries = 2000;
constexpr auto kSleep = std::chrono::microseconds(200);
}  // namespace

void poll_pause(int& tries) {
  if (tries < kYieldTries) {
    ++tries;
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(kSleep);
}

}  // namespace wakro
