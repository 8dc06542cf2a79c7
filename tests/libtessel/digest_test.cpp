// Digests by name, belt-mac and hmac-hbelt through the record interface.
#include <openssl/err.h>

#include "tessel_support.h"

namespace {

using namespace tesseltest;
using testsupport::from_hex;
using testsupport::load_vectors;
using testsupport::records_of;

class Digest : public Tessel {};

TEST_F(Digest, MatchesVectorsOneShotAndInPieces) {
  const auto vectors = records_of(load_vectors("bash.txt"), "bash256");
  ASSERT_FALSE(vectors.empty());
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.where());
    const Bytes msg = v.bytes("msg"), want = v.bytes("hash");
    Case one(CreateDigest("bash256", msg.data(), len(msg)));
    ASSERT_EQ(one->status, TESSEL_OK);
    EXPECT_EQ(digest_of(one.get()), want);
    // Uneven pieces, an empty update among them.
    Case seq(CreateDigest_Init("bash256"));
    ASSERT_EQ(seq->status, TESSEL_OK);
    const std::size_t cut = msg.size() * 2 / 3;
    EXPECT_EQ(CreateDigest_Update(seq.get(), msg.data(), static_cast<int32_t>(cut)), seq.get());
    CreateDigest_Update(seq.get(), nullptr, 0);
    CreateDigest_Update(seq.get(), msg.data() + cut, static_cast<int32_t>(msg.size() - cut));
    ASSERT_EQ(CreateDigest_Final(seq.get())->status, TESSEL_OK);
    EXPECT_EQ(digest_of(seq.get()), want);
    EXPECT_EQ(seq->md_ctx, nullptr);
  }
}

TEST_F(Digest, EmptyMessageWithAndWithoutUpdate) {
  const Bytes empty_hash =
      from_hex("114C3DFAE373D9BCBC3602D6386F2D6A2059BA1BF9048DBAA5146A6CB775709D");
  Case no_update(CreateDigest_Final(CreateDigest_Init("bash256")));
  EXPECT_EQ(no_update->status, TESSEL_OK);
  EXPECT_EQ(digest_of(no_update.get()), empty_hash);
  Case zero(CreateDigest("bash256", nullptr, 0));
  EXPECT_EQ(zero->status, TESSEL_OK);
  EXPECT_EQ(digest_of(zero.get()), empty_hash);
}

TEST_F(Digest, RefusedInputs) {
  Case unknown(CreateDigest("no-such-digest", bytes("abc"), 3));
  EXPECT_EQ(unknown->status, TESSEL_UNKNOWN_ALGORITHM);
  EXPECT_EQ(unknown->md_ctx, nullptr);
  Case no_name(CreateDigest_Init(nullptr));
  EXPECT_EQ(no_name->status, TESSEL_UNKNOWN_ALGORITHM);
  // A negative length or a missing buffer must not reach OpenSSL.
  Case negative(CreateDigest("bash256", bytes("abc"), -1));
  EXPECT_EQ(negative->status, TESSEL_UPDATE_FAILED);
  EXPECT_EQ(negative->md_ctx, nullptr);
  Case missing(CreateDigest("bash256", nullptr, 5));
  EXPECT_EQ(missing->status, TESSEL_UPDATE_FAILED);
  EXPECT_EQ(missing->digest, nullptr);
}

TEST_F(Digest, StepsAfterTheEndOrAFailure) {
  Case rec(CreateDigest("bash256", bytes("abc"), 3));
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Bytes first = digest_of(rec.get());
  // The context is gone: another step fails but keeps the earlier output.
  EXPECT_EQ(CreateDigest_Update(rec.get(), bytes("d"), 1)->status, TESSEL_UPDATE_FAILED);
  EXPECT_EQ(CreateDigest_Final(rec.get())->status, TESSEL_FINAL_FAILED);
  EXPECT_EQ(digest_of(rec.get()), first);
  // A record of another family has no digest context at all.
  Case cms(CreateSignP7S_Init(TESSEL_FORM_DER, 0));
  EXPECT_EQ(CreateDigest_Final(cms.get())->status, TESSEL_FINAL_FAILED);
}

struct MacCase {
  const char* file;
  const char* alg;
  CRYPTOCASE* (*fn)(const unsigned char*, int32_t, const unsigned char*, int32_t);
  int32_t size;
};

TEST_F(Digest, MacAndHmacVectors) {
  for (const MacCase& c : {MacCase{"belt_mac.txt", "belt-mac", CreateMac, 8},
                           MacCase{"hmac_hbelt.txt", "hmac-hbelt", CreateHmac, 32}}) {
    const auto vectors = records_of(load_vectors(c.file), c.alg);
    ASSERT_FALSE(vectors.empty());
    for (const auto& v : vectors) {
      SCOPED_TRACE(v.where());
      const Bytes msg = v.bytes("msg"), key = v.bytes("key");
      Case rec(c.fn(msg.data(), len(msg), key.data(), len(key)));
      ASSERT_EQ(rec->status, TESSEL_OK);
      EXPECT_EQ(rec->digest_len, c.size);
      EXPECT_EQ(digest_of(rec.get()), v.bytes("mac"));
    }
  }
}

TEST_F(Digest, MacRefusesWhatTheAlgorithmRefuses) {
  const Bytes key(32, 0x42);
  // belt-mac takes 16, 24 or 32 key octets: anything else must not pass as
  // a MAC of unwritten octets.
  for (int32_t key_len : {0, 15, 31, 33}) {
    Case rec(CreateMac(bytes("abc"), 3, key.data(), key_len));
    EXPECT_EQ(rec->status, TESSEL_BAD_LENGTH) << key_len;
    EXPECT_EQ(rec->digest, nullptr);
  }
  Case negative(CreateHmac(bytes("abc"), -3, key.data(), 32));
  EXPECT_EQ(negative->status, TESSEL_BAD_LENGTH);
  Case any_key(CreateHmac(bytes("abc"), 3, key.data(), 0));
  EXPECT_EQ(any_key->status, TESSEL_OK);
  EXPECT_EQ(any_key->digest_len, 32);
  EXPECT_EQ(ERR_peek_error(), 0u);
}

}  // namespace
