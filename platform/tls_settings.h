#pragma once
// The server side of TLS for the local service: the certificate and key of
// the installation, modern protocols and suites only.

#include <cstdint>
#include <string>

#include <boost/asio/ssl/context.hpp>

namespace platform {

inline constexpr uint32_t kTlsFileNotFound = 2;
inline constexpr uint32_t kTlsKeyExposed = 5;  // the key file is open to other users
inline constexpr uint32_t kTlsInvalidData = 13;

// TLS 1.2 with ECDHE and AEAD suites, and TLS 1.3; no renegotiation, no
// compression. Loads the certificate chain and the key: 0, or one of the
// codes above with the file concerned in problem_file.
uint32_t ConfigureServerTls(boost::asio::ssl::context& tls, const std::string& certificate_file,
                            const std::string& key_file, std::string& problem_file);

}  // namespace platform
