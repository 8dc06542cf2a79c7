/* The national-algorithm extension as a C interface: the extra functions the
 * library calls besides OpenSSL's by-name lookups, and the registration of the
 * belt, bash, brng and bign algorithms into OpenSSL.
 *
 * Lengths are in octets. Functions that return int answer 0 on success
 * (STB_register aside). */
#ifndef STB_STB_H
#define STB_STB_H

#include <openssl/types.h>
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
int belt_mac(const unsigned char* data, size_t data_len, const unsigned char* key, size_t key_len,
             unsigned char* out);

/* hmac-hbelt: 32 octets into out. Any key length. */
int hmac_hbelt(const unsigned char* data, size_t data_len, const unsigned char* key, size_t key_len,
               unsigned char* out);

/* brng-ctr-hbelt: n blocks. key and start have 32 octets; in holds in_len =
 * n * 32 input octets; out receives n * 32 octets. */
int brng_ctr_hbelt(size_t n, const unsigned char* key, const unsigned char* start,
                   const unsigned char* in, size_t in_len, unsigned char* out);

/* brng-hmac-hbelt: n * 32 octets into out, from a key and a start value of
 * any length. */
int brng_hmac_hbelt(size_t n, const unsigned char* key, size_t key_len, const unsigned char* start,
                    size_t start_len, unsigned char* out);

/* bign keys (STB 34.101.45) are EVP_PKEYs of type "bign-pubkey" (after
 * STB_register). The level l (128, 192 or 256) comes from the key's
 * parameters, one of the curves
 *   "1.2.112.0.2.0.34.101.45.3.1" (l = 128), "...45.3.2" (192), "...45.3.3" (256).
 * A private key has l/4 octets, a public key (x || y) l/2, both
 * little-endian as the standard writes them. EVP_PKEY_get_bits answers 2l,
 * EVP_PKEY_get_raw_private_key / _public_key give the same octets as the
 * accessors below. */

/* The key's curve identifier (dotted, static storage), or NULL when key is
 * no bign key or has no parameters. */
const char* BIGN_get_params(const EVP_PKEY* key);

/* Copies the private key (l/4 octets) or public key (l/2 octets) into out,
 * which holds out_len octets; answers the number of octets copied, 0 when the
 * key lacks that part or out is too small. out NULL: answers the length
 * without copying. */
size_t BIGN_get_privkey(const EVP_PKEY* key, unsigned char* out, size_t out_len);
size_t BIGN_get_pubkey(const EVP_PKEY* key, unsigned char* out, size_t out_len);

/* Gives key the standard parameters named by curve: a curve identifier
 * (dotted), a curve name ("bign-curve256v1") or "A"/"B"/"C". key may be an
 * empty EVP_PKEY (it becomes a bign key without key material) or a bign key
 * already on that curve (nothing changes). 0 = loaded; nonzero for an
 * unknown curve, another curve than the key has, or another key type. */
int BIGN_load_std_params(EVP_PKEY* key, const char* curve);

/* Derives a key pair from src_len source octets and sets it into key, which
 * must have parameters: the private key is the first l/4-octet piece of src
 * (offsets 0, l/4, ...) that lies in 1..q-1, so l/4 octets in range are the
 * private key itself. privkey (l/4 octets) and pubkey (l/2 octets) receive
 * the pair unless NULL. 0 = done; nonzero when no piece is usable (key
 * unchanged). */
int BIGN_gen_keypair(EVP_PKEY* key, unsigned char* privkey, unsigned char* pubkey,
                     const unsigned char* src, size_t src_len);

/* Wraps secret (secret_len >= 16 octets) with the 16-octet header for the
 * recipient whose public key pubkey (l/2 octets) is on key's curve (NULL: the
 * public key of key itself). The one-time key is taken from the 64 octets of
 * rand by the same rule as above (NULL: OpenSSL's generator). token receives
 * secret_len + 16 + l/4 octets. header NULL means 16 zero octets. 0 = written,
 * nonzero otherwise (bad arguments, invalid public key, unusable rand). */
int BIGN_create_token(const EVP_PKEY* key, const unsigned char* pubkey, const unsigned char* secret,
                      size_t secret_len, const unsigned char* header, const unsigned char* rand,
                      unsigned char* token);

/* Opens a token with the 16-octet header (NULL: zeros) and the private key
 * privkey (l/4 octets; NULL: that of key itself) on key's curve. out receives
 * token_len - 16 - l/4 octets. 0 = opened; 1 = malformed (too short, no
 * point, unusable arguments or key); 2 = wrong header or wrong private key
 * (or a damaged token); out is wiped unless 0. */
int BIGN_decode_token(const EVP_PKEY* key, const unsigned char* token, size_t token_len,
                      const unsigned char* header, const unsigned char* privkey,
                      unsigned char* out);

#ifdef __cplusplus
}
#endif

#endif /* STB_STB_H */
