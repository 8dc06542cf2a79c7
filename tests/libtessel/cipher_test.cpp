// Encryption and decryption by cipher name: one-shot calls, the streamed
// sequences and their statuses.
#include <string>
#include <vector>

#include "tessel_support.h"

namespace {

using namespace tesseltest;
using testsupport::to_hex;

// Every belt mode the national-algorithm module offers by name.
const std::vector<std::string>& belt_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const char* mode : {"ecb", "cbc", "cfb", "ctr", "kwp"})
      for (const char* bits : {"128", "192", "256"})
        v.push_back(std::string("belt-") + mode + bits);
    return v;
  }();
  return names;
}

bool is_kwp(const std::string& name) {
  return name.rfind("belt-kwp", 0) == 0;
}

Bytes pattern(std::size_t n, unsigned seed = 1) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 37 + seed * 11);
  return b;
}

const Bytes kKey = pattern(32, 3);
const Bytes kIv = pattern(16, 5);

Case encrypt(const std::string& name, const Bytes& in, const Bytes& key = kKey) {
  return Case(Encrypt(name.c_str(), in.data(), len(in), key.data(), kIv.data()));
}
Case decrypt(const std::string& name, const Bytes& in, const Bytes& key = kKey) {
  return Case(Decrypt(name.c_str(), in.data(), len(in), key.data(), kIv.data()));
}

// Runs a sequence over the pieces, collecting every step's output as a
// streaming caller does; the status of the first failing step, or 0.
using InitFn = CRYPTOCASE* (*)(const char*, const unsigned char*, const unsigned char*);
using UpdateFn = CRYPTOCASE* (*)(CRYPTOCASE*, const unsigned char*, int32_t);
using FinalFn = CRYPTOCASE* (*)(CRYPTOCASE*);

int32_t stream(InitFn init, UpdateFn update, FinalFn final, const std::string& name,
               const std::vector<Bytes>& pieces, Bytes& out) {
  Case rec(init(name.c_str(), kKey.data(), kIv.data()));
  if (rec->status != TESSEL_OK) return rec->status;
  for (const Bytes& piece : pieces) {
    if (update(rec.get(), piece.data(), len(piece))->status != TESSEL_OK) return rec->status;
    const Bytes part = data_of(rec.get());
    out.insert(out.end(), part.begin(), part.end());
  }
  if (final(rec.get())->status != TESSEL_OK) return rec->status;
  EXPECT_EQ(rec->cipher_ctx, nullptr) << "Final leaves no context behind";
  const Bytes part = data_of(rec.get());
  out.insert(out.end(), part.begin(), part.end());
  return TESSEL_OK;
}

std::vector<Bytes> split(const Bytes& m, std::size_t at, bool empty_middle) {
  std::vector<Bytes> pieces{Bytes(m.begin(), m.begin() + static_cast<long>(at))};
  if (empty_middle) pieces.emplace_back();
  pieces.emplace_back(m.begin() + static_cast<long>(at), m.end());
  return pieces;
}

class Cipher : public Tessel {};

TEST_F(Cipher, EveryBeltModeRoundTripsAtEveryLengthItAccepts) {
  for (const std::string& name : belt_names()) {
    // kwp wraps whole messages of 16 octets or more; ECB and CBC need one
    // block; CFB and CTR take anything.
    const bool stream_mode =
        name.find("cfb") != std::string::npos || name.find("ctr") != std::string::npos;
    for (std::size_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 48u, 100u}) {
      if (!stream_mode && n < 16) continue;
      SCOPED_TRACE(name + " length " + std::to_string(n));
      const Bytes plain = pattern(n);
      Case sealed = encrypt(name, plain);
      ASSERT_EQ(sealed->status, TESSEL_OK);
      EXPECT_EQ(sealed->data_len, static_cast<int32_t>(is_kwp(name) ? n + 16 : n));
      if (n >= 16) {
        EXPECT_NE(data_of(sealed.get()), plain);
      }
      Case opened = decrypt(name, data_of(sealed.get()));
      ASSERT_EQ(opened->status, TESSEL_OK);
      EXPECT_EQ(data_of(opened.get()), plain);
    }
  }
}

TEST_F(Cipher, StreamedSequenceEqualsOneShotAtEverySplitOfAHundredOctets) {
  const Bytes message = pattern(100, 9);
  std::vector<std::string> names = belt_names();
  names.push_back("aes-128-cbc");  // a padded mode whose update can outgrow its input
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Case whole = encrypt(name, message);
    ASSERT_EQ(whole->status, TESSEL_OK);
    const Bytes sealed = data_of(whole.get());
    for (std::size_t at = 0; at <= message.size(); ++at) {
      for (bool empty_middle : {false, true}) {
        SCOPED_TRACE("split at " + std::to_string(at) + (empty_middle ? " with empty update" : ""));
        Bytes out;
        ASSERT_EQ(stream(Encrypt_Init, Encrypt_Update, Encrypt_Final, name,
                         split(message, at, empty_middle), out),
                  TESSEL_OK);
        EXPECT_EQ(out, sealed);
        Bytes back;
        ASSERT_EQ(stream(Decrypt_Init, Decrypt_Update, Decrypt_Final, name,
                         split(sealed, at, empty_middle), back),
                  TESSEL_OK);
        EXPECT_EQ(back, message);
      }
    }
  }
}

TEST_F(Cipher, BeltCtrMatchesTheStandardsVectors) {
  const auto records =
      testsupport::records_of(testsupport::load_vectors("belt_modes.txt"), "belt-ctr");
  int checked = 0;
  for (const auto& r : records) {
    const Bytes key = r.bytes("key");
    if (key.size() != 32) continue;
    SCOPED_TRACE(r.where());
    const Bytes iv = r.bytes("iv"), pt = r.bytes("pt"), ct = r.bytes("ct");
    Case sealed(Encrypt("belt-ctr256", pt.data(), len(pt), key.data(), iv.data()));
    ASSERT_EQ(sealed->status, TESSEL_OK);
    EXPECT_EQ(to_hex(data_of(sealed.get())), to_hex(ct));
    Case opened(Decrypt("belt-ctr256", ct.data(), len(ct), key.data(), iv.data()));
    ASSERT_EQ(opened->status, TESSEL_OK);
    EXPECT_EQ(to_hex(data_of(opened.get())), to_hex(pt));
    ++checked;
  }
  EXPECT_GE(checked, 2);
}

TEST_F(Cipher, OneShotStatuses) {
  const struct {
    const char* name;
    std::size_t length;
    int32_t want;
  } cases[] = {
      {"belt-ecb128", 15, TESSEL_BAD_LENGTH},
      {"belt-ecb128", 16, TESSEL_OK},
      {"belt-cbc256", 15, TESSEL_BAD_LENGTH},
      {"belt-ecb192", 0, TESSEL_BAD_LENGTH},
      {"belt-ctr256", 1, TESSEL_OK},
      {"belt-cfb128", 0, TESSEL_OK},
      {"belt-kwp256", 15, TESSEL_FINAL_FAILED},
      {"belt-ctr512", 16, TESSEL_UNKNOWN_ALGORITHM},
      {"", 16, TESSEL_UNKNOWN_ALGORITHM},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.length));
    const Bytes in = pattern(c.length);
    EXPECT_EQ(encrypt(c.name, in)->status, c.want);
    EXPECT_EQ(decrypt(c.name, in)->status, c.want);
  }
  const Bytes in = pattern(16);
  EXPECT_EQ(Case(Encrypt(nullptr, in.data(), 16, kKey.data(), kIv.data()))->status,
            TESSEL_UNKNOWN_ALGORITHM);
  EXPECT_EQ(Case(Encrypt("belt-ctr256", in.data(), -1, kKey.data(), kIv.data()))->status,
            TESSEL_BAD_LENGTH);
  EXPECT_EQ(Case(Decrypt("belt-ctr256", nullptr, 5, kKey.data(), kIv.data()))->status,
            TESSEL_BAD_LENGTH);
  // A wrapped key whose integrity check fails does not come back.
  Case sealed = encrypt("belt-kwp256", pattern(32));
  ASSERT_EQ(sealed->status, TESSEL_OK);
  Bytes damaged = data_of(sealed.get());
  damaged[5] ^= 1;
  Case opened = decrypt("belt-kwp256", damaged);
  EXPECT_EQ(opened->status, TESSEL_FINAL_FAILED);
  EXPECT_EQ(opened->data, nullptr);
}

TEST_F(Cipher, SequenceStatusesAndReleasedContexts) {
  // A block mode cannot end a message shorter than a block.
  Case rec(Encrypt_Init("belt-ecb256", kKey.data(), kIv.data()));
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Bytes five = pattern(5);
  ASSERT_EQ(Encrypt_Update(rec.get(), five.data(), 5)->status, TESSEL_OK);
  EXPECT_EQ(rec->data_len, 0);  // held back until the end
  EXPECT_EQ(Encrypt_Final(rec.get())->status, TESSEL_FINAL_FAILED);
  EXPECT_EQ(rec->cipher_ctx, nullptr);
  // After the end, further steps find no context.
  EXPECT_EQ(Encrypt_Update(rec.get(), five.data(), 5)->status, TESSEL_UPDATE_FAILED);
  EXPECT_EQ(Encrypt_Final(rec.get())->status, TESSEL_FINAL_FAILED);

  // Malformed update input ends the sequence.
  Case bad(Decrypt_Init("belt-cfb256", kKey.data(), kIv.data()));
  EXPECT_EQ(Decrypt_Update(bad.get(), five.data(), -1)->status, TESSEL_UPDATE_FAILED);
  EXPECT_EQ(bad->cipher_ctx, nullptr);
  Case none(Decrypt_Init("belt-cfb256", kKey.data(), kIv.data()));
  EXPECT_EQ(Decrypt_Update(none.get(), nullptr, 3)->status, TESSEL_UPDATE_FAILED);

  Case unknown(Encrypt_Init("no-such-cipher", kKey.data(), kIv.data()));
  EXPECT_EQ(unknown->status, TESSEL_UNKNOWN_ALGORITHM);
  EXPECT_EQ(unknown->cipher_ctx, nullptr);
  // Known by name, but its implementation lives in a provider that is not
  // loaded: refused at Init.
  Case legacy(Encrypt_Init("bf-cbc", kKey.data(), kIv.data()));
  EXPECT_EQ(legacy->status, TESSEL_INIT_FAILED);
  EXPECT_EQ(legacy->cipher_ctx, nullptr);

  EXPECT_EQ(Encrypt_Update(nullptr, five.data(), 5), nullptr);
  EXPECT_EQ(Decrypt_Update(nullptr, five.data(), 5), nullptr);
  EXPECT_EQ(Encrypt_Final(nullptr), nullptr);
  EXPECT_EQ(Decrypt_Final(nullptr), nullptr);
}

TEST_F(Cipher, UnfinishedSequenceIsReleasedWithTheRecord) {
  // Leak checkers (sanitizer build, valgrind) watch this one.
  CRYPTOCASE* rec = Encrypt_Init("belt-cbc128", kKey.data(), kIv.data());
  ASSERT_EQ(rec->status, TESSEL_OK);
  const Bytes part = pattern(40);
  ASSERT_EQ(Encrypt_Update(rec, part.data(), len(part))->status, TESSEL_OK);
  CRYPTOCASE_free(rec);
}

}  // namespace
