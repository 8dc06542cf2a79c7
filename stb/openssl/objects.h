// The object identifiers of the symmetric algorithms, with the short names
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
