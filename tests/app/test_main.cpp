// The widget tests need one QApplication for the whole run (offscreen platform), in a
// namespace that trusts the tests' certificate authority (support/test_pki.h).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <string>

#include "support/test_pki.h"

int main(int argc, char** argv) {
  // First, while the process has one thread: the mail the widgets send goes over TLS that the
  // program verifies, against the tests' own authority in a private mount namespace.
  std::string error;
  if (!korvelin::testing::TrustTestCa(&error)) {
    std::fprintf(stderr, "note: the test CA cannot be trusted here (%s)\n", error.c_str());
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
