// The tests' own certificates: a test certificate authority and server certificates for the
// loopback fakes, made in memory with OpenSSL, and the way the test programs trust that
// authority without any switch in the program under test.
//
// The program verifies certificates against the system's CA bundle
// (/etc/ssl/certs/ca-certificates.crt, where libcurl looks). A test program calls
// TrustTestCa() first thing in main: it moves the process into a private mount namespace
// (as root, or inside a user namespace of its own) and mounts a small file system over
// /etc/ssl/certs that holds only the test authority. The end-to-end run does the same with a
// bind mount inside its namespace, from the files WriteTestPki writes.
#pragma once

#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace korvelin::testing {

enum class TlsIdentity {
  kTrusted,    // signed by the test authority, for every host the tests use
  kUntrusted,  // the same names, self-signed: no authority the client trusts
  kWrongHost,  // signed by the test authority, but for another host only
};

// The names every trusted certificate holds: localhost, 127.0.0.1, the mail host, the SMS
// gateway's host and the marketplace hosts.
const char* const* TestServerNames();

// The test authority's certificate (PEM), made once per process, or read by UseTestPkiFiles.
std::string TestCaPem();
// A server context for the identity; one per identity and process. Null when OpenSSL fails.
SSL_CTX* TestServerContext(TlsIdentity identity);

// Writes ca.pem (the authority), server.pem and server.key (the trusted identity) into the
// directory, for the end-to-end run. False when a file cannot be written.
bool WriteTestPki(const std::string& directory);
// Makes the trusted identity of this process the one in the directory WriteTestPki wrote
// (the fakes of the end-to-end run, which are programs of their own). Call before serving.
bool UseTestPki(const std::string& directory);

// Private mount namespace with only the test authority in /etc/ssl/certs. Must be called
// while the process has one thread. False (with the reason in `error`) when the namespace
// or the mount cannot be made; the process is then left as it was.
bool TrustTestCa(std::string* error);

}  // namespace korvelin::testing
