// The library calls over the national algorithms, secrets marked: key
// generation, detached signatures, key tokens, belt encryption in every mode,
// belt-mac and hmac-hbelt, the brng generators, key expansion and
// conversion.
#include <algorithm>
#include <string>

#include "cases.h"
#include "libtessel/tessel.h"
#include "marks.h"

namespace ct {
namespace {

// Runs a call, takes its record's status and releases it.
int status_of(CRYPTOCASE* r) {
  const int s = r != nullptr ? static_cast<int>(r->status) : -1;
  CRYPTOCASE_free(r);
  return s;
}

int len(const Bytes& b) {
  return static_cast<int>(b.size());
}

// The password of the protected keys, marked secret (not its end: a C
// string's length is found by looking for the end).
char g_password[] = "correct horse battery";

struct KeyPair {
  Bytes pem;  // PKCS#8 PEM, not encrypted
  Bytes public_pem;
};

// Key pairs made by the library: from its random numbers (marked), written
// plain and under the marked password; and from given private key octets
// (marked). The plain PEM goes on to the signing and token calls. OpenSSL
// reads PEM through a base64 table, and memcheck takes a value loaded from a
// table as public: in those calls the private key is traced only up to
// OpenSSL's decoder (the signing and token code itself is traced with the
// key marked in the stb part of the checker).
KeyPair key_pair(int level) {
  CRYPTOCASE* r = GenPrivateKey(level, nullptr, nullptr, 0);
  expect(r != nullptr && r->status == 0, "GenPrivateKey");
  reveal(r->key, static_cast<std::size_t>(r->key_len));
  KeyPair kp;
  kp.pem.assign(r->key, r->key + r->key_len);
  kp.public_pem.assign(r->public_key, r->public_key + r->public_key_len);
  CRYPTOCASE_free(r);

  secret(g_password, sizeof g_password - 1);
  expect(status_of(GenPrivateKey(level, g_password, nullptr, 0)) == 0, "GenPrivateKey, password");
  Bytes d = filled(static_cast<std::size_t>(level) / 4, 19);
  secret(d);
  expect(status_of(SetPrivateKey(level, g_password, d.data(), len(d))) == 0, "SetPrivateKey");
  reveal(g_password, sizeof g_password);
  return kp;
}

void keys_signatures_tokens() {
  for (const int level : {128, 256}) {
    const KeyPair kp = key_pair(level);
    Bytes msg = filled(100, 1);
    CRYPTOCASE* sig = CreateSign(msg.data(), len(msg), kp.pem.data(), len(kp.pem), nullptr);
    expect(sig != nullptr && sig->status == 0, "CreateSign");
    expect(status_of(VerifySign(msg.data(), len(msg), kp.public_pem.data(), len(kp.public_pem),
                                sig->signature, sig->signature_len)) == 0,
           "VerifySign");
    CRYPTOCASE_free(sig);

    Bytes key = filled(32, 2), header = filled(16, 3);
    secret(key);
    CRYPTOCASE* token =
        CreateToken(key.data(), len(key), kp.public_pem.data(), len(kp.public_pem), header.data());
    expect(token != nullptr && token->status == 0, "CreateToken");
    CRYPTOCASE* back = DecodeToken(token->token, token->token_len, header.data(), kp.pem.data(),
                                   len(kp.pem), nullptr);
    expect(back != nullptr && back->status == 0, "DecodeToken");
    reveal(back->key, static_cast<std::size_t>(back->key_len));
    reveal(key);
    expect(Bytes(back->key, back->key + back->key_len) == key, "token round trip");
    CRYPTOCASE_free(back);
    CRYPTOCASE_free(token);
  }
}

void encryption() {
  for (const char* name : {"belt-ecb256", "belt-cbc128", "belt-cfb256", "belt-ctr192"}) {
    const std::string n(name);
    Bytes key = filled(n.ends_with("128") ? 16 : n.ends_with("192") ? 24 : 32, 4);
    Bytes iv = filled(16, 5), pt = filled(1000, 6);
    secret(key);
    secret(pt);
    CRYPTOCASE* ct = Encrypt(name, pt.data(), len(pt), key.data(), iv.data());
    expect(ct != nullptr && ct->status == 0, name);
    CRYPTOCASE* back = Decrypt(name, ct->data, ct->data_len, key.data(), iv.data());
    expect(back != nullptr && back->status == 0, name);
    CRYPTOCASE_free(back);
    CRYPTOCASE_free(ct);
  }
}

void macs_generators_keys() {
  Bytes key = filled(32, 7), data = filled(300, 8), start = filled(32, 9);
  secret(key);
  secret(data);
  secret(start);
  expect(status_of(CreateMac(data.data(), len(data), key.data(), len(key))) == 0, "CreateMac");
  expect(status_of(CreateHmac(data.data(), len(data), key.data(), len(key))) == 0, "CreateHmac");
  expect(status_of(GenRandomCTR(3, key.data(), start.data())) == 0, "GenRandomCTR");
  expect(status_of(GenRandomHMAC(3, key.data(), len(key), start.data(), 20)) == 0,
         "GenRandomHMAC");
  expect(status_of(KeyExpansion(key.data(), 16)) == 0, "KeyExpansion");
  Bytes level = filled(12, 10), header = filled(16, 11);
  expect(status_of(KeyConversion(key.data(), 32, level.data(), header.data(), 24)) == 0,
         "KeyConversion");
}

}  // namespace

const Case kTesselCases[] = {
    {"GenPrivateKey, SetPrivateKey, CreateSign, CreateToken, DecodeToken",
     keys_signatures_tokens},
    {"Encrypt, Decrypt", encryption},
    {"CreateMac, CreateHmac, GenRandomCTR/HMAC, KeyExpansion, KeyConversion",
     macs_generators_keys},
    {nullptr, nullptr},
};

}  // namespace ct
