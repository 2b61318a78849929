// Writes the tests' certificate authority and the trusted server certificate for the
// end-to-end run:
//   make_test_pki DIRECTORY      -> DIRECTORY/ca.pem, server.pem, server.key
// The run trusts ca.pem inside its namespace; the fakes serve server.pem (--pki DIRECTORY).
#include <cstdio>

#include "support/test_pki.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_test_pki DIRECTORY\n");
    return 2;
  }
  if (!korvelin::testing::WriteTestPki(argv[1])) {
    std::fprintf(stderr, "make_test_pki: cannot write the certificates into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
