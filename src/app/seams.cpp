// Default seams: do-nothing routines, the tandem-line reset, the dimension
// report of the input room and the stand-in
// command handler.
#include "app/seams.h"

#include "app/standins.h"
#include "input/dimensions.h"
#include "model/tandem_line.h"

namespace wakro {

namespace {

void none() {}
void none_i(std::int32_t) {}
void none_b(bool) {}
void none_extra(std::int32_t, const FixedText<30>&) {}
void none_stats(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                std::string_view) {}
Exchange* no_library_link(std::int32_t) { return nullptr; }

// The dimension report on the given unit.
void writedim(std::int32_t unit) { wakro_writedim(unit); }

// Clears the tandem-line option; the start-up dialogue may set it again.
void clear_tandem_lines() {
  tandem_line::enable_tandem_line = false;
  tandem_line::run_type = 0;
  tandem_line::tandemline1.blank();
  tandem_line::tandemline2.blank();
}

Seams defaults() {
  Seams s{};
  s.dialog = &none;
  s.dialogv3 = &none;
  s.readdata = &none;
  s.readsnap = &none;
  s.writedim = &writedim;
  s.init_tandem_lines = &clear_tandem_lines;
  s.eni_init = &none;
  s.sendeninames = &none;
  s.set_klu = &none;
  s.intsolvi = &none;
  s.dsdyn = &none;
  s.dsout = &none;
  s.dsdyn_begin = &none;
  s.dsout_begin = &none;
  s.getmsgv3 = &standin_getmsgv3;
  s.reset_button = &none;
  s.clear_button_list = &none;
  s.init_monitorcode = &none;
  s.qbstep = &none_i;
  s.outqbv3 = &none;
  s.calc_pf = &none;
  s.send_pfdata = &none;
  s.send_endofrunmsgs = &none;
  s.ofnextrun = &none_i;
  s.wakro_outputfile = &none_i;
  s.wakro_outputfilebin = &none_i;
  s.wakro_percentcomplete = &none_b;
  s.wakro_screenplot = &none;
  s.delete_output_file = &none;
  s.writesnap = &none;
  s.snapfile = &none_i;
  s.pmr_mrun_consolidate = &none;
  s.pmr_mrun_extrafiles_consolidate = &none_extra;
  s.mrunxtrafiles_statistics = &none_stats;
  s.library_server_link = &no_library_link;
  return s;
}

Seams the_seams = defaults();

}  // namespace

Seams& seams() { return the_seams; }

void reset_seams() { the_seams = defaults(); }

}  // namespace wakro
