// Stand-ins for routines of later rooms, so that a case runs end to end before
// those rooms exist:
//   - standin_dialogv3: the start-up dialogue over the link, taking the commands
//     10 (start from the named map file), 12/13 (output off/on), 16 (multiple
//     runs) and 19 (end); other commands are skipped;
//   - standin_getmsgv3: the command handler reduced to stop (0), step grants (1),
//     the end-of-run answer (22) and the stop-run command (29); a broken link
//     answers as a stop; other tags print "Unimplemented message #"; a message
//     too short to hold its tag is passed over;
//   - standin_send_endofrunmsgs: message 0 with 1 - lastrun and the radio-link
//     values.
// plug_engine_services() (engine_services.h) plugs the dialogue and the
// end-of-run message into the seams; standin_getmsgv3 is the seams' default
// command handler.
#pragma once

#include <cstdint>

namespace wakro {

void standin_dialogv3();
void standin_getmsgv3(std::int32_t& allowance, std::int32_t& answer);
void standin_send_endofrunmsgs();

}  // namespace wakro
