// The belt encryption modes (STB 34.101.31): ECB and CBC with ciphertext
// stealing (any length of 16 octets or more, output exactly as long as the
// input), CFB and CTR (any length).
//
// Each mode is a flat, copyable object with a streaming form:
//   init(key, key_len[, iv], encrypt) -> false for a bad key length;
//   update(in, len, out) -> octets written to out, never more than len;
//   pending()            -> octets the next final() will write;
//   final(out)           -> false where the whole input was too short (ECB/CBC
//                           under 16 octets); writes pending() octets.
// in and out may be the same buffer. A one-shot form sits beside each.
//
// ECB/CBC streaming: the last two pieces of a message are treated specially
// and the length is known only at final(), so input blocks are processed only
// while more than 31 octets are buffered (16..31 are always kept back). To keep
// update() from yielding more than it is given, processed octets that do not
// fit wait in a small output queue (always under 16 octets) that the next
// update() or final() hands out first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stb/belt/block.h"

namespace stb::belt {

class Ecb {
 public:
  ~Ecb();
  bool init(const std::uint8_t* key, std::size_t key_len, bool encrypt);
  std::size_t update(const std::uint8_t* in, std::size_t len, std::uint8_t* out);
  std::size_t pending() const { return queued_ + buffered_; }
  bool final(std::uint8_t* out);

  static bool encrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* in,
                      std::size_t len, std::uint8_t* out);
  static bool decrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* in,
                      std::size_t len, std::uint8_t* out);

 private:
  Block block_;
  bool encrypt_ = true;
  std::uint8_t buf_[2 * kBlockSize]{};  // input kept back
  std::size_t buffered_ = 0;
  std::uint8_t queue_[kBlockSize]{};  // processed output not yet handed out
  std::size_t queued_ = 0;
};

class Cbc {
 public:
  ~Cbc();
  // iv: 16 octets.
  bool init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv, bool encrypt);
  // Replace the IV only (restart the stream with the same key).
  void set_iv(const std::uint8_t* iv);
  std::size_t update(const std::uint8_t* in, std::size_t len, std::uint8_t* out);
  std::size_t pending() const { return queued_ + buffered_; }
  bool final(std::uint8_t* out);

  static bool encrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                      const std::uint8_t* in, std::size_t len, std::uint8_t* out);
  static bool decrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                      const std::uint8_t* in, std::size_t len, std::uint8_t* out);

 private:
  Block block_;
  bool encrypt_ = true;
  std::uint8_t chain_[kBlockSize]{};
  std::uint8_t buf_[2 * kBlockSize]{};
  std::size_t buffered_ = 0;
  std::uint8_t queue_[kBlockSize]{};
  std::size_t queued_ = 0;
};

class Cfb {
 public:
  ~Cfb();
  bool init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv, bool encrypt);
  void set_iv(const std::uint8_t* iv);
  std::size_t update(const std::uint8_t* in, std::size_t len, std::uint8_t* out);
  std::size_t pending() const { return 0; }
  bool final(std::uint8_t*) { return true; }

  static bool encrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                      const std::uint8_t* in, std::size_t len, std::uint8_t* out);
  static bool decrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                      const std::uint8_t* in, std::size_t len, std::uint8_t* out);

 private:
  Block block_;
  bool encrypt_ = true;
  std::uint8_t reg_[kBlockSize]{};  // feedback register (gamma of the current block)
  std::size_t used_ = kBlockSize;   // octets of reg_ already consumed
};

class Ctr {
 public:
  ~Ctr();
  // Encryption and decryption are the same operation.
  bool init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv);
  void set_iv(const std::uint8_t* iv);
  std::size_t update(const std::uint8_t* in, std::size_t len, std::uint8_t* out);
  std::size_t pending() const { return 0; }
  bool final(std::uint8_t*) { return true; }

  static bool crypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                    const std::uint8_t* in, std::size_t len, std::uint8_t* out);

 private:
  Block block_;
  std::uint8_t counter_[kBlockSize]{};
  std::uint8_t gamma_[kBlockSize]{};
  std::size_t used_ = kBlockSize;  // octets of gamma_ already consumed
};

}  // namespace stb::belt
