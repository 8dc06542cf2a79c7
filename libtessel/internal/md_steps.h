// Steps shared by the digest, sign and verify sequences, which all keep an
// OpenSSL digest context in md_ctx.
#pragma once

#include <cstdint>

#include "libtessel/tessel.h"

namespace tessel {

// The one update step of the three families: 17 (context released) when the
// record has no context left, the input is malformed or OpenSSL refuses.
CRYPTOCASE* md_update(CRYPTOCASE* rec, const unsigned char* data, int32_t len);

}  // namespace tessel
