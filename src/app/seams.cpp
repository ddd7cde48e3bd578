// Default seams: a fatal stop naming the service for every routine that each
// case needs (and for a start from a snapshot, without the snapshot room),
// do-nothing routines for the services a case may lack, the
// tandem-line reset, the dimension report of the input room and the command
// reader.
#include "app/seams.h"

#include "app/getmsgv3.h"
#include "diag/listout.h"
#include "diag/missing_service.h"
#include "diag/quit.h"
#include "input/dimensions.h"
#include "link/exchange_lumbra.h"
#include "model/int2.h"
#include "model/tandem_line.h"

namespace wakro {

namespace {

void none() {}
void none_i(std::int32_t) {}
void none_extra(std::int32_t, const FixedText<30>&) {}
void none_stats(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                std::string_view) {}
// The library's server channel: a link through the server calls of the
// communication library, which the start-up has already started.
Exchange* library_link(std::int32_t id) { return new ExchangeLumbraServer(static_cast<std::uint32_t>(id)); }

// Snapshots are the snapshot room's, which plug_engine_services plugs in. A
// program without it stops when asked to start from a snapshot, before any step
// runs on a case that was never read; asked to write one, it goes on without it
// (the driver says so once).
void no_snapshot_reader() { missing_service("readsnap", "the snapshot reader"); }
void no_snapshot_writer() {}

// Services every case needs: reaching one of these defaults means that the
// executable never plugged the service in (see plug_engine_services and the
// case's main), and the run stops saying which.
void missing_dialog() { missing_service("dialog", "the start-up dialogue on the console"); }
void missing_dialogv3() { missing_service("dialogv3", "the start-up dialogue over the link"); }
void missing_readdata() { missing_service("readdata", "the case reader"); }
void missing_intsolvi() { missing_service("intsolvi", "the network solution"); }
void missing_dsdyn() { missing_service("dsdyn", "a root routine of the case"); }
void missing_dsout() { missing_service("dsout", "a root routine of the case"); }
void missing_dsdyn_begin() { missing_service("dsdyn_begin", "a root routine of the case"); }
void missing_dsout_begin() { missing_service("dsout_begin", "a root routine of the case"); }
void missing_percentcomplete(bool) {
  missing_service("wakro_percentcomplete", "the console progress of the output steps");
}
// Called only for a case that asks for output files or a screen plot, which
// cannot do without them.
void missing_outputfile(std::int32_t) { missing_service("wakro_outputfile", "the output channel files"); }
void missing_outputfilebin(std::int32_t) {
  missing_service("wakro_outputfilebin", "the binary output channel files");
}
void missing_screenplot() { missing_service("wakro_screenplot", "the screen plot"); }
// The solver choice is part of the network solution; a case without subsystems
// has nothing to choose it for.
void set_klu_or_missing() {
  if (int2::nmat > 0) missing_service("set_klu", "the network solution's choice of solver");
}

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
  s.dialog = &missing_dialog;
  s.dialogv3 = &missing_dialogv3;
  s.readdata = &missing_readdata;
  s.readsnap = &no_snapshot_reader;
  s.writedim = &writedim;
  s.init_tandem_lines = &clear_tandem_lines;
  s.eni_init = &none;
  s.sendeninames = &none;
  s.set_klu = &set_klu_or_missing;
  s.intsolvi = &missing_intsolvi;
  s.dsdyn = &missing_dsdyn;
  s.dsout = &missing_dsout;
  s.dsdyn_begin = &missing_dsdyn_begin;
  s.dsout_begin = &missing_dsout_begin;
  s.getmsgv3 = &::getmsgv3;
  s.reset_button = &none;
  s.clear_button_list = &none;
  s.init_monitorcode = &none;
  s.qbstep = &none_i;
  s.outqbv3 = &none;
  s.calc_pf = &none;
  s.send_pfdata = &none;
  s.send_endofrunmsgs = &none;
  s.ofnextrun = &none_i;
  s.wakro_outputfile = &missing_outputfile;
  s.wakro_outputfilebin = &missing_outputfilebin;
  s.wakro_percentcomplete = &missing_percentcomplete;
  s.wakro_screenplot = &missing_screenplot;
  s.delete_output_file = &none;
  s.lock_output_names = &none;
  s.lock_case_files = &none;
  s.release_output_names = &none;
  s.writesnap = &no_snapshot_writer;
  s.snapfile = &none_i;
  s.pmr_mrun_consolidate = &none;
  s.pmr_mrun_extrafiles_consolidate = &none_extra;
  s.mrunxtrafiles_statistics = &none_stats;
  s.mrun_end_of_set = &none;
  s.library_server_link = &library_link;
  return s;
}

Seams the_seams = defaults();

}  // namespace

Seams& seams() { return the_seams; }

void reset_seams() { the_seams = defaults(); }

bool snapshot_writer_registered() { return the_seams.writesnap != &no_snapshot_writer; }

}  // namespace wakro
