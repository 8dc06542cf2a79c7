// The encryption and decryption sequences as one set of steps, shared by
// the exports of both directions and by the one-shot and composite calls.
#pragma once

#include <cstdint>

#include "libtessel/tessel.h"

namespace tessel {

enum class Direction { encrypt, decrypt };

// Init: record with cipher_ctx keyed for the direction (48, 21, 16).
CRYPTOCASE* cipher_init(Direction dir, const char* name, const unsigned char* key,
                        const unsigned char* iv);
// Update: data = this step's output (7, 17; the context goes on failure).
CRYPTOCASE* cipher_update(CRYPTOCASE* rec, const unsigned char* data, int32_t len);
// Final: data = the last output; the context goes in every outcome (18, 7).
CRYPTOCASE* cipher_final(CRYPTOCASE* rec);
// The whole message on a working record of its own; rec receives the
// status and, on success, the complete output in data.
void cipher_oneshot(Direction dir, CRYPTOCASE* rec, const char* name, const unsigned char* data,
                    int32_t len, const unsigned char* key, const unsigned char* iv);

}  // namespace tessel
