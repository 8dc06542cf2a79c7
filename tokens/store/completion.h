#pragma once
// Completing a signature with what the token holds: the completion block is a
// DER certificate bundle (PKCS#7 without signers) of the issuing certificates,
// which are added to the SignedData so that a verifier builds the chain from
// the signature and the root certificate alone.

#include <optional>
#include <span>
#include <vector>

#include "tokens/store/secret_bytes.h"

namespace tokens {

enum class CompletionError {
  kNone,
  kNotSignedData,  // not a DER CMS SignedData
  kNotDetached,
  kForeignSigner,  // not exactly one signer, or not the token's certificate and key
  kBadBlock,       // the completion block is no certificate bundle
};

struct Completion {
  CompletionError error = CompletionError::kNone;
  Bytes cms;  // DER
};

// The pre-signature must be a detached DER SignedData with one signer, named
// by own_certificate (DER) and whose signature over its signed attributes
// verifies with that certificate's key. The result carries the signer's and
// the block's certificates.
Completion CompletePreSignature(std::span<const unsigned char> pre_signature,
                                std::span<const unsigned char> block,
                                std::span<const unsigned char> own_certificate);

// Adds the block's certificates to a SignedData the caller made itself.
Completion AddBlockCertificates(std::span<const unsigned char> cms,
                                std::span<const unsigned char> block);

// A completion block of the certificates (DER or PEM each).
std::optional<Bytes> MakeCompletionBlock(const std::vector<Bytes>& certificates);

}  // namespace tokens
