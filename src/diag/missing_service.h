// The stop for a service that every case needs but that nothing registered.
//
// The hooks and seams of the engine let a lower room call a routine of a higher
// room or of the case. Where every case needs the routine (the case reader, the
// network solution, the case's root routines, ...), the default behind the hook
// is not a routine that does nothing but one that calls missing_service: the run
// stops at once, saying which service was never plugged in, instead of going on
// with a step that silently lacks it.
#pragma once

#include <string_view>

namespace wakro {

// Writes "Missing service: <service> (<what>) was never registered." and ends
// the run through wakro_quit with the service's name, in capitals, as the tag.
[[noreturn]] void missing_service(std::string_view service, std::string_view what);

}  // namespace wakro
