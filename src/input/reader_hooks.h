// Seams through which the readers of later subsystems serve the case reader.
//
// The case reader dispatches some sections of a page data file to readers that
// belong to other subsystems, and hands the lines of "DATAStruct:" to the output
// record file:
//   dsmint(page)                        "TRANSFORMERS:" section
//   dslint(page, ssoff, send, recv)     "TLINES:" (the page context) and
//                                       "GLOBAL_TLINES:" (four zeros)
//   initialize_mna_map()                the MNA set-up once the case is read
//   ofprocessline(line)                 one description line of 512 characters
// A section reader is called with fnames::section holding its key and must
// return when the line reader has read the next key. Until a subsystem registers
// its routine, the defaults skip the section (wakro_nextkey) and drop the
// description lines: right for a case without transformers, lines or a record
// file. The MNA set-up is needed by every case (it sizes the work matrices), so
// a reader that reaches it unregistered stops, naming it.
#pragma once

#include <cstdint>

#include "model/fixedtext.h"

namespace wakro {

struct ReaderHooks {
  void (*dsmint)(std::int32_t& page);
  void (*dslint)(std::int32_t& page, std::int32_t& ssoff, std::int32_t& send, std::int32_t& recv);
  void (*initialize_mna_map)();
  void (*ofprocessline)(const FixedText<512>& line);
};

ReaderHooks& reader_hooks();
// Puts every hook back to its default.
void reset_reader_hooks();

}  // namespace wakro
