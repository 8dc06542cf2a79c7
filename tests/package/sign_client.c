/* A developer's first program against the installed library: only
 * <libtessel/tessel.h> and `pkg-config --cflags --libs libtessel`. It hashes
 * the empty message (the standard's bash256 vector), makes a bign key pair,
 * signs a text, verifies the signature and sees a changed text refused. */
#include <libtessel/tessel.h>
#include <stdio.h>
#include <string.h>

static const unsigned char kEmptyBash256[32] = {
    0x11, 0x4C, 0x3D, 0xFA, 0xE3, 0x73, 0xD9, 0xBC, 0xBC, 0x36, 0x02, 0xD6, 0x38, 0x6F, 0x2D, 0x6A,
    0x20, 0x59, 0xBA, 0x1B, 0xF9, 0x04, 0x8D, 0xBA, 0xA5, 0x14, 0x6A, 0x6C, 0xB7, 0x75, 0x70, 0x9D};

static int check(const char* step, const CRYPTOCASE* record, int32_t expected) {
  const int32_t status = record == NULL ? -1 : record->status;
  if (status == expected) return 1;
  fprintf(stderr, "sign_client: %s answered status %d, expected %d\n", step, (int)status,
          (int)expected);
  return 0;
}

int main(void) {
  static const unsigned char text[] = "payment order 42";
  static const unsigned char changed[] = "payment order 43";
  const int32_t len = (int32_t)(sizeof text - 1);
  int ok;
  CRYPTOCASE* digest = CreateDigest("bash256", text, 0);
  CRYPTOCASE* key = GenPrivateKey(128, "pass phrase", NULL, 0);
  CRYPTOCASE* sig = NULL;
  CRYPTOCASE* good = NULL;
  CRYPTOCASE* bad = NULL;
  ok = check("CreateDigest", digest, TESSEL_OK) && digest->digest_len == 32 &&
       memcmp(digest->digest, kEmptyBash256, 32) == 0;
  if (!ok) fprintf(stderr, "sign_client: bash256 of the empty message is not the standard's\n");
  ok = ok && check("GenPrivateKey", key, TESSEL_OK);
  if (ok) sig = CreateSign(text, len, key->key, key->key_len, "pass phrase");
  ok = ok && check("CreateSign", sig, TESSEL_OK);
  if (ok) {
    good = VerifySign(text, len, key->public_key, key->public_key_len, sig->signature,
                      sig->signature_len);
    bad = VerifySign(changed, len, key->public_key, key->public_key_len, sig->signature,
                     sig->signature_len);
  }
  ok = ok && check("VerifySign of the signed text", good, TESSEL_OK) &&
       check("VerifySign of a changed text", bad, TESSEL_VERIFY_FAILED);
  CRYPTOCASE_free(bad);
  CRYPTOCASE_free(good);
  CRYPTOCASE_free(sig);
  CRYPTOCASE_free(key);
  CRYPTOCASE_free(digest);
  if (ok) printf("signed and verified %d octets\n", (int)len);
  return ok ? 0 : 1;
}
