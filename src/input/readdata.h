// Reading a whole case from its map file and the page data files it names.
//
// wakro_readdata opens the map file fnames::inam (unit 50), reads "DIMENSIONS:"
// (which sizes and allocates the shared state), gives the initial values, reads
// "PARAMETERS:", then dispatches on the section key until "ENDCASE:" (the walk
// of case_walk.h, which every other pass over a map file shares):
//   "MAP:"                       a page: its node map entry (wakro_nodelkup),
//                                then its data file is opened on the next unit;
//                                only in the map file or a file it INCLUDEs
//                                (elsewhere the line is reported and skipped)
//   "SUBSYSDIM:"                 subsystem orders, then the matrices
//   "SUBS:", "RADIOLINKS:", "VOLTAGES:"
//   "BRANCHES:", "TRANSFORMERS:", "TLINES:", "GLOBAL_TLINES:"
//                                readers of reader_hooks.h
//   "DATADSD:", "DATADSO:", "IGNORE:"              skipped
//   "STOL:" "STOI:" "STOF:" "STOC:", "CX:" "CXMAP:", "MPGBS:", "IPGBS:",
//   "PGBList:", "DATAStruct:", "MANA:"
//                                (one table of keys and readers, section_readers
//                                in case_walk.h; a reader that reads nothing
//                                of its section ends the run, "READDATA")
//   "ENDPAGE:"                   wakro_endpage
//   "INCLUDE:"                   the line reader has opened the named file: the
//                                reads go on in it as if its lines stood in
//                                place of the INCLUDE line (data lines continue
//                                the section in progress, whose reader is called
//                                again as for a repeated key; a key starts its
//                                own section)
//   "ENDFILE:" in an included file  closes it; the reads go on in the file that
//                                included it, in the same way
//   any other key                reported on the console and skipped (so is an
//                                "ENDFILE:" of a file no INCLUDE opened)
// and ends with wakro_endcase and the MNA set-up. Afterwards no input file is
// open. Every input error ends in wakro_quit with the reader's routine tag.
//
// Page context: the four integers that a "MAP:" entry gives the page being read
// (its record position in quolbv3::node, the subsystems of the pages before it,
// and the begin indexes of the line control signals it sends and receives).
//
// Guards beyond the plain reading rules, each a fatal input error:
//   - a page data file must begin with a section key ("READDATA");
//   - after a page's "ENDPAGE" the next line must be a key, not data ("ENDPAGE");
//   - a data line met where no section is in progress after an INCLUDE or
//     ENDFILE line ("READDATA");
//   - a second "SUBSYSDIM:" section of the same case read may not change the
//     order of a subsystem whose matrices exist ("READSSDIM"); it keeps the
//     matrices (and the branches already in them);
//   - every count is checked against its table before a value is stored.
#pragma once

#include <cstdint>

#include "model/fixedtext.h"

namespace wakro {

struct PageContext {
  std::int32_t position = 0;  // record position of the page in quolbv3::node
  std::int32_t ssoff = 0;     // quolbv3::nsubs before the page
  std::int32_t send = 0;      // control signals sent: begin index
  std::int32_t recv = 0;      // control signals received: begin index
};

// State of one case read: whether a "SUBSYSDIM:" section has been read (and the
// matrices made from it). wakro_readdata clears it at its start.
struct CaseReadState {
  bool subsysdim_read = false;
  bool slip_noted = false;  // a skipped section under a slip of a known key was noted
};
CaseReadState& case_read_state();

}  // namespace wakro

void wakro_readdata();
void wakro_nodelkup(std::int32_t& position, std::int32_t& ssoff, std::int32_t& send,
                    std::int32_t& recv);
void wakro_endpage();
void wakro_endcase();

// "SUBSYSDIM:", "SUBS:", "RADIOLINKS:", "VOLTAGES:".
void wakro_readsubsysdim();
void wakro_setsubs();
void wakro_setradio();
void wakro_rdvolts(std::int32_t position);

// Stored values, control maps, output-channel lists, DATAStruct and MANA.
void wakro_rdstox();
void wakro_rdcxmapping();
void wakro_rdmpgb();
void wakro_rdipgb();
void wakro_rdpgblist();
void wakro_datastruct();
void wakro_mana(std::int32_t position);
namespace wakro {
// "PGBList:" and "DATAStruct:" read as wakro_rdpgblist and wakro_datastruct
// read them (`channels` names; the lines whole, as text), nothing kept: the
// other passes over a map go over them so. Where those readers stop the run,
// the rest of the section is passed over with the line reader.
void pass_over_name_list(std::int32_t channels);
void pass_over_description();

// The output-channel lists and the output description: reads the section of
// `key` ("MPGBS:", "IPGBS:", "PGBList:", "DATAStruct:") with its reader and
// says so; false (nothing read) for any other key. Shared by the case reader
// and the map merge on resume, which read these sections alike.
bool read_output_list_section(const FixedText<72>& key);
}  // namespace wakro
