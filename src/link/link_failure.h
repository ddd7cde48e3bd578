// Link failures that end the process, and the time a link waits for a peer.
//
// The channel sets and the co-simulation channels report their misuse and
// their peers' failures ("Channel not found", "Index out of bounds", "No data
// received", ...) by throwing LinkFatal with the text; the process entry catches
// it, writes "Exchange Error: <text>" and ends with a non-zero status.
//
// Every wait of the engine-to-engine links and channels on their peer (a
// receive, an accepted connection, a spawned process) ends after
// peer_wait_ms milliseconds with such a failure, so a silent peer cannot hold
// the engine for ever; a peer that closes ends the wait at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>

class LinkFatal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace wakro {

// Generous: a peer may take long to compute its step, but not for ever.
inline std::int32_t peer_wait_ms = 600000;

// The moment a wait that starts now must end.
inline std::chrono::steady_clock::time_point peer_deadline() {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(peer_wait_ms);
}

// One pause of a polling loop: a yield for the first tries, then short sleeps
// so that a long wait does not take a whole processor.
void poll_pause(int& tries);

}  // namespace wakro
