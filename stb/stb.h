/* The national-algorithm extension as a C interface: the extra functions the
 * library calls besides OpenSSL's by-name lookups, and the registration of the
 * belt, bash, brng and bign algorithms into OpenSSL.
 *
 * Lengths are in octets. Functions that return int answer 0 on success. */
#ifndef STB_STB_H
#define STB_STB_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Registers the algorithms into OpenSSL (object identifiers, ciphers,
 * digests, key types) through the extension's ENGINE. Runs once, safely from
 * any number of threads; later calls only answer. 1 = registered. */
int STB_register(void);

/* belt-keyexpand: key of 16, 24 or 32 octets -> 32 octets. */
int BELT_keyexpand(unsigned char* out, const unsigned char* key, size_t key_len);

/* belt-keyrep: converts key (16, 24 or 32 octets) at the 12-octet level and
 * under the 16-octet header into out_len (16, 24 or 32, <= key_len) octets. */
int BELT_keyrep(const unsigned char* key, size_t key_len, const unsigned char* level,
                const unsigned char* header, size_t out_len, unsigned char* out);

/* belt-mac: 8 octets into out. The key has 16, 24 or 32 octets. */
int belt_mac(const unsigned char* data, size_t data_len, const unsigned char* key,
             size_t key_len, unsigned char* out);

/* hmac-hbelt: 32 octets into out. Any key length. */
int hmac_hbelt(const unsigned char* data, size_t data_len, const unsigned char* key,
               size_t key_len, unsigned char* out);

/* brng-ctr-hbelt: n blocks. key and start have 32 octets; in holds in_len =
 * n * 32 input octets; out receives n * 32 octets. */
int brng_ctr_hbelt(size_t n, const unsigned char* key, const unsigned char* start,
                   const unsigned char* in, size_t in_len, unsigned char* out);

/* brng-hmac-hbelt: n * 32 octets into out, from a key and a start value of
 * any length. */
int brng_hmac_hbelt(size_t n, const unsigned char* key, size_t key_len,
                    const unsigned char* start, size_t start_len, unsigned char* out);

#ifdef __cplusplus
}
#endif

#endif /* STB_STB_H */
