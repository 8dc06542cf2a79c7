#pragma once
// A certificate for a test server, and curl as the client no one here wrote.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_support {

// server.crt and server.key for localhost, 127.0.0.1 and ::1 in folder, with
// a P-256 key or the given openssl -newkey argument (e.g. "rsa:2048").
inline bool MakeCertificate(const std::string& folder, const std::string& key = "") {
  const std::string newkey = key.empty() ? "ec -pkeyopt ec_paramgen_curve:prime256v1" : key;
  const std::string command =
      "openssl req -x509 -newkey " + newkey +
      " -nodes -days 2 "
      "-subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1 -keyout '" +
      folder + "/server.key' -out '" + folder + "/server.crt' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

struct CommandResult {
  int status = -1;
  std::string output;
};

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> chunk{};
  while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
    result.output.append(chunk.data(), n);
  result.status = pclose(pipe);
  return result;
}

// curl against https://localhost:<port><target>; extra goes before the address.
inline CommandResult Curl(int port, const std::string& target, const std::string& extra = "") {
  return RunCommand("curl -sk --max-time 10 " + extra +
                    " 'https://localhost:" + std::to_string(port) + target + "'");
}

}  // namespace testing_support
