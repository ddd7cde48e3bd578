// The output room's routines behind the seams (see output_services.h).
#include "app/output_services.h"

#include "app/seams.h"
#include "output/channel_files.h"
#include "output/console_progress.h"
#include "input/reader_hooks.h"
#include "output/dialog.h"
#include "output/output_lock.h"
#include "output/outputfile.h"
#include "output/record_bindings.h"

namespace wakro {

void use_output_services() {
  Seams& s = seams();
  s.dialog = &::dialog;
  s.wakro_outputfile = &::wakro_outputfile;
  s.wakro_outputfilebin = &::wakro_outputfilebin;
  s.wakro_percentcomplete = [](bool link) { ::wakro_percentcomplete(link ? 1 : 0); };
  s.wakro_screenplot = &::wakro_screenplot;
  s.ofnextrun = [](std::int32_t) { ::ofnextrun(); };
  s.delete_output_file = &delete_output_file;
  s.lock_output_names = &lock_output_names;
  s.lock_case_files = &lock_channel_files;
  s.release_output_names = &release_output_names;
  use_record_file();
  reader_hooks().ofprocessline = [](const FixedText<512>& line) { ::ofprocessline(line.view()); };
}

}  // namespace wakro
