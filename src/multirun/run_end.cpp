// mrun_end_of_set: the statistics a stopped run set has not written (see
// run_end.h).
#include "multirun/run_end.h"

void mrun_end_of_set() {
  wakro::multirun::finish_output_file();
  wakro::multirun::finish_extra_files();
}
