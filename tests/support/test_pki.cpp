#include "support/test_pki.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

namespace korvelin::testing {
namespace {

constexpr const char* kServerNames[] = {
    "localhost",     "127.0.0.1",        "smtp.qq.com",    "textbelt.com",  "www.amazon.cn",
    "www.amazon.de", "www.amazon.co.jp", "www.amazon.com", "www.amazon.ca", "www.amazon.co.uk",
    "www.amazon.fr", "www.amazon.it",    "www.amazon.nl",  nullptr};
constexpr const char* kBundlePath = "/etc/ssl/certs/ca-certificates.crt";
constexpr const char* kBundleDirectory = "/etc/ssl/certs";

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct CtxFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;
using Ctx = std::unique_ptr<SSL_CTX, CtxFree>;

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (extension == nullptr) return false;
  const bool added = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

// A certificate for `key` with the common name, signed by the issuer (itself when null).
Cert MakeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                     bool authority, const std::string& altNames, long serial) {
  Cert cert(X509_new());
  if (!cert) return nullptr;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 2L * 365 * 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Korvelin tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  bool ok = true;
  if (authority) {
    ok = AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE") &&
         AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign") &&
         AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  } else {
    ok = AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE") &&
         AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth") &&
         AddExtension(cert.get(), signer, NID_subject_alt_name, altNames);
  }
  if (!ok || X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256()) <= 0) {
    return nullptr;
  }
  return cert;
}

std::string AltNames(const char* const* names) {
  std::string text;
  for (; *names != nullptr; ++names) {
    if (!text.empty()) text += ",";
    const bool address = std::strspn(*names, "0123456789.") == std::strlen(*names);
    text += std::string(address ? "IP:" : "DNS:") + *names;
  }
  return text;
}

std::string CertPem(X509* cert) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, cert);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(size));
  BIO_free(bio);
  return pem;
}

std::string KeyPem(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(size));
  BIO_free(bio);
  return pem;
}

Ctx ServerContext(X509* cert, EVP_PKEY* key) {
  Ctx ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx || SSL_CTX_use_certificate(ctx.get(), cert) != 1 ||
      SSL_CTX_use_PrivateKey(ctx.get(), key) != 1) {
    return nullptr;
  }
  return ctx;
}

// Everything made once per process.
struct Pki {
  Key caKey;
  Cert ca;
  Key serverKey;
  Cert server;  // trusted
  Ctx contexts[3];
};

std::mutex g_mutex;
std::unique_ptr<Pki> g_pki;  // guarded by g_mutex

Pki& MadePki() {
  std::lock_guard lock(g_mutex);
  if (g_pki) return *g_pki;
  auto pki = std::make_unique<Pki>();
  pki->caKey.reset(EVP_EC_gen("P-256"));
  pki->serverKey.reset(EVP_EC_gen("P-256"));
  if (pki->caKey && pki->serverKey) {
    pki->ca = MakeCertificate(pki->caKey.get(), "Korvelin test CA", nullptr, nullptr, true, {}, 1);
  }
  const std::string names = AltNames(kServerNames);
  if (pki->ca) {
    pki->server = MakeCertificate(pki->serverKey.get(), "localhost", pki->ca.get(),
                                  pki->caKey.get(), false, names, 2);
  }
  if (pki->server) {
    pki->contexts[0] = ServerContext(pki->server.get(), pki->serverKey.get());
    const Cert selfSigned =
        MakeCertificate(pki->serverKey.get(), "localhost", nullptr, nullptr, false, names, 3);
    const Cert otherHost = MakeCertificate(pki->serverKey.get(), "other.example", pki->ca.get(),
                                           pki->caKey.get(), false, "DNS:other.example", 4);
    if (selfSigned) pki->contexts[1] = ServerContext(selfSigned.get(), pki->serverKey.get());
    if (otherHost) pki->contexts[2] = ServerContext(otherHost.get(), pki->serverKey.get());
  }
  g_pki = std::move(pki);
  return *g_pki;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

bool WriteProcFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

}  // namespace

const char* const* TestServerNames() { return kServerNames; }

std::string TestCaPem() {
  Pki& pki = MadePki();
  return pki.ca ? CertPem(pki.ca.get()) : std::string();
}

SSL_CTX* TestServerContext(TlsIdentity identity) {
  return MadePki().contexts[static_cast<int>(identity)].get();
}

bool WriteTestPki(const std::string& directory) {
  Pki& pki = MadePki();
  if (!pki.ca || !pki.server) return false;
  return WriteText(directory + "/ca.pem", CertPem(pki.ca.get())) &&
         WriteText(directory + "/server.pem", CertPem(pki.server.get())) &&
         WriteText(directory + "/server.key", KeyPem(pki.serverKey.get()));
}

bool UseTestPki(const std::string& directory) {
  std::string caPem;
  std::string certPem;
  std::string keyPem;
  if (!ReadText(directory + "/ca.pem", caPem) || !ReadText(directory + "/server.pem", certPem) ||
      !ReadText(directory + "/server.key", keyPem)) {
    return false;
  }
  auto pki = std::make_unique<Pki>();
  BIO* bio = BIO_new_mem_buf(caPem.data(), static_cast<int>(caPem.size()));
  pki->ca.reset(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  bio = BIO_new_mem_buf(certPem.data(), static_cast<int>(certPem.size()));
  pki->server.reset(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  bio = BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size()));
  pki->serverKey.reset(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  if (!pki->ca || !pki->server || !pki->serverKey) return false;
  pki->contexts[0] = ServerContext(pki->server.get(), pki->serverKey.get());
  if (!pki->contexts[0]) return false;
  std::lock_guard lock(g_mutex);
  g_pki = std::move(pki);
  return true;
}

bool TrustTestCa(std::string* error) {
  const auto fail = [error](const std::string& what) {
    if (error != nullptr) *error = what + ": " + std::strerror(errno);
    return false;
  };
  const std::string bundle = TestCaPem();
  if (bundle.empty()) return fail("no test authority");
  if (::unshare(CLONE_NEWNS) != 0) {
    // Without the privilege for a mount namespace: one inside a user namespace of our own,
    // where this user is root.
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return fail("unshare");
    if (!WriteProcFile("/proc/self/setgroups", "deny") ||
        !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return fail("user namespace ids");
    }
  }
  // Mounts made here stay in this namespace.
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return fail("private mounts");
  }
  if (::mount("korvelin-test-ca", kBundleDirectory, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
              "mode=0755,size=1m") != 0) {
    return fail(std::string("tmpfs on ") + kBundleDirectory);
  }
  if (!WriteText(kBundlePath, bundle)) return fail(std::string("writing ") + kBundlePath);
  return true;
}

}  // namespace korvelin::testing
