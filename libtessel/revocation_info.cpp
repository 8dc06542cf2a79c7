// The revocation info column: "time[,reason[,argument]]", as revocation
// writes it and as other CA tools may have written it.
#include <openssl/err.h>
#include <openssl/objects.h>

#include <cstring>

#include "libtessel/internal/ca.h"

namespace tessel {

const char* const kReasonNames[kReasonCount] = {"unspecified",     "keyCompromise",
                                                "CACompromise",    "affiliationChanged",
                                                "superseded",      "cessationOfOperation",
                                                "certificateHold", "removeFromCRL",
                                                "holdInstruction", "keyTime",
                                                "CAkeyTime"};

namespace {

// Reasons from here on carry an argument: the hold instruction, then the
// two invalidity dates.
constexpr int kHoldInstruction = 8;

// CRL reason codes by table index; code 7 is unused in CRLs.
constexpr int kReasonCodes[kReasonCount] = {0, 1, 2, 3, 4, 5, 6, 8, 6, 1, 2};

int reason_index(const char* name) {
  for (int i = 0; i < kReasonCount; ++i)
    if (std::strcmp(name, kReasonNames[i]) == 0) return i;
  return -1;
}

// Cuts s at its first comma; answers what follows, or null without a comma.
char* cut(char* s) {
  char* comma = std::strchr(s, ',');
  if (comma == nullptr) return nullptr;
  *comma = '\0';
  return comma + 1;
}

}  // namespace

bool parse_revocation_info(const char* text, RevocationInfo& out) {
  const StrPtr copy(OPENSSL_strdup(text));
  if (!copy) return false;
  char* reason = cut(copy.get());
  out.time.reset(ASN1_UTCTIME_new());
  if (!out.time || !ASN1_UTCTIME_set_string(out.time.get(), copy.get())) {
    ERR_clear_error();
    return false;
  }
  if (reason == nullptr) return true;  // no reason: no reason code
  char* argument = cut(reason);
  const int index = reason_index(reason);
  if (index < 0) return false;
  out.reason_code = kReasonCodes[index];
  if (index < kHoldInstruction) return true;
  if (argument == nullptr) return false;  // the argument is required
  if (index == kHoldInstruction) {
    out.hold_instruction.reset(OBJ_txt2obj(argument, 0));
    if (!out.hold_instruction) {
      ERR_clear_error();
      return false;
    }
    return true;
  }
  out.invalidity_date.reset(ASN1_GENERALIZEDTIME_new());
  if (!out.invalidity_date ||
      !ASN1_GENERALIZEDTIME_set_string(out.invalidity_date.get(), argument)) {
    ERR_clear_error();
    return false;
  }
  return true;
}

}  // namespace tessel
