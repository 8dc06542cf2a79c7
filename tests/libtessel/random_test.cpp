// Random numbers: the national generators against the standard's tables
// (their fresh input made known), how the mixer and the pseudo-random
// generator combine their parts, and the statuses of each source.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "key_test_support.h"
#include "support/cpu.h"

namespace {

using namespace tesseltest;
using testsupport::load_vectors;
using testsupport::records_of;

class Random : public Tessel {};

Bytes pattern(std::size_t n, std::uint8_t start) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(start + 7 * i);
  return b;
}

TEST_F(Random, SystemSourceGivesExactlyTheLengthAsked) {
  const struct {
    int32_t length;
    int32_t status;
  } cases[] = {{0, TESSEL_NO_MEMORY}, {-1, TESSEL_NO_MEMORY}, {1, 0}, {2500, 0}};
  for (const auto& c : cases) {
    const Case rec(GenRandomSystem(c.length));
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->status, c.status) << c.length;
    EXPECT_EQ(rec->data_len, c.status == 0 ? c.length : 0) << c.length;
  }
}

TEST_F(Random, CounterModeMatchesTheStandardOverItsInputBlocks) {
  const auto records = records_of(load_vectors("brng.txt"), "brng-ctr-hbelt");
  ASSERT_FALSE(records.empty());
  for (const auto& r : records) {
    const Bytes x = r.bytes("x");
    const FixedRandom fixed(x);
    const Case rec(GenRandomCTR(static_cast<int32_t>(x.size() / 32), r.bytes("key").data(),
                                r.bytes("iv").data()));
    ASSERT_EQ(rec->status, 0) << r.where();
    EXPECT_EQ(data_of(rec.get()), r.bytes("y")) << r.where();
    EXPECT_EQ(fixed.taken(), x.size()) << r.where();
  }
}

TEST_F(Random, CounterModeDrawsFreshInputOnEveryCall) {
  const Bytes key = pattern(32, 1), start = pattern(32, 2);
  const Case a(GenRandomCTR(2, key.data(), start.data()));
  const Case b(GenRandomCTR(2, key.data(), start.data()));
  ASSERT_EQ(a->status, 0);
  ASSERT_EQ(b->status, 0);
  EXPECT_EQ(a->data_len, 64);
  EXPECT_NE(data_of(a.get()), data_of(b.get()));
}

TEST_F(Random, CounterModeRefusesCountsAndMissingKeys) {
  const Bytes key = pattern(32, 1);
  const struct {
    int32_t n;
    const unsigned char* key;
    int32_t status;
  } cases[] = {{0, key.data(), TESSEL_NO_MEMORY},
               {-3, key.data(), TESSEL_NO_MEMORY},
               {INT32_MAX, key.data(), TESSEL_NO_MEMORY},
               {1, nullptr, TESSEL_BAD_LENGTH}};
  for (const auto& c : cases) {
    const Case rec(GenRandomCTR(c.n, c.key, key.data()));
    EXPECT_EQ(rec->status, c.status) << c.n;
    EXPECT_EQ(rec->data, nullptr);
  }
}

TEST_F(Random, HmacModeMatchesTheStandard) {
  const auto records = records_of(load_vectors("brng.txt"), "brng-hmac-hbelt");
  ASSERT_FALSE(records.empty());
  for (const auto& r : records) {
    const Bytes key = r.bytes("key"), iv = r.bytes("iv"), y = r.bytes("y");
    const auto n = static_cast<int32_t>((y.size() + 31) / 32);
    const Case rec(GenRandomHMAC(n, key.data(), len(key), iv.data(), len(iv)));
    ASSERT_EQ(rec->status, 0) << r.where();
    ASSERT_EQ(rec->data_len, n * 32) << r.where();
    // A short expected output is the head of the stream.
    EXPECT_EQ(Bytes(rec->data, rec->data + y.size()), y) << r.where();
  }
}

TEST_F(Random, HmacModeStatuses) {
  const Bytes key = pattern(40, 3);
  const struct {
    int32_t n;
    const unsigned char* key;
    int32_t key_len;
    int32_t status;
  } cases[] = {{1, key.data(), 40, 0},
               {1, nullptr, 0, 0},
               {0, key.data(), 40, TESSEL_NO_MEMORY},
               {1, key.data(), -1, TESSEL_BAD_LENGTH},
               {1, nullptr, 8, TESSEL_BAD_LENGTH}};
  for (const auto& c : cases) {
    const Case rec(GenRandomHMAC(c.n, c.key, c.key_len, key.data(), 8));
    EXPECT_EQ(rec->status, c.status) << c.n << " " << c.key_len;
  }
}

TEST_F(Random, MixerHashesTheSeedThenSixtyFiveFreshBytes) {
  const Bytes seed = pattern(19, 5), fresh = pattern(65, 9);
  for (const bool with_seed : {true, false}) {
    const FixedRandom fixed(fresh);
    const Case rec(with_seed ? CryptoRandom(seed.data(), len(seed)) : CryptoRandom(nullptr, 0));
    ASSERT_EQ(rec->status, 0);
    EXPECT_EQ(data_of(rec.get()), bash256(with_seed ? seed : Bytes{}, fresh));
    EXPECT_EQ(fixed.taken(), 65u);
  }
}

TEST_F(Random, MixerGivesNewBytesForTheSameSeedAndRefusesBadSeeds) {
  const Bytes seed = pattern(8, 1);
  const Case a(CryptoRandom(seed.data(), len(seed)));
  const Case b(CryptoRandom(seed.data(), len(seed)));
  ASSERT_EQ(a->data_len, 32);
  EXPECT_NE(data_of(a.get()), data_of(b.get()));
  EXPECT_EQ(Case(CryptoRandom(seed.data(), -1))->status, TESSEL_UPDATE_FAILED);
  EXPECT_EQ(Case(CryptoRandom(nullptr, 4))->status, TESSEL_UPDATE_FAILED);
}

// Without a seed the key and start value are the first 64 fresh bytes; with
// one, the key is the mixer's output. Either way the output is the counter
// generator's over the blocks drawn next.
TEST_F(Random, PseudoRandomIsTheCounterGeneratorOverFreshKeyAndStart) {
  const Bytes key = pattern(32, 11), start = pattern(32, 12), blocks = pattern(96, 13);
  Bytes expected;
  {
    const FixedRandom fixed(blocks);
    const Case ctr(GenRandomCTR(3, key.data(), start.data()));
    expected = data_of(ctr.get());
  }
  {
    const FixedRandom fixed(concat(concat(key, start), blocks));
    const Case rec(CryptoPseudoRandom(3, nullptr, 0));
    ASSERT_EQ(rec->status, 0);
    EXPECT_EQ(data_of(rec.get()), expected);
  }
  const Bytes seed = pattern(5, 14), fresh = pattern(65, 15);
  const Bytes mixed_key = bash256(seed, fresh);
  {
    const FixedRandom fixed(blocks);
    const Case ctr(GenRandomCTR(3, mixed_key.data(), start.data()));
    expected = data_of(ctr.get());
  }
  const FixedRandom fixed(concat(concat(fresh, start), blocks));
  const Case rec(CryptoPseudoRandom(3, seed.data(), len(seed)));
  ASSERT_EQ(rec->status, 0);
  EXPECT_EQ(data_of(rec.get()), expected);
}

TEST_F(Random, PseudoRandomStatuses) {
  const Bytes seed = pattern(8, 1);
  const Case a(CryptoPseudoRandom(2, seed.data(), len(seed)));
  const Case b(CryptoPseudoRandom(2, seed.data(), len(seed)));
  ASSERT_EQ(a->status, 0);
  EXPECT_EQ(a->data_len, 64);
  EXPECT_NE(data_of(a.get()), data_of(b.get()));
  EXPECT_EQ(Case(CryptoPseudoRandom(0, nullptr, 0))->status, TESSEL_NO_MEMORY);
  EXPECT_EQ(Case(CryptoPseudoRandom(1, seed.data(), -2))->status, TESSEL_UPDATE_FAILED);
}

// Every source reports a generator that gives nothing, and so does every
// key the library makes from it.
TEST_F(Random, FailingGeneratorIsReportedEverywhere) {
  const Bytes key = pattern(32, 1);
  const Signer recipient = make_signer("A");
  const FixedRandom broken{Bytes{}};
  const struct {
    const char* name;
    CRYPTOCASE* rec;
    int32_t status;
  } calls[] = {
      {"GenRandomSystem", GenRandomSystem(16), TESSEL_RANDOM_FAILED},
      {"GenRandomCTR", GenRandomCTR(1, key.data(), key.data()), TESSEL_RANDOM_FAILED},
      {"CryptoRandom", CryptoRandom(nullptr, 0), TESSEL_RANDOM_FAILED},
      {"CryptoPseudoRandom", CryptoPseudoRandom(1, nullptr, 0), TESSEL_RANDOM_FAILED},
      {"RandomFIPS", RandomFIPS(nullptr, 0), TESSEL_RANDOM_FAILED},
      {"GenEncryptKey", GenEncryptKey(nullptr, 0), TESSEL_RANDOM_FAILED},
      // The key pair itself needs the generator before any seed is used.
      {"GenPrivateKey", GenPrivateKey(128, nullptr, key.data(), len(key)), TESSEL_KEYGEN_FAILED},
      {"CreateToken",
       CreateToken(key.data(), 32, bytes(recipient.pubkey_pem), len(recipient.pubkey_pem), nullptr),
       TESSEL_RANDOM_FAILED}};
  for (const auto& c : calls) {
    const Case owned(c.rec);
    ASSERT_NE(owned, nullptr) << c.name;
    EXPECT_EQ(owned->status, c.status) << c.name;
  }
}

// One test, in this order: once the ENGINE has served, it stays the
// process's generator and is not initialised again.
TEST_F(Random, ProcessorSourceAnswersOnlyWhereTheInstructionIs) {
  ASSERT_EQ(setenv("STB_HIDE_RDRAND", "1", 1), 0);
  EXPECT_EQ(Case(GenRandomIntel(16))->status, TESSEL_NO_RDRAND);
  ASSERT_EQ(unsetenv("STB_HIDE_RDRAND"), 0);

  const Case rec(GenRandomIntel(33));
  if (!testsupport::processor_has_rdrand()) {
    EXPECT_EQ(rec->status, TESSEL_NO_RDRAND);
    return;
  }
  ASSERT_EQ(rec->status, 0);
  EXPECT_EQ(rec->data_len, 33);
  // Now the process's generator: the library's own draws come from it.
  const Case pseudo(CryptoPseudoRandom(79, nullptr, 0));
  ASSERT_EQ(pseudo->status, 0);
  EXPECT_EQ(Case(RandomFIPS(pseudo->data, 2500))->status, 0);
  EXPECT_EQ(Case(GenRandomIntel(0))->status, TESSEL_NO_MEMORY);
  RAND_set_rand_method(RAND_OpenSSL());
}

}  // namespace
