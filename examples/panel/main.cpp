// The control-panel case's program: the engine's entry with the case's root
// routines and the engine's services plugged into the seams.
#include "app/engine_services.h"
#include "app/entry.h"
#include "app/seams.h"
#include "panel_case.h"

int main(int argc, char** argv) {
  wakro::Seams& s = wakro::seams();
  s.dsdyn = &dsdyn;
  s.dsout = &dsout;
  s.dsdyn_begin = &dsdyn_begin;
  s.dsout_begin = &dsout_begin;
  wakro::plug_engine_services();
  return wakro_main(argc, argv);
}
