#include "common/core_dumps.h"

#include <sys/resource.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace korvelin {

bool DisableCoreDumps() {
  bool held = true;
#if defined(__linux__)
  // Not dumpable also keeps other processes of the same user from attaching to this one or
  // reading its memory through /proc.
  held = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
#endif
  const rlimit none{0, 0};
  return ::setrlimit(RLIMIT_CORE, &none) == 0 && held;
}

}  // namespace korvelin
