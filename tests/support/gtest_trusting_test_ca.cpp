// The main of the core test programs: GoogleTest, run in a private mount namespace where the
// system's CA bundle holds only the tests' own certificate authority (support/test_pki.h),
// so the program under test verifies the loopback fakes' certificates as it verifies real
// servers, with no switch of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_pki.h"

int main(int argc, char** argv) {
  std::string error;
  if (!korvelin::testing::TrustTestCa(&error)) {
    std::fprintf(stderr,
                 "note: the test CA cannot be trusted here (%s); the tests of verified TLS "
                 "will fail. Run as root or allow unprivileged user namespaces.\n",
                 error.c_str());
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
