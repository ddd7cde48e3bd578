// The transformer room's routines in the hooks of the lower rooms.
#include "transformers/services.h"

#include "input/reader_hooks.h"
#include "network/hooks.h"
#include "transformers/dsmdyn.h"
#include "transformers/dsmint.h"

namespace wakro {

void use_transformer_services() {
  network_hooks().dsmdyn = network_hooks().plain_dsmdyn = &::dsmdyn;
  reader_hooks().dsmint = &::dsmint;
}

}  // namespace wakro
