// The empty case's program: the engine's entry with the case's root routines
// plugged into the driver, and the stand-in dialogue and case reading until the
// real ones are linked.
#include "app/entry.h"
#include "app/seams.h"
#include "app/standins.h"
#include "empty_case.h"

int main(int argc, char** argv) {
  wakro::Seams& s = wakro::seams();
  s.dsdyn = &dsdyn;
  s.dsout = &dsout;
  s.dsdyn_begin = &dsdyn_begin;
  s.dsout_begin = &dsout_begin;
  wakro::use_standin_services();
  return wakro_main(argc, argv);
}
