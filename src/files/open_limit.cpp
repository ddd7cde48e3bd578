// raise_open_file_limit: the soft limit on open files up to the hard one (see
// open_limit.h).
#include "files/open_limit.h"

#include <sys/resource.h>

namespace wakro {

bool raise_open_file_limit() {
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return false;
  if (lim.rlim_cur == lim.rlim_max) return true;
  lim.rlim_cur = lim.rlim_max;
  return ::setrlimit(RLIMIT_NOFILE, &lim) == 0;
}

}  // namespace wakro
