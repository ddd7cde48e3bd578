// wakro_readdata, wakro_endpage, wakro_endcase: the case read from the map file
// and its pages, and the section dispatch.
#include "input/readdata.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "input/case_walk.h"
#include "input/dimensions.h"
#include "files/linereader.h"
#include "input/parameters.h"
#include "input/reader_hooks.h"
#include "input/section_util.h"
#include "files/units.h"
#include "files/words.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7eni.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/initialz.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/quolbv3.h"

namespace wakro {

CaseReadState& case_read_state() {
  static CaseReadState state;
  return state;
}

}  // namespace wakro

namespace {

using wakro::ListLine;
using wakro::sections::fail;

void set_defaults() {
  assorc::title = "**Untitled**";
  fnames::section = "MAINPAGE:";
  quolbv3::ss_ref_style.blank();
  fnames::netdata = 0;
  fnames::tnam = fnames::inam.view();
  e_s1::delt = e_s1::print = e_s1::fintim = -1.0;
  outppp::pmin = -2.0;
  outppp::pmax = 2.0;
  quolbv3::nnode = quolbv3::nsubs = quolbv3::nvar = 0;
  e_warn::comp_id1 = e_warn::comp_id2 = 0;
  fnames::filename = fnames::inam.view();
  wakro::case_read_state() = wakro::CaseReadState{};
  wakro::set_quit_note("");
  // Each run reads its map as the first run does: nothing is echoed before its
  // own "PARAMETERS:" asks for it (the flag of an earlier run is still set).
  options::echo = false;
}

// "SUBSYSDIM:": the orders, then the matrices made from them. A later section of
// the same case read keeps the matrices, which already hold branches.
void subsystem_orders() {
  wakro_readsubsysdim();
  if (wakro::case_read_state().subsysdim_read) return;
  std::int32_t status = 0;
  e_s0::allocate_ss_matrices(ndde::nd2, e_s0::ssdim, status);
  if (status != 0) fail("Subsystem matrices could not be allocated from SUBSYSDIM:", "READSSDIM", 2);
  wakro::case_read_state().subsysdim_read = true;
}

// The lines of a section passed over by the line reader, as its reader reads them.
void pass_over_lines(std::int32_t /*channels*/) { wakro::skip_section_lines(); }

using wakro::PageContext;

// The sections the case reader reads, each with its reader (the case reader's
// dispatch) and the way the other passes over the map go over it.
constexpr wakro::SectionReader kSectionReaders[] = {
    {"SUBSYSDIM:", [](PageContext&) { subsystem_orders(); }, pass_over_lines},
    {"SUBS:", [](PageContext&) { wakro_setsubs(); }, pass_over_lines},
    {"RADIOLINKS:", [](PageContext&) { wakro_setradio(); }, pass_over_lines},
    {"VOLTAGES:", [](PageContext& page) { wakro_rdvolts(page.position); }, pass_over_lines},
    {"BRANCHES:", [](PageContext& page) { wakro::reader_hooks().rdbrs(page.position); }, pass_over_lines},
    {"TRANSFORMERS:", [](PageContext& page) { wakro::reader_hooks().dsmint(page.position); }, pass_over_lines},
    {"TLINES:", [](PageContext& page) { wakro::reader_hooks().dslint(page.position, page.ssoff, page.send, page.recv); },
     pass_over_lines},
    {"GLOBAL_TLINES:",
     [](PageContext&) {
       std::int32_t zero[4] = {0, 0, 0, 0};
       wakro::reader_hooks().dslint(zero[0], zero[1], zero[2], zero[3]);
     },
     pass_over_lines},
    {"STOL:", [](PageContext&) { wakro_rdstox(); }, pass_over_lines},
    {"STOI:", [](PageContext&) { wakro_rdstox(); }, pass_over_lines},
    {"STOF:", [](PageContext&) { wakro_rdstox(); }, pass_over_lines},
    {"STOC:", [](PageContext&) { wakro_rdstox(); }, pass_over_lines},
    {"CX:", [](PageContext&) { wakro_rdcxmapping(); }, pass_over_lines},
    {"CXMAP:", [](PageContext&) { wakro_rdcxmapping(); }, pass_over_lines},
    {"MPGBS:", [](PageContext&) { wakro_rdmpgb(); }, pass_over_lines},
    {"IPGBS:", [](PageContext&) { wakro_rdipgb(); }, pass_over_lines},
    {"PGBList:", [](PageContext&) { wakro_rdpgblist(); }, wakro::pass_over_name_list},
    {"DATAStruct:", [](PageContext&) { wakro_datastruct(); }, [](std::int32_t) { wakro::pass_over_description(); }},
    {"MANA:", [](PageContext& page) { wakro_mana(page.position); }, pass_over_lines},
};

// Whether an unknown key is a known key met where it is not read ("MAP:"
// outside the map file), which is no slip.
bool is_data_key(std::string_view key) {
  return key == "MAP:" || wakro::section_reader(Line72(key)) != nullptr;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Edits (insert, delete, replace; case ignored) that turn a into b.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> d(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) d[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = d[0];
    d[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = d[j];
      d[j] = std::min({d[j] + 1, d[j - 1] + 1, diagonal + (upper(a[i - 1]) == upper(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return d[b.size()];
}

// The known key an unknown key is a slip of (a letter or two off, or another
// case), or empty: a section skipped under such a key holds data the case
// needs, and a later stop for want of it should say where it went.
std::string_view meant_key(std::string_view key) {
  // The key itself, met where it is not read, is no slip.
  if (is_data_key(key)) return {};
  std::string_view meant;
  std::size_t fewest = 3;
  auto closer = [&](std::string_view known) {
    const std::size_t slack = known.size() <= 5 ? 1 : 2;
    const std::size_t edits = edit_distance(key, known);
    if (edits <= slack && edits < fewest) {
      meant = known;
      fewest = edits;
    }
  };
  closer("MAP:");
  for (const wakro::SectionReader& r : kSectionReaders) closer(r.key);
  return meant;
}

// Reports an unknown section key and where it stands; a slip of a known key is
// kept for the banner of a later fatal stop (the first such key of the read).
void report_unknown_key(const Line72& key) {
  const std::string file = wakro::unit_file_name(fnames::iunit);
  const std::string line = std::to_string(wakro::unit_line_number(fnames::iunit));
  ListLine() << "READDATA: Unknown data file section: " << key.view();
  ListLine() << "READDATA: The section key is in file " + file + ", line " + line + "; the section is skipped.";
  wakro::CaseReadState& state = wakro::case_read_state();
  const std::string_view meant = meant_key(key.trimmed());
  if (meant.empty() || state.slip_noted) return;
  state.slip_noted = true;
  wakro::set_quit_note("Note: the section " + std::string(key.trimmed()) + " in " + file + ", line " + line +
                       ", was skipped (is " + std::string(meant) + " meant?)");
}

// The case reader's part of the walk (case_walk.h): each section's reader.
class CaseReader final : public wakro::CaseWalk {
 public:
  bool reports_skips() const override { return true; }
  bool page_entry(wakro::PageContext& page) override {
    wakro_nodelkup(page.position, page.ssoff, page.send, page.recv);
    return true;
  }
  void section(const Line72& key, wakro::PageContext& page) override { wakro::section_reader(key)->read(page); }
  void unknown_key(const Line72& key) override { report_unknown_key(key); }
};

}  // namespace

std::span<const wakro::SectionReader> wakro::section_readers() { return kSectionReaders; }

void wakro_readdata() {
  set_defaults();
  wakro_openfile();
  wakro_rddim();
  wakro::skip_repeated_dimensions();
  wakro_initialz();
  wakro_rdparm();
  e_s7eni2::nclient = 0;
  e_s7eni2::nserver = 0;
  CaseReader reader;
  wakro::walk_sections(reader, wakro::kUnitBase + 1);
  wakro_endcase();
  wakro::reader_hooks().initialize_mna_map();
}

void wakro_endpage() {
  rdcmnt();
  if (fnames::iunit != wakro::kUnitBase) return;
  if (fnames::section == "ENDCASE:") return;
  rdcmnt();
  if (fnames::section == "ENDPAGE:") {
    ListLine() << "Extra pages in map file: " << fnames::tnam.view();
    wakro_quit("ENDPAGE", 1);
  }
}

void wakro_endcase() {
  fnames::netdata = 0;
  if (ctrl::mmm == 1) {
    if (ndde::e_ndim(dim::nodes) > 0 && int2::nmat == 0) {
      ListLine() << "If you have electrical nodes you must have";
      ListLine() << "at least one subsystem.";
      wakro_quit("ENDCASE", 1);
    }
    if (fnames::iunit != wakro::kUnitBase + 1) {
      ListLine() << "Missplaced ENDCASE: keyword in data file";
      ListLine() << "Probably this should have been an ENDPAGE:";
      wakro_quit("ENDCASE", 1);
    }
  }
  // The map file, and on a later run whatever a misplaced key left open.
  while (fnames::iunit > wakro::kUnitBase) wakro_closefile();
}
