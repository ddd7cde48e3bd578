// The ENI step case's program: the engine's entry with the case's root
// routines plugged into the driver, and the engine's dialogue, case reading and
// network solution plugged into their seams.
#include "app/entry.h"
#include "app/engine_services.h"
#include "app/seams.h"
#include "eni_step_case.h"

int main(int argc, char** argv) {
  wakro::Seams& s = wakro::seams();
  s.dsdyn = &dsdyn;
  s.dsout = &dsout;
  s.dsdyn_begin = &dsdyn_begin;
  s.dsout_begin = &dsout_begin;
  wakro::plug_engine_services();
  return wakro_main(argc, argv);
}
