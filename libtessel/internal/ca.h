// The in-memory certificate authority: the index database, the "certificate"
// configuration section, policy rules, serial numbers and the revocation
// info text, shared by issuing, revocation and CRLs.
#pragma once

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/conf.h>
#include <openssl/crypto.h>
#include <openssl/txt_db.h>
#include <openssl/x509.h>

#include <cstdint>
#include <memory>

#include "libtessel/internal/ossl.h"
#include "libtessel/tessel.h"

namespace tessel {

inline void free_string(char* p) {
  OPENSSL_free(p);
}
using StrPtr = Owned<char, free_string>;
using Asn1IntPtr = Owned<ASN1_INTEGER, ASN1_INTEGER_free>;
using Asn1TimePtr = Owned<ASN1_TIME, ASN1_TIME_free>;
using Asn1ObjPtr = Owned<ASN1_OBJECT, ASN1_OBJECT_free>;
using BnPtr = Owned<BIGNUM, BN_free>;
using NamePtr = Owned<X509_NAME, X509_NAME_free>;
using RevokedPtr = Owned<X509_REVOKED, X509_REVOKED_free>;

// ---- Index database ---------------------------------------------------------

// Columns of a row, as the CA's index file has always had them.
enum IndexColumn : int {
  kColStatus = 0,
  kColExpiry = 1,
  kColRevocation = 2,
  kColSerial = 3,
  kColFile = 4,
  kColSubject = 5,
  kIndexColumns = 6
};

struct INDEX_DB {
  int unique_subject = 1;  // 1: the subject index over valid rows exists
  TXT_DB* db = nullptr;    // owned

  INDEX_DB() = default;
  INDEX_DB(const INDEX_DB&) = delete;
  INDEX_DB& operator=(const INDEX_DB&) = delete;
  ~INDEX_DB() { TXT_DB_free(db); }
};
using IndexDbPtr = std::unique_ptr<INDEX_DB>;

// The table of the text with its serial index (leading zeros ignored) and,
// with unique_subject 1, the subject index over valid rows. Null when the
// text is unreadable or two rows clash in an index. A length of 0 is an
// empty table.
IndexDbPtr index_db_load(const unsigned char* p, int32_t len, int unique_subject);

// Rows found through an index, or null.
char** index_find_serial(const INDEX_DB& index, const char* serial);
char** index_find_subject(const INDEX_DB& index, const char* subject);

// Takes ownership of row (kIndexColumns heap strings and a null end marker)
// whether or not the insertion succeeds.
bool index_insert(INDEX_DB& index, char** row);

// Replaces one field of a row read from text by a heap string it takes.
void index_set_field(char** row, int column, char* value);

// The whole table as text into index_db: 32, 33, 7, 34 or 0.
int32_t index_db_write(const INDEX_DB& index, CRYPTOCASE* rec);

// ---- Serial numbers and names ------------------------------------------------

// "00" for zero, otherwise upper-case hexadecimal; null when it cannot be
// made.
StrPtr serial_text(const ASN1_INTEGER* serial);
// The subject column: the one-line name, or a copy of the serial text when
// the name is empty; null when it cannot be made.
StrPtr subject_text(const X509_NAME* name, const char* serial);

// 159 random bits (below 2^159); null when the generator fails.
Asn1IntPtr random_serial();
// Hexadecimal serial text as the serial-file form reads it; null when
// unreadable.
Asn1IntPtr parse_serial(const char* text);

// ---- Configuration section "certificate" --------------------------------------

inline constexpr char kCaSection[] = "certificate";

enum class CopyMode { kNone, kCopy, kCopyAll };

// What issuing reads from the configuration (defaults: no configuration).
struct IssueConfig {
  ConfPtr conf;  // null without configuration text
  int unique_subject = 1;
  CopyMode copy = CopyMode::kCopy;
  const char* policy = nullptr;      // section name, inside conf
  const char* extensions = nullptr;  // section name, inside conf
  Asn1IntPtr rand_serial;            // made when "rand_serial" is present
  const char* start = nullptr;       // null: the moment of issuing
  const char* end = nullptr;         // null: start of issuing + days
  long days = 730;
};

// Loads and reads the configuration (null text: the defaults). Statuses:
// 41, 101, 102, 97, 99 or 0.
int32_t read_issue_config(const unsigned char* p, int32_t len, IssueConfig& out);

// What the CRL and revocation read.
struct CrlConfig {
  ConfPtr conf;
  int unique_subject = 1;
  long days = 30;
  long hours = 0;
  long seconds = 0;
  const char* extensions = nullptr;
};
// Statuses: 41, 103 (the CRL extension section cannot be applied) or 0.
int32_t read_crl_config(const unsigned char* p, int32_t len, CrlConfig& out);
// "unique_subject" alone, for revocation: 41 or 0.
int32_t read_unique_subject(const unsigned char* p, int32_t len, int& unique_subject);
int unique_subject_of(const CONF* conf);

// Entries of the request's subject whose string type cannot hold their
// content: 105, else 0.
int32_t check_string_types(const X509_NAME* subject);

// Builds the new subject from the request's subject under the policy
// section's rules; issuer is the name "match" compares with. 106, 107, 108
// or 0.
int32_t apply_policy(CONF* conf, const char* policy, const X509_NAME* requested,
                     const X509_NAME* issuer, X509_NAME* subject);

// ---- Issuing -------------------------------------------------------------------

struct IssueInput {
  EVP_PKEY* key;
  X509* ca;  // null when self-signed
  X509_REQ* request;
  const ASN1_INTEGER* serial;
  const IssueConfig& config;
  INDEX_DB& index;
};

// The certificate, signed and with its row in the index, or a status.
int32_t issue_certificate(const IssueInput& in, X509Ptr& out);

// ---- Revocation ----------------------------------------------------------------

// Reason names accepted by revocation: the first eight of the table.
inline constexpr int kRevokeReasons = 8;
// Reason names in table order: the eight revocable ones, then the three
// that only other tools write (hold instruction, key and CA key times).
inline constexpr int kReasonCount = 11;
extern const char* const kReasonNames[kReasonCount];

struct RevocationInfo {
  Asn1TimePtr time;
  int reason_code = -1;  // CRL reason code, -1 without a reason
  Asn1ObjPtr hold_instruction;
  Owned<ASN1_GENERALIZEDTIME, ASN1_GENERALIZEDTIME_free> invalidity_date;
};

// Reads "time[,reason[,argument]]"; false for anything unreadable.
bool parse_revocation_info(const char* text, RevocationInfo& out);

}  // namespace tessel
