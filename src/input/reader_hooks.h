// Seams through which the readers of later subsystems serve the case reader.
//
// The case reader dispatches some sections of a page data file to readers that
// belong to other subsystems, and hands the lines of "DATAStruct:" to the output
// record file:
//   rdbrs(position)                     "BRANCHES:" section (the network room's
//                                       branch reader, wakro_rdbrs)
//   dsmint(page)                        "TRANSFORMERS:" section
//   dslint(page, ssoff, send, recv)     "TLINES:" (the page context) and
//                                       "GLOBAL_TLINES:" (four zeros)
//   initialize_mna_map()                the MNA set-up once the case is read
//   ofprocessline(line)                 one description line of 512 characters
// A section reader is called with fnames::section holding its key and must
// return when the line reader has read the next key. Every case has branches
// and needs the MNA set-up (it sizes the work matrices), so neither has a quiet
// default: until the network room registers them (use_branch_reader,
// use_network_services), a "BRANCHES:" section or the end of the read stops
// with a message naming the missing service. Until the other subsystems register
// their routines, the defaults skip the section (wakro_nextkey) and drop the
// description lines, and the first section of each kind ("TRANSFORMERS:",
// "TLINES:", "GLOBAL_TLINES:", "DATAStruct:" with lines) warns once that it is
// not read yet, so that nothing of the case is left out in silence.
#pragma once

#include <cstdint>

#include "model/fixedtext.h"

namespace wakro {

struct ReaderHooks {
  void (*rdbrs)(std::int32_t position);
  void (*dsmint)(std::int32_t& page);
  void (*dslint)(std::int32_t& page, std::int32_t& ssoff, std::int32_t& send, std::int32_t& recv);
  void (*initialize_mna_map)();
  void (*ofprocessline)(const FixedText<512>& line);
};

ReaderHooks& reader_hooks();
// Puts every hook back to its default (and lets each skipped kind warn again).
void reset_reader_hooks();

}  // namespace wakro
