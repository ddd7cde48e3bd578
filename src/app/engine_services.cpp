// The engine's services in the seams of the driver (see engine_services.h).
#include "app/engine_services.h"

#include "app/network_services.h"
#include "app/output_services.h"
#include "app/seams.h"
#include "app/standins.h"
#include "input/readdata.h"

namespace wakro {

void plug_engine_services() {
  Seams& s = seams();
  use_output_services();   // the console dialogue and the output routines
  use_network_services();  // the per-step network solution
  s.dialogv3 = &standin_dialogv3;
  s.readdata = &wakro_readdata;
  s.send_endofrunmsgs = &standin_send_endofrunmsgs;
}

}  // namespace wakro
