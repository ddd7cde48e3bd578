// The fatal stop of a required service that was never registered (see
// missing_service.h).
#include "diag/missing_service.h"

#include <cctype>
#include <string>

#include "diag/listout.h"
#include "diag/quit.h"

namespace wakro {

void missing_service(std::string_view service, std::string_view what) {
  ListLine() << "Missing service: " + std::string(service) + " (" + std::string(what) +
                    ") was never registered.";
  std::string tag(service);
  for (char& c : tag) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  wakro_quit(tag, 0);
}

}  // namespace wakro
