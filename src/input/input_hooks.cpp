// The registered line-sizing and parameter-writing services, with their defaults.
#include "input/input_hooks.h"

#include <string>

#include "files/linereader.h"
#include "files/units.h"
#include "model/fnames.h"

namespace wakro {
namespace {

// Counts nothing; reads past the section's data lines so that the walk goes on
// at the next section key.
void skip_line_section() {
  const FixedText<72> key = fnames::section;
  for (;;) {
    rdcmnt();
    if (!rdcmnt_in_section(key)) return;
    std::string record;
    if (read_record(fnames::iunit, record) != ReadStatus::ok) return;
  }
}

void no_counts() {}
void no_parameters(std::int32_t& /*unit*/) {}

SctlineFn g_sctline = &skip_line_section;
SctlineFn g_sctline_init = &no_counts;
WriteparmFn g_writeparm = &no_parameters;

}  // namespace

void set_line_sizing_hooks(SctlineFn sctline, SctlineFn sctline_init) {
  g_sctline = sctline ? sctline : &skip_line_section;
  g_sctline_init = sctline_init ? sctline_init : &no_counts;
}

void set_writeparm_hook(WriteparmFn writeparm) {
  g_writeparm = writeparm ? writeparm : &no_parameters;
}

void call_sctline() { g_sctline(); }
void call_sctline_init() { g_sctline_init(); }
void call_writeparm(std::int32_t& unit) { g_writeparm(unit); }

}  // namespace wakro
