// getmsgv3: the reader of the design environment's commands during a run.
//
// Reads and acts on every command that has arrived; it waits for one only while
// no step is granted (allowance < 1) and returns when nothing more is waiting.
// The stop command (0) and the end-of-run answer (22) return at once, with
// answer 1 and 2; the value after 22 is left for the run loop to read. A link
// that breaks answers as the stop command, so no wait loops on a dead socket.
//
// Commands: 0 stop, 1 grant steps (a grant below 1 is answered with the step
// report), 2/3 watch / unwatch a value, 4 slider, switch or dial, 5 plot step,
// 6 one value now, 7 push button, 8 load-flow values, 15 run-time snapshot
// (rank 0 or 1), 21 radio-link values, 22 end-of-run answer, 23 make this run
// the last, 25 the ports of the ENI lines, 28 pause, 29 stop now (not for a multiple-run master), 31 update
// the graphic parameters. Anything else, and a message too short to hold its
// tag, is reported and passed over.
#pragma once

#include <cstdint>

void getmsgv3(std::int32_t& allowance, std::int32_t& answer);
