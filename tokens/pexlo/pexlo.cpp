// libPexlo: runs the first-generation sign program and hands the Zorvik2 and
// Avest signatures over within the caller's capacity.
#include "tokens/pexlo/pexlo.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "tokens/store/child_program.h"
#include "tokens/store/secret_bytes.h"

namespace {

constexpr uint32_t kFirstSignatureBuffer = 16 * 1024;
constexpr uint32_t kLargestSignature = 16 * 1024 * 1024;

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    // A socket rather than a pipe: MSG_NOSIGNAL spares the host process a
    // SIGPIPE when the sign program ends without reading.
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The sign program's exit status, or -1 when it did not end by itself.
int RunSignProgram(const std::string& program, const char* data_path, const char* password) {
  tokens::ChildProgram sign;
  if (!sign.Start(program, data_path, STDIN_FILENO)) return -1;
  tokens::SecretString line = tokens::ToSecret(password);
  line.push_back('\n');
  SendAll(sign.channel(), line);  // a program that stops reading answers for itself
  sign.CloseChannel();
  return sign.Wait();
}

int32_t CopyOut(const unsigned char* bytes, std::size_t size, unsigned char* output,
                uint32_t* output_len) {
  if (output == nullptr || size > *output_len) {
    *output_len = 0;
    return PEXLO_TOO_SMALL;
  }
  if (size > 0) std::memcpy(output, bytes, size);
  *output_len = static_cast<uint32_t>(size);
  return PEXLO_OK;
}

}  // namespace

extern "C" {

int32_t sign_Zorvik(const char* folder, const char* data_path, const char* password) {
  if (folder == nullptr || data_path == nullptr || password == nullptr) return PEXLO_FAILED;
  try {
    // Only an absolute folder: a relative one would run whatever lies below
    // the caller's working folder.
    std::string program = folder;
    if (program.empty() || program.front() != '/') return PEXLO_SIGN_PROGRAM_MISSING;
    if (program.back() != '/') program.push_back('/');
    program += "Signkit/sign";
    if (!IsExecutableFile(program)) return PEXLO_SIGN_PROGRAM_MISSING;
    switch (const int status = RunSignProgram(program, data_path, password)) {
      case PEXLO_OK:
      case PEXLO_NO_TOKEN:
      case PEXLO_WRONG_PASSWORD:
      case PEXLO_KEY_EXPIRED:
        return status;
      default:
        return PEXLO_FAILED;
    }
  } catch (...) {
    return PEXLO_FAILED;
  }
}

int32_t sign_Zorvik2(const unsigned char* cms, int32_t cms_len, unsigned char* output,
                     uint32_t* output_len) {
  if (output_len == nullptr) return PEXLO_FAILED;
  if (cms == nullptr || cms_len <= 0) {
    *output_len = 0;
    return PEXLO_FAILED;
  }
  return CopyOut(cms, static_cast<std::size_t>(cms_len), output, output_len);
}

uint32_t sign_Avest(PEXLO_AVCMSIGN sign, void* session, const unsigned char* data,
                    uint32_t data_len, unsigned char* output, uint32_t* output_len,
                    uint32_t flags) {
  if (output_len == nullptr) return PEXLO_FAILED;
  const uint32_t capacity = *output_len;
  *output_len = 0;
  if (sign == nullptr) return PEXLO_FAILED;
  try {
    std::vector<unsigned char> signature(kFirstSignatureBuffer);
    uint32_t size = kFirstSignatureBuffer;
    uint32_t result = sign(session, data, data_len, flags, signature.data(), &size);
    if (result == PEXLO_AVCM_MORE_DATA && size > signature.size() && size <= kLargestSignature) {
      signature.resize(size);
      result = sign(session, data, data_len, flags, signature.data(), &size);
    }
    if (result != 0) return result;
    if (size > signature.size()) return PEXLO_FAILED;
    *output_len = capacity;
    return static_cast<uint32_t>(CopyOut(signature.data(), size, output, output_len));
  } catch (...) {
    return PEXLO_FAILED;
  }
}

}  // extern "C"
