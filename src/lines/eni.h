// ENI lines: a line whose two ends run in two linked engine processes.
//
// The process holding the sending end with the line model (role 1, the server
// end) computes the whole travelling-wave model with the far end's voltages
// received each step; the process holding the other end (role 2, the client
// end) has no model: at time zero it receives the line's admittance and stamps
// it into its own matrix, and every step it sends its terminal voltages and
// injects the history currents it receives. Each end has its own
// engine-to-engine link (link/engine_links.h); the link's id is the end's port.
//
//   sendeninames   record 19 to the design environment: the ENI end counts and
//                  names (run start)
//   recveniports   command 25 from the design environment: type, host, port and
//                  peer id of every end (kept on the first run only)
//   eni_init       first step of every run: the links (first run only), at time
//                  zero the admittance (tag 71) and its stamp at the client ends,
//                  then the start-of-run check (tag 74)
//   eni_voltages   each step, first in dsldyn: client voltages and signals to the
//                  server (tag 72)
//   eni_curinj     each step, after the line histories: server history currents
//                  and signals to the client (tag 73)
//
// Every wait on the other process ends after wakro::peer_wait_ms with a fatal
// message (after wakro::kWaitAfterStopMs once a stop signal has come, with the
// signal's status), and a closed link ends the run at once (LinkFatal). Every count and
// extent that arrives from the other process is checked before it is used.
#pragma once

void sendeninames();
void recveniports();
void eni_init();
void eni_voltages();
void eni_curinj();
