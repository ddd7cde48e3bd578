// use_line_services: the line room's routines in the hooks of the readers and
// of the network solution, and the check of its records in the snapshot reader's.
#include "input/input_hooks.h"
#include "input/reader_hooks.h"
#include "lines/lines.h"
#include "network/hooks.h"
#include "network/record_checks.h"

namespace wakro {

void use_line_services() {
  reader_hooks().dslint = &::dslint;
  set_line_sizing_hooks(&::sctline, &::sctline_init);
  NetworkHooks& h = network_hooks();
  h.dsldyn = &::dsldyn;
  h.dslout = &::dslout;
  record_check_hooks().lines = &lines::check_line_records;
}

}  // namespace wakro
