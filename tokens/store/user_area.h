#pragma once
// The token's user-data area: four blocks, each after a length field of four
// hexadecimal characters. The first 3400 bytes (key, certificate, completion
// block) are the private part, sealed under the password; the owner record
// from 3400 on is the public part, which the token shows before a login so
// that a person can tell tokens apart.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "tokens/store/secret_bytes.h"

namespace tokens {

inline constexpr int32_t kKeyLengthAt = 0;
inline constexpr int32_t kCertificateLengthAt = 400;
inline constexpr int32_t kCompletionLengthAt = 1900;
inline constexpr int32_t kOwnerLengthAt = 3400;
inline constexpr int32_t kLengthFieldSize = 4;
inline constexpr int32_t kPrivateAreaSize = kOwnerLengthAt;
inline constexpr std::size_t kMaxOwnerRecord = 4096;

// The key block's own password: the signing program passes this fixed value.
inline constexpr char kKeyBlockPassword[] = "58203174";

struct AreaBlocks {
  SecretString key_pem;  // PKCS#8 PEM under kKeyBlockPassword
  Bytes certificate;     // the token's certificate, DER
  Bytes completion;      // the issuing certificates, a DER certificate bundle
};

// The private part; nothing when a block does not fit before the next field.
std::optional<SecretBytes> BuildPrivateArea(const AreaBlocks& blocks);
// The public part: the owner record after its length field.
std::optional<Bytes> BuildPublicArea(std::string_view owner_record);

// The block whose length field starts at length_at: nothing when the field is
// not hexadecimal text or the block runs past its slot or the area; empty for
// a length of 0 (a blank token).
std::optional<std::span<const unsigned char>> ReadBlock(std::span<const unsigned char> area,
                                                        int32_t length_at);

// The owner record of a public part (as BuildPublicArea lays it out).
std::optional<std::string_view> OwnerRecordOf(std::span<const unsigned char> public_area);

// The three private blocks of a logged-in token, for the components that sign.
std::optional<AreaBlocks> BlocksOf(std::span<const unsigned char> area);

}  // namespace tokens
