/* The token components through their C interfaces, from C: the demo tokens
 * of the token tool, a Zorvik2 login, reads and completion, the hand-overs of
 * libPexlo, and an Avest signature through a scripted prompt. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "libtessel/tessel.h"
#include "tokens/avcryptmail/avcryptmail.h"
#include "tokens/pexlo/pexlo.h"
#include "tokens/zorvik/zorvik.h"

#define CHECK(condition)                                         \
  do {                                                           \
    if (!(condition)) {                                          \
      fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition); \
      return 1;                                                  \
    }                                                            \
  } while (0)

static const char kPassword[] = "Demo-Pass1";
static const unsigned char kContent[] = "payment order";

/* One block of the user-data area, read as the signing program reads it. */
static ZORVIKCASE* read_block(const char* serial, int32_t length_at) {
  ZORVIKCASE* field = ReadData(serial, length_at, 4);
  int32_t length = field->status == ZORVIK_OK ? (int32_t)strtol((char*)field->data, NULL, 16) : 0;
  ZORVIKCASE_free(field);
  return ReadData(serial, length_at + 4, length);
}

int main(void) {
  char folder[] = "/tmp/tessel-c-client-XXXXXX";
  char command[512];
  CHECK(mkdtemp(folder) != NULL);
  CHECK(setenv("XDG_DATA_HOME", folder, 1) == 0);
  snprintf(command, sizeof command, "%s/tessel-token --demo > /dev/null", TOKENS_COMPONENTS_DIR);
  CHECK(system(command) == 0);

  ZORVIKCASE* list = GetSerialNumber();
  CHECK(list->status == ZORVIK_OK && list->serial_count == 1);
  char serial[64];
  snprintf(serial, sizeof serial, "%s", list->serials[0]);
  ZORVIKCASE_free(list);

  ZORVIKCASE* login = AuthUser(serial, "Wrong-Pass9");
  CHECK(login->status == ZORVIK_WRONG_PASSWORD);
  ZORVIKCASE_free(login);
  login = AuthUser(serial, kPassword);
  CHECK(login->status == ZORVIK_TRY_LATER && login->wait_ms > 0 && login->wait_ms <= 5000);
  usleep((useconds_t)login->wait_ms * 1000u);
  ZORVIKCASE_free(login);
  login = AuthUser(serial, kPassword);
  CHECK(login->status == ZORVIK_OK);
  ZORVIKCASE_free(login);

  ZORVIKCASE* key = read_block(serial, 0);
  ZORVIKCASE* cert = read_block(serial, 400);
  ZORVIKCASE* block = read_block(serial, 1900);
  ZORVIKCASE* owner = read_block(serial, 3400);
  CHECK(key->status == 0 && cert->status == 0 && block->status == 0 && owner->status == 0);
  CHECK(strstr((char*)owner->data, "\"surname\":\"Иванова\"") != NULL);
  CRYPTOCASE* pre = CreateSignP7S(kContent, (int32_t)sizeof kContent, key->data, key->data_len,
                                  "58203174", cert->data, cert->data_len, 1, 16);
  CHECK(pre->status == 0);
  ZORVIKCASE* done = ProcessP7S(block->data, block->data_len, pre->data, pre->data_len);
  CHECK(done->status == ZORVIK_OK);

  unsigned char output[8192];
  uint32_t length = (uint32_t)done->data_len - 1;
  CHECK(sign_Zorvik2(done->data, done->data_len, output, &length) != 0 && length == 0);
  length = sizeof output;
  CHECK(sign_Zorvik2(done->data, done->data_len, output, &length) == 0);
  CRYPTOCASE* verified = VerifySignP7S(output, (int32_t)length, kContent, (int32_t)sizeof kContent,
                                       NULL, 0);
  CHECK(verified->status == 0);
  CRYPTOCASE_free(verified);
  CRYPTOCASE_free(pre);
  ZORVIKCASE_free(done);
  ZORVIKCASE_free(key);
  ZORVIKCASE_free(cert);
  ZORVIKCASE_free(block);
  ZORVIKCASE_free(owner);
  ZORVIKCASE_free(DeAuthUser());

  /* Avest: the scripted prompt answers the demo password. */
  char askpass[600];
  snprintf(askpass, sizeof askpass, "%s/askpass", folder);
  FILE* script = fopen(askpass, "w");
  CHECK(script != NULL);
  fprintf(script, "#!/bin/sh\necho %s\n", kPassword);
  fclose(script);
  CHECK(chmod(askpass, 0700) == 0);
  CHECK(setenv("AVCM_ASKPASS", askpass, 1) == 0);
  void* session = NULL;
  CHECK(AvCmInit(1) == 0 && AvCmLogin(NULL, NULL, &session, 0) == 0);
  length = 10;
  CHECK(sign_Avest(AvCmSign, session, kContent, sizeof kContent, output, &length, 0x2100100) != 0 &&
        length == 0);
  length = sizeof output;
  CHECK(sign_Avest(AvCmSign, session, kContent, sizeof kContent, output, &length, 0x2100100) == 0);
  verified = VerifySignP7S(output, (int32_t)length, kContent, (int32_t)sizeof kContent, NULL, 0);
  CHECK(verified->status == 0);
  CRYPTOCASE_free(verified);
  CHECK(AvCmLogout(session, 0) == 0 && AvCmInit(2) == 0);

  snprintf(command, sizeof command, "rm -rf '%s'", folder);
  CHECK(system(command) == 0);
  puts("token components: C interfaces work");
  return 0;
}
