// bign domain parameters in DER. Writers use the named form (the curve OID);
// readers also accept the specified ECParameters SEQUENCE and map it to the
// standard curve with the same numbers:
//   ECParameters ::= SEQUENCE { version INTEGER (1),
//     fieldID SEQUENCE { bign-primefield, INTEGER p },
//     curve SEQUENCE { a OCTET STRING, b OCTET STRING, seed BIT STRING (64) },
//     base OCTET STRING (yG), order INTEGER q, cofactor INTEGER (1) OPTIONAL }
// p and q are big-endian INTEGERs, a, b and yG little-endian octet strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stb/bign/curves.h"

namespace stb::openssl {

// The fields as the curve tables hold them: little-endian, size = l/4.
struct EcParams {
  unsigned level = 0;
  std::size_t size = 0;
  std::uint8_t p[bign::kMaxFieldSize] = {};
  std::uint8_t a[bign::kMaxFieldSize] = {};
  std::uint8_t b[bign::kMaxFieldSize] = {};
  std::uint8_t q[bign::kMaxFieldSize] = {};
  std::uint8_t y_g[bign::kMaxFieldSize] = {};
  std::uint8_t seed[8] = {};
  bool has_cofactor = false;
};

// Parses exactly one ECParameters (strict DER, nothing after it). The level
// comes from the length of p; the cofactor, when present, must be 1.
bool parse_ec_params(const std::uint8_t* der, std::size_t len, EcParams& out);

std::vector<std::uint8_t> encode_ec_params(const EcParams& params);

EcParams ec_params_of(const bign::Curve& curve, bool with_cofactor);

// The level of the standard curve with exactly these numbers, or 0.
unsigned standard_level(const EcParams& params);

// The level named by an AlgorithmIdentifier's parameters (type and value as
// X509_ALGOR_get0 gives them): a curve OID or the specified form of a
// standard curve. 0 for anything else (absent, NULL, unknown curves).
unsigned level_of_domain_params(int ptype, const void* pval);

}  // namespace stb::openssl
