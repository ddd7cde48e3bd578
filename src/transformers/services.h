// Registers the transformer room's routines at start-up: dsmdyn in the network
// solution's hook and dsmint as the reader of "TRANSFORMERS:" sections.
#pragma once

namespace wakro {
void use_transformer_services();
}  // namespace wakro
