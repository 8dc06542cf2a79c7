#include "evp_support.h"

#include <openssl/asn1.h>

#include <algorithm>
#include <fstream>

#include "stb/stb.h"

namespace ossltest {

void Free::operator()(ASN1_TYPE* p) const {
  ASN1_TYPE_free(p);
}

void Registered::SetUp() {
  ASSERT_EQ(STB_register(), 1);
}

std::vector<Record> records(const std::string& file, const std::string& alg) {
  auto out = testsupport::records_of(testsupport::load_vectors(file), alg);
  if (std::ifstream(std::string(TESSEL_VECTOR_DIR) + "/derived_sym.txt").good()) {
    const auto more = testsupport::records_of(testsupport::load_vectors("derived_sym.txt"), alg);
    out.insert(out.end(), more.begin(), more.end());
  }
  return out;
}

std::string sized_name(const std::string& alg, std::size_t key_len) {
  return alg + std::to_string(key_len * 8);
}

const EVP_CIPHER* cipher(const std::string& name) {
  const EVP_CIPHER* c = EVP_get_cipherbyname(name.c_str());
  if (c == nullptr) ADD_FAILURE() << "no cipher " << name;
  return c;
}

const EVP_MD* digest(const std::string& name) {
  const EVP_MD* md = EVP_get_digestbyname(name.c_str());
  if (md == nullptr) ADD_FAILURE() << "no digest " << name;
  return md;
}

std::optional<Bytes> crypt(const EVP_CIPHER* c, const Bytes& key, const Bytes& iv, const Bytes& in,
                           bool encrypt, std::size_t step) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  const unsigned char* ivp = iv.empty() ? nullptr : iv.data();
  if (!EVP_CipherInit_ex(ctx.get(), c, nullptr, key.data(), ivp, encrypt ? 1 : 0)) {
    return std::nullopt;
  }
  Bytes out(in.size() + 32);
  std::size_t given = 0;
  std::size_t written = 0;
  if (step == 0) step = std::max<std::size_t>(in.size(), 1);
  for (std::size_t pos = 0; pos < in.size(); pos += step) {
    const int len = static_cast<int>(std::min(step, in.size() - pos));
    int n = -1;
    if (!EVP_CipherUpdate(ctx.get(), out.data() + written, &n, in.data() + pos, len)) {
      return std::nullopt;
    }
    EXPECT_GE(n, 0);
    EXPECT_LE(n, len) << "an update yielded more than it was given";
    given += static_cast<std::size_t>(len);
    written += static_cast<std::size_t>(n);
    EXPECT_LE(written, given);
  }
  // Asking twice must not change the answer: nothing is consumed.
  int announced = -1, again = -2;
  if (!EVP_CipherFinal_ex(ctx.get(), nullptr, &announced)) return std::nullopt;
  EXPECT_EQ(EVP_CipherFinal_ex(ctx.get(), nullptr, &again), 1);
  EXPECT_EQ(again, announced);
  if (in.size() >= 16 && EVP_CIPHER_CTX_get_block_size(ctx.get()) == 16) {
    EXPECT_GE(announced, 16) << "ECB/CBC keep the last two pieces back";
  }
  int n = -1;
  if (!EVP_CipherFinal_ex(ctx.get(), out.data() + written, &n)) return std::nullopt;
  EXPECT_EQ(n, announced) << "Final wrote other than it announced";
  written += static_cast<std::size_t>(n);
  out.resize(written);
  return out;
}

std::optional<Bytes> finish(EVP_CIPHER_CTX* ctx, const Bytes& in) {
  Bytes out(in.size() + 32);
  int n = 0, m = 0;
  // No update for no input: an empty vector's data() may be null, and EVP
  // passes an update without input on like its final step.
  if (!in.empty() &&
      !EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size()))) {
    return std::nullopt;
  }
  if (!EVP_CipherFinal_ex(ctx, out.data() + n, &m)) return std::nullopt;
  out.resize(static_cast<std::size_t>(n + m));
  return out;
}

Bytes hash(const EVP_MD* md, const Bytes& msg, std::size_t step) {
  MdCtx ctx(EVP_MD_CTX_new());
  EXPECT_EQ(EVP_DigestInit_ex(ctx.get(), md, nullptr), 1);
  if (step == 0) step = std::max<std::size_t>(msg.size(), 1);
  for (std::size_t pos = 0; pos < msg.size(); pos += step) {
    EXPECT_EQ(EVP_DigestUpdate(ctx.get(), msg.data() + pos, std::min(step, msg.size() - pos)), 1);
  }
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  EXPECT_EQ(EVP_DigestFinal_ex(ctx.get(), out.data(), &n), 1);
  out.resize(n);
  return out;
}

}  // namespace ossltest
