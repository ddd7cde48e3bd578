// The module frame's counter steps, data-file handling and guarded arithmetic
// (see module_frame.h).
#include "case/module_frame.h"

#include <cmath>
#include <string>

#include "blocks/slots.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/units.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"

namespace wakro::casecode {
namespace {

std::int32_t g_opens = 0;

}  // namespace

namespace frame_detail {

void insufficient(const ModuleCounts& m, std::string_view text, std::int64_t required, std::int64_t available) {
  wakro::ListLine() << text;
  wakro::ListLine() << "Module " << std::string(m.name) << " needs " << std::to_string(required)
                    << ", the case map allows " << std::to_string(available) << ".";
  wakro_quit(m.name, 0);
}

void bad_subsystem(const ModuleCounts& m, std::int32_t ss) {
  wakro::ListLine() << "ERROR: Module " << std::string(m.name) << " has subsystem " << std::to_string(ss)
                    << " in its node record; it must lie in 1.." << std::to_string(int2::nmat) << ".";
  wakro::ListLine() << "The case's map file must give each page's subsystem (old subsystem style).";
  wakro_quit(m.name, 0);
}

}  // namespace frame_detail

void open_data_at_time_zero(const ModuleCounts& m, std::string_view section) {
  std::string name(m.name);
  name += ".dta";
  fnames::filename = name;
  wakro_openfile();
  ++g_opens;
  fnames::section = section;
  wakro_gotosection();
}

void close_data_at_time_zero() { wakro_closefile(); }

double negative_sqrt(bool& warned, std::int32_t id1, std::int32_t id2) {
  if (!warned) {
    warned = true;
    wakro_warn(id1, id2, wakro::msg::first_of(2), "A negative value is detected as an input to the Square Root function. ");
    wakro_warn(id1, id2, wakro::msg::kLastLine, "Input is treated as 0.0.");
  }
  return 0.0;
}

std::int32_t data_file_opens() { return g_opens; }
void clear_data_file_opens() { g_opens = 0; }

}  // namespace wakro::casecode
