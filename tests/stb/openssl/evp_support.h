// Shared pieces of the OpenSSL binding tests: owning handles, by-name
// lookups that fail the test when missing, and streamed EVP runs that check
// the per-call output contract on the way.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/vectors.h"

namespace ossltest {

using testsupport::Bytes;
using testsupport::Record;

struct Free {
  void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
  void operator()(EVP_MD* p) const { EVP_MD_free(p); }
  void operator()(EVP_MAC* p) const { EVP_MAC_free(p); }
  void operator()(EVP_MAC_CTX* p) const { EVP_MAC_CTX_free(p); }
  void operator()(ASN1_TYPE* p) const;
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, Free>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Free>;

// Registers the algorithms; every fixture starts with it.
class Registered : public ::testing::Test {
 protected:
  void SetUp() override;
};

// The records of alg in file, plus those of derived_sym.txt when present.
std::vector<Record> records(const std::string& file, const std::string& alg);

// "belt-cbc" + a 24-octet key -> "belt-cbc192".
std::string sized_name(const std::string& alg, std::size_t key_len);

const EVP_CIPHER* cipher(const std::string& name);  // ADD_FAILURE when unknown
const EVP_MD* digest(const std::string& name);

// A whole message through EVP_CipherUpdate/Final in pieces of step octets
// (0: one update). Checks that no call yields more than it is given in total
// and that Final without a buffer announces what Final then writes. nullopt
// where OpenSSL refuses.
std::optional<Bytes> crypt(const EVP_CIPHER* c, const Bytes& key, const Bytes& iv, const Bytes& in,
                           bool encrypt, std::size_t step = 0);

// One update with all of in, then Final, on a context already set up.
std::optional<Bytes> finish(EVP_CIPHER_CTX* ctx, const Bytes& in);

// Same for a digest (step 0: one update).
Bytes hash(const EVP_MD* md, const Bytes& msg, std::size_t step = 0);

}  // namespace ossltest
