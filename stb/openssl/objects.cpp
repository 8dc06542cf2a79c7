#include "stb/openssl/objects.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <cstring>
#include <iterator>

namespace stb::openssl {
namespace {

#define BELT "1.2.112.0.2.0.34.101.31."
#define BRNG "1.2.112.0.2.0.34.101.47."
#define BASH "1.2.112.0.2.0.34.101.77."
#define BIGN "1.2.112.0.2.0.34.101.45."

constexpr ObjectInfo kObjects[] = {
    {BELT "11", "belt-ecb128", "belt encryption in ECB mode, 128-bit key"},
    {BELT "12", "belt-ecb192", "belt encryption in ECB mode, 192-bit key"},
    {BELT "13", "belt-ecb256", "belt encryption in ECB mode, 256-bit key"},
    {BELT "21", "belt-cbc128", "belt encryption in CBC mode, 128-bit key"},
    {BELT "22", "belt-cbc192", "belt encryption in CBC mode, 192-bit key"},
    {BELT "23", "belt-cbc256", "belt encryption in CBC mode, 256-bit key"},
    {BELT "31", "belt-cfb128", "belt encryption in CFB mode, 128-bit key"},
    {BELT "32", "belt-cfb192", "belt encryption in CFB mode, 192-bit key"},
    {BELT "33", "belt-cfb256", "belt encryption in CFB mode, 256-bit key"},
    {BELT "41", "belt-ctr128", "belt encryption in CTR mode, 128-bit key"},
    {BELT "42", "belt-ctr192", "belt encryption in CTR mode, 192-bit key"},
    {BELT "43", "belt-ctr256", "belt encryption in CTR mode, 256-bit key"},
    {BELT "51", "belt-mac128", "belt MAC, 128-bit key"},
    {BELT "52", "belt-mac192", "belt MAC, 192-bit key"},
    {BELT "53", "belt-mac256", "belt MAC, 256-bit key"},
    {BELT "61", "belt-dwp128", "belt authenticated encryption (DWP), 128-bit key"},
    {BELT "62", "belt-dwp192", "belt authenticated encryption (DWP), 192-bit key"},
    {BELT "63", "belt-dwp256", "belt authenticated encryption (DWP), 256-bit key"},
    {BELT "64", "belt-che128", "belt authenticated encryption (CHE), 128-bit key"},
    {BELT "65", "belt-che192", "belt authenticated encryption (CHE), 192-bit key"},
    {BELT "66", "belt-che256", "belt authenticated encryption (CHE), 256-bit key"},
    {BELT "71", "belt-kwp128", "belt key wrapping, 128-bit key"},
    {BELT "72", "belt-kwp192", "belt key wrapping, 192-bit key"},
    {BELT "73", "belt-kwp256", "belt key wrapping, 256-bit key"},
    {BELT "81", kBeltHash, "belt hashing"},
    {BELT "91", "belt-keyexpand", "belt key expansion"},
    {BELT "101", "belt-keyrep", "belt key conversion"},
    {BRNG "12", kHmacHbelt, "HMAC with belt-hash"},
    {BRNG "22", "brng-ctr-hbelt", "brng counter generator with belt-hash"},
    {BRNG "32", "brng-hmac-hbelt", "brng HMAC generator with belt-hash"},
    {BASH "11", kBash256, "bash hashing, 256-bit output"},
    {BASH "12", kBash384, "bash hashing, 384-bit output"},
    {BASH "13", kBash512, "bash hashing, 512-bit output"},
    // Further arcs of the same families, so that they print by name.
    {BELT "3", "belt-block128", "belt block encryption, 128-bit key"},
    {BELT "4", "belt-block192", "belt block encryption, 192-bit key"},
    {BELT "5", "belt-block256", "belt block encryption, 256-bit key"},
    {BELT "6", "belt-wblock128", "belt wide-block encryption, 128-bit key"},
    {BELT "7", "belt-wblock192", "belt wide-block encryption, 192-bit key"},
    {BELT "8", "belt-wblock256", "belt wide-block encryption, 256-bit key"},
    {BELT "9", "belt-compress", "belt compression"},
    {BRNG "11", "hmac-hspec", "HMAC with hspec"},
    {BRNG "21", "brng-ctr-hspec", "brng counter generator with hspec"},
    {BRNG "31", "brng-hmac-hspec", "brng HMAC generator with hspec"},
    // bign: the key type, its curves and the signature and key transport
    // algorithms that go with it.
    {BIGN "2.1", kBignPubkey, "bign public key"},
    {BIGN "3.1", kBignCurve256, "bign curve, 256-bit field"},
    {BIGN "3.2", kBignCurve384, "bign curve, 384-bit field"},
    {BIGN "3.3", kBignCurve512, "bign curve, 512-bit field"},
    {BIGN "4.1", kBignPrimefield, "bign prime field"},
    {BIGN "11", kBignWithHspec, "bign signature with a named hash"},
    {BIGN "12", kBignWithHbelt, "bign signature with belt-hash"},
    {BIGN "13", kBignWithBash256, "bign signature with bash256"},
    {BIGN "14", kBignWithBash384, "bign signature with bash384"},
    {BIGN "15", kBignWithBash512, "bign signature with bash512"},
    {BIGN "41", kBignKeytransport, "bign key transport"},
    {BIGN "21", "bign-genec", "bign curve generation"},
    {BIGN "22", "bign-valec", "bign curve validation"},
    {BIGN "31", "bign-genkeypair", "bign key pair generation"},
    {BIGN "32", "bign-valpubkey", "bign public key validation"},
    {BIGN "61", "bign-genk", "bign one-time key generation"},
};

#undef BELT
#undef BRNG
#undef BASH
#undef BIGN

// The NID of a dotted OID if OpenSSL already knows it, by number only.
int existing_nid(const char* oid) {
  ASN1_OBJECT* obj = OBJ_txt2obj(oid, 1);
  if (obj == nullptr) return NID_undef;
  const int nid = OBJ_obj2nid(obj);
  ASN1_OBJECT_free(obj);
  return nid;
}

bool create_object(const ObjectInfo& info) {
  const int nid = existing_nid(info.oid);
  if (nid != NID_undef) {
    const char* sn = OBJ_nid2sn(nid);
    return sn != nullptr && std::strcmp(sn, info.short_name) == 0;
  }
  // The name must not belong to some other identifier.
  if (OBJ_sn2nid(info.short_name) != NID_undef) return false;
  // A taken long name only costs readability: fall back to the short one.
  const char* ln = OBJ_ln2nid(info.long_name) == NID_undef ? info.long_name : info.short_name;
  return OBJ_create(info.oid, info.short_name, ln) != NID_undef;
}

}  // namespace

const ObjectInfo* objects_begin() {
  return std::begin(kObjects);
}
const ObjectInfo* objects_end() {
  return std::end(kObjects);
}

bool create_objects() {
  bool ok = true;
  for (const ObjectInfo& info : kObjects) ok = create_object(info) && ok;
  return ok;
}

int nid_of(const char* short_name) {
  return OBJ_sn2nid(short_name);
}

}  // namespace stb::openssl
