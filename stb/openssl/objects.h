// The object identifiers of the national algorithms, with the short names
// OpenSSL knows them by. OpenSSL hands out numeric ids (NIDs) at run time, so
// every other part of the binding finds its NID by short name.
#pragma once

namespace stb::openssl {

// Short names used across the binding.
inline constexpr char kBeltHash[] = "belt-hash";
inline constexpr char kHmacHbelt[] = "hmac-hbelt";
inline constexpr char kBash256[] = "bash256";
inline constexpr char kBash384[] = "bash384";
inline constexpr char kBash512[] = "bash512";
inline constexpr char kBignPubkey[] = "bign-pubkey";
inline constexpr char kBignCurve256[] = "bign-curve256v1";
inline constexpr char kBignCurve384[] = "bign-curve384v1";
inline constexpr char kBignCurve512[] = "bign-curve512v1";
inline constexpr char kBignPrimefield[] = "bign-primefield";
inline constexpr char kBignWithHspec[] = "bign-with-hspec";
inline constexpr char kBignWithHbelt[] = "bign-with-hbelt";
inline constexpr char kBignWithBash256[] = "bign-with-bash256";
inline constexpr char kBignWithBash384[] = "bign-with-bash384";
inline constexpr char kBignWithBash512[] = "bign-with-bash512";
inline constexpr char kBignKeytransport[] = "bign-keytransport";

struct ObjectInfo {
  const char* oid;
  const char* short_name;
  const char* long_name;
};

// Every identifier the binding creates, in a fixed order.
const ObjectInfo* objects_begin();
const ObjectInfo* objects_end();

// Creates the identifiers that OpenSSL does not know yet. An identifier that
// already exists (say, from the configuration file) must carry our short name;
// false otherwise, or when OpenSSL refuses one. Not thread-safe: the caller
// runs it once.
bool create_objects();

// NID by short name; NID_undef (0) before create_objects().
int nid_of(const char* short_name);

}  // namespace stb::openssl
