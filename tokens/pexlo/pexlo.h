/* libPexlo: the token-specific signing steps (the library the signing program
 * loads as Pexlo.dll). Strings are NUL-terminated narrow text. */
#ifndef TOKENS_PEXLO_PEXLO_H
#define TOKENS_PEXLO_PEXLO_H

#include <stdint.h>

#if defined(__GNUC__)
#define PEXLO_API __attribute__((visibility("default")))
#else
#define PEXLO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  PEXLO_OK = 0,
  PEXLO_SIGN_PROGRAM_MISSING = 1, /* sign_Zorvik: no executable Signkit/sign below the folder,
                                     or the folder is not absolute */
  PEXLO_FAILED = 2,               /* bad arguments, or the sign program failed otherwise */
  PEXLO_TOO_SMALL = 3,            /* the result does not fit the caller's capacity */
  PEXLO_NO_TOKEN = 37,            /* sign_Zorvik: no first-generation token connected */
  PEXLO_WRONG_PASSWORD = 38,      /* sign_Zorvik */
  PEXLO_KEY_EXPIRED = 40          /* sign_Zorvik: the token's certificate has expired */
};

/* The vendor's signing function as sign_Avest calls it (AvCmSign of
 * libAvCryptMail): on entry *signature_len is the buffer's capacity, on
 * success the bytes written. PEXLO_AVCM_MORE_DATA with the size needed in
 * *signature_len when the buffer is too small. */
typedef uint32_t (*PEXLO_AVCMSIGN)(void* session, const unsigned char* data, uint32_t data_len,
                                   uint32_t flags, unsigned char* signature,
                                   uint32_t* signature_len);
#define PEXLO_AVCM_MORE_DATA 0xE82A0006u

/* Runs <folder>/Signkit/sign <data_path> (folder absolute, ending with '/' or not) with
 * the password on its standard input, never on its command line or in its
 * environment. 0 when the signature has been appended to the file; 1, 37, 38,
 * 40 as above; PEXLO_FAILED for any other outcome of the sign program. */
PEXLO_API int32_t sign_Zorvik(const char* folder, const char* data_path, const char* password);

/* Copies the completed CMS into output. On entry *output_len is the
 * capacity, on return the bytes written: 0 with PEXLO_TOO_SMALL when the CMS
 * does not fit (nothing is written then). */
PEXLO_API int32_t sign_Zorvik2(const unsigned char* cms, int32_t cms_len, unsigned char* output,
                               uint32_t* output_len);

/* Signs data through the vendor's function with the session and the flag
 * word, and copies the signature into output within its capacity as
 * sign_Zorvik2 does. 0, the vendor's nonzero result, PEXLO_TOO_SMALL or
 * PEXLO_FAILED; *output_len is 0 on every failure. */
PEXLO_API uint32_t sign_Avest(PEXLO_AVCMSIGN sign, void* session, const unsigned char* data,
                              uint32_t data_len, unsigned char* output, uint32_t* output_len,
                              uint32_t flags);

#ifdef __cplusplus
}
#endif

#endif
