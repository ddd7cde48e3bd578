// The program of every example case: the engine's entry with the case's root
// routines plugged into the driver, and the engine's dialogues, case reading and
// network solution plugged into their seams.
#include "app/engine_services.h"
#include "app/entry.h"
#include "app/seams.h"
#include "snapshot/case_identity.h"

// The four root routines, defined by each example's case file.
void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();

int main(int argc, char** argv) {
  wakro::Seams& s = wakro::seams();
  s.dsdyn = &dsdyn;
  s.dsout = &dsout;
  s.dsdyn_begin = &dsdyn_begin;
  s.dsout_begin = &dsout_begin;
  wakro::plug_engine_services();
  wakro::snapshot::set_program_case(WAKRO_CASE_NAME);
  return wakro_main(argc, argv);
}
