/* libAvCryptMail: the Avest vendor library over the soft tokens (the library
 * the signing program loads as AvCryptMail.dll).
 *
 * AvCmLogin asks for the password itself, through a prompt program: the one
 * named by the environment variable AVCM_ASKPASS, or else tessel-askpass
 * beside this library. The prompt program gets one argument, the text to
 * show, and writes the password and a line feed to its standard output; an
 * exit status other than 0 means the person cancelled. The password never
 * appears on a command line or in the environment. */
#ifndef TOKENS_AVCRYPTMAIL_AVCRYPTMAIL_H
#define TOKENS_AVCRYPTMAIL_AVCRYPTMAIL_H

#include <stdint.h>

#if defined(__GNUC__)
#define AVCM_API __attribute__((visibility("default")))
#else
#define AVCM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define AVCM_OK 0u
#define AVCM_E_NOT_INITIALISED 0xE82A0001u /* AvCmInit(1) not called, or finished */
#define AVCM_E_BAD_PARAMETER 0xE82A0002u
#define AVCM_E_BAD_SESSION 0xE82A0003u     /* not a session of this library, or logged out */
#define AVCM_E_MORE_DATA 0xE82A0006u       /* AvCmSign: buffer too small, size needed given */
#define AVCM_E_NO_TOKEN 0xE82A0102u        /* no Avest token connected */
#define AVCM_E_WRONG_PASSWORD 0xE82A0104u  /* three wrong passwords in one login */
#define AVCM_E_LOCKED 0xE82A0105u          /* 10 wrong passwords in a row; the token tool resets it */
#define AVCM_E_TOKEN_DAMAGED 0xE82A0106u
#define AVCM_E_NO_PROMPT 0xE82A0107u       /* the prompt program cannot be run */
#define AVCM_E_CANCELLED 0xE82A010Bu       /* the person cancelled the password prompt */
#define AVCM_E_SIGN_FAILED 0xE82A0200u

/* AvCmInit modes. */
#define AVCM_INIT_START 1u
#define AVCM_INIT_FINISH 2u /* also ends every session still open */

/* AvCmSign flag bits; any other bit is refused (AVCM_E_BAD_PARAMETER). */
#define AVCM_SIGN_DETACHED 0x00000100u  /* the data is not included */
#define AVCM_SIGN_WITH_CERTS 0x00100000u /* the signer's certificate and its issuers included */
#define AVCM_SIGN_DER 0x02000000u       /* DER; without it PEM */

/* Starts (1) or finishes (2) the library; starts and finishes nest. */
AVCM_API uint32_t AvCmInit(uint32_t mode);
/* As AvCmInit; flags must be 0. */
AVCM_API uint32_t AvCmInitEx(uint32_t mode, uint32_t flags);
/* Logs in to the connected Avest token (the first by serial when there are
 * several), asking for its password through the prompt program, at most
 * three times. reserved1 and reserved2 must be null; mode is one of 0, 1, 8
 * and 9 (all log in the same way here). *session receives the session. */
AVCM_API uint32_t AvCmLogin(void* reserved1, void* reserved2, void** session, int32_t mode);
/* Ends the session and wipes what it held; flags must be 0. */
AVCM_API uint32_t AvCmLogout(void* session, uint32_t flags);
/* A CMS SignedData of the data with the session's key. On entry
 * *signature_len is the buffer's capacity, on success the bytes written;
 * AVCM_E_MORE_DATA with the size needed when the buffer is too small. */
AVCM_API uint32_t AvCmSign(void* session, const unsigned char* data, uint32_t data_len,
                           uint32_t flags, unsigned char* signature, uint32_t* signature_len);

#ifdef __cplusplus
}
#endif

#endif
