#include "common/core_dumps.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace korvelin {
namespace {

// Runs in the child: 0 when the call held, the process is not dumpable and its core limit
// is 0 (soft and hard, so it cannot be raised again without privilege); else a bit per miss.
[[noreturn]] void CallAndReport() {
  int code = DisableCoreDumps() ? 0 : 1;
  if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0) code |= 2;
  rlimit limit{};
  ::getrlimit(RLIMIT_CORE, &limit);
  if (limit.rlim_cur != 0 || limit.rlim_max != 0) code |= 4;
  ::_exit(code);
}

// In a child process: the test program itself keeps its own settings.
TEST(CoreDumps, OffAfterTheCall) { EXPECT_EXIT(CallAndReport(), ::testing::ExitedWithCode(0), ""); }

}  // namespace
}  // namespace korvelin
