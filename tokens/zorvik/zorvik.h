/* libzorvik: the middleware of Zorvik2 soft tokens (the library the signing
 * program loads as zorvik.dll).
 *
 * Every call but ZORVIKCASE_free answers a heap ZORVIKCASE that the caller
 * releases with ZORVIKCASE_free (buffers are wiped first); a null answer
 * means the record itself could not be allocated. Strings are NUL-terminated
 * narrow text. A process holds at most one login at a time; the private part
 * of the user-data area (offsets below 3400) and the completion need it, the
 * owner record from 3400 on is readable without one.
 *
 * Passwords: Latin letters of both cases, digits, '_', '-' and '.', at least
 * one digit, 8 to 64 characters (enforced by ChangeUserPassword). A wrong
 * password bars every password for 5 seconds (ZORVIK_TRY_LATER, wait_ms);
 * 10 wrong passwords in a row lock the token until the token tool resets it. */
#ifndef TOKENS_ZORVIK_ZORVIK_H
#define TOKENS_ZORVIK_ZORVIK_H

#include <stdint.h>

#if defined(__GNUC__)
#define ZORVIK_API __attribute__((visibility("default")))
#else
#define ZORVIK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  ZORVIK_OK = 0,
  ZORVIK_FAILED = 1,             /* bad arguments, or an internal failure */
  ZORVIK_NO_TOKEN = 2,           /* no such token connected; GetSerialNumber: none */
  ZORVIK_NOT_LOGGED_IN = 3,      /* no login to this token in this process */
  ZORVIK_WRONG_PASSWORD = 4,     /* tries_left: wrong passwords left before the lock */
  ZORVIK_TRY_LATER = 5,          /* within 5 s of a wrong password; wait_ms: how long still */
  ZORVIK_LOCKED = 6,             /* 10 wrong passwords in a row; reset with the token tool */
  ZORVIK_PASSWORD_RULES = 7,     /* the new password breaks the rules */
  ZORVIK_OUT_OF_RANGE = 8,       /* ReadData outside the user-data area */
  ZORVIK_FOREIGN_SIGNATURE = 9,  /* not a detached SignedData of the token's certificate and key */
  ZORVIK_BAD_COMPLETION = 10,    /* the completion block is not the token's */
  ZORVIK_DAMAGED = 11            /* the token's files are unreadable or were altered */
};

/* The result record, fields in this order. */
typedef struct ZORVIKCASE {
  int32_t status;      /* ZORVIK_* */
  unsigned char* data; /* ReadData, ProcessP7S: the bytes, followed by a NUL byte */
  int32_t data_len;    /* without the NUL byte */
  int32_t wait_ms;     /* ZORVIK_TRY_LATER: milliseconds until a password is tried again */
  int32_t tries_left;  /* ZORVIK_WRONG_PASSWORD: wrong passwords left before the lock */
  char** serials;      /* GetSerialNumber: the connected Zorvik2 tokens, by serial */
  int32_t serial_count;
} ZORVIKCASE;

/* Opens the process's login to the token (ending any earlier one). */
ZORVIK_API ZORVIKCASE* AuthUser(const char* serial, const char* password);
/* Ends the login and wipes what it held; ZORVIK_NOT_LOGGED_IN when none. */
ZORVIK_API ZORVIKCASE* DeAuthUser(void);
/* length bytes of the user-data area from offset: the key block's length
 * field at 0 (block at 4), the certificate's at 400 (404), the completion
 * block's at 1900 (1904), the owner record's at 3400 (3404). */
ZORVIK_API ZORVIKCASE* ReadData(const char* serial, int32_t offset, int32_t length);
ZORVIK_API ZORVIKCASE* GetSerialNumber(void);
ZORVIK_API ZORVIKCASE* ChangeUserPassword(const char* serial, const char* old_password,
                                          const char* new_password);
/* Completes a pre-signature made with the logged-in token's key block and
 * certificate (a detached DER SignedData) with the certificates of the
 * token's completion block: data = the completed DER SignedData. */
ZORVIK_API ZORVIKCASE* ProcessP7S(const unsigned char* block, int32_t block_len,
                                  const unsigned char* p7s, int32_t p7s_len);
/* Wipes and releases the record; null is ignored. */
ZORVIK_API void ZORVIKCASE_free(ZORVIKCASE* record);

#ifdef __cplusplus
}
#endif

#endif
