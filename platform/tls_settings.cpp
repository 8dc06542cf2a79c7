#include "platform/tls_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <openssl/ssl.h>

namespace platform {
namespace {

// Forward-secret key exchange and authenticated encryption only: no static
// RSA, no CBC, no SHA-1 MACs. TLS 1.3 suites are all of that kind already.
constexpr char kTls12Suites[] = "ECDHE+AESGCM:ECDHE+CHACHA20:!aNULL";

bool Readable(const std::string& path) {
  return access(path.c_str(), R_OK) == 0;
}

}  // namespace

uint32_t ConfigureServerTls(boost::asio::ssl::context& tls, const std::string& certificate_file,
                            const std::string& key_file, std::string& problem_file) {
  for (const std::string* file : {&certificate_file, &key_file}) {
    if (!Readable(*file)) {
      problem_file = *file;
      return kTlsFileNotFound;
    }
  }
  // A private key others can read is no longer private: refuse to use it
  // rather than serve on it.
  struct stat key_info {};
  if (stat(key_file.c_str(), &key_info) != 0 || (key_info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    problem_file = key_file;
    return kTlsKeyExposed;
  }
  SSL_CTX* context = tls.native_handle();
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_options(
      context, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION | SSL_OP_CIPHER_SERVER_PREFERENCE);
  // Thousands of idle connections should not each keep 30 KiB of buffers.
  SSL_CTX_set_mode(context, SSL_MODE_RELEASE_BUFFERS);
  if (SSL_CTX_set_cipher_list(context, kTls12Suites) != 1) return kTlsInvalidData;
  boost::system::error_code ec;
  tls.use_certificate_chain_file(certificate_file, ec);
  if (ec) {
    problem_file = certificate_file;
    return kTlsInvalidData;
  }
  tls.use_private_key_file(key_file, boost::asio::ssl::context::pem, ec);
  if (ec) {
    problem_file = key_file;
    return kTlsInvalidData;
  }
  return 0;
}

}  // namespace platform
