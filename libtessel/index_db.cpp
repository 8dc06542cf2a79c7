// The CA's index database: TXT_DB over the caller's text with a serial index
// that ignores leading zeros and an optional subject index over valid rows.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/lhash.h>

#include <cstring>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/record.h"

namespace tessel {
namespace {

using Row = char* const*;

const char* skip_zeros(const char* s) {
  while (*s == '0') ++s;
  return s;
}

// "0A", "000A" and "A" are one serial: other tools write different widths.
unsigned long serial_hash(const void* row) {
  return OPENSSL_LH_strhash(skip_zeros(static_cast<Row>(row)[kColSerial]));
}
int serial_cmp(const void* a, const void* b) {
  return std::strcmp(skip_zeros(static_cast<Row>(a)[kColSerial]),
                     skip_zeros(static_cast<Row>(b)[kColSerial]));
}

unsigned long subject_hash(const void* row) {
  return OPENSSL_LH_strhash(static_cast<Row>(row)[kColSubject]);
}
int subject_cmp(const void* a, const void* b) {
  return std::strcmp(static_cast<Row>(a)[kColSubject], static_cast<Row>(b)[kColSubject]);
}

// Only valid rows take part in the unique-subject rule.
int is_valid_row(OPENSSL_STRING* row) {
  return row[kColStatus][0] == 'V';
}

// A lookup key: a row with one column filled.
char** lookup(int column, const char* value, char* (&row)[kIndexColumns + 1]) {
  for (char*& field : row) field = nullptr;
  row[column] = const_cast<char*>(value);
  return row;
}

// TXT_DB reads a comment line in one piece only when it fits its first
// buffer (512 octets with the terminator); the rest of a longer one would
// be read as a row.
constexpr std::size_t kLongestComment = 511;

// The field separators of a line as TXT_DB counts them: a tab right after a
// backslash belongs to the field.
std::size_t separators(const char* begin, const char* end) {
  std::size_t n = 0;
  for (const char* c = begin; c != end; ++c)
    if (*c == '\t' && (c == begin || c[-1] != '\\')) ++n;
  return n;
}

// Every row has its six fields, and the text holds no NUL byte. TXT_DB_read
// refuses other texts as well, but leaks the rows it had read before the
// bad line, so they are turned away before it sees them.
bool rows_fit(const unsigned char* p, int32_t len) {
  const auto* text = reinterpret_cast<const char*>(p);
  const auto n = static_cast<std::size_t>(len);
  if (std::memchr(text, '\0', n) != nullptr) return false;
  for (std::size_t start = 0; start < n;) {
    const auto* end = static_cast<const char*>(std::memchr(text + start, '\n', n - start));
    const std::size_t stop = end != nullptr ? static_cast<std::size_t>(end - text) : n;
    // Lines starting with '#' are comments to the reader.
    if (text[start] == '#' ? stop + 1 - start > kLongestComment
                           : separators(text + start, text + stop) != kIndexColumns - 1)
      return false;
    start = stop + 1;
  }
  return true;
}

}  // namespace

IndexDbPtr index_db_load(const unsigned char* p, int32_t len, int unique_subject) {
  if (len < 0 || (len > 0 && p == nullptr)) return nullptr;
  if (len > 0 && !rows_fit(p, len)) return nullptr;
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) return nullptr;
  if (len > 0 && BIO_write(bio.get(), p, len) != len) return nullptr;
  // The reader drops a last line without its line feed: a row lost in silence
  // would vanish from the database handed back.
  if (len > 0 && p[len - 1] != '\n' && BIO_write(bio.get(), "\n", 1) != 1) return nullptr;
  auto index = std::make_unique<INDEX_DB>();
  index->unique_subject = unique_subject;
  index->db = TXT_DB_read(bio.get(), kIndexColumns);
  if (index->db == nullptr) return nullptr;
  if (!TXT_DB_create_index(index->db, kColSerial, nullptr, serial_hash, serial_cmp)) return nullptr;
  if (unique_subject == 1 &&
      !TXT_DB_create_index(index->db, kColSubject, is_valid_row, subject_hash, subject_cmp))
    return nullptr;
  return index;
}

char** index_find_serial(const INDEX_DB& index, const char* serial) {
  char* key[kIndexColumns + 1];
  return TXT_DB_get_by_index(index.db, kColSerial, lookup(kColSerial, serial, key));
}

char** index_find_subject(const INDEX_DB& index, const char* subject) {
  if (index.unique_subject != 1) return nullptr;
  char* key[kIndexColumns + 1];
  return TXT_DB_get_by_index(index.db, kColSubject, lookup(kColSubject, subject, key));
}

bool index_insert(INDEX_DB& index, char** row) {
  if (TXT_DB_insert(index.db, row)) return true;
  for (int i = 0; i < kIndexColumns; ++i) OPENSSL_free(row[i]);
  OPENSSL_free(row);
  return false;
}

void index_set_field(char** row, int column, char* value) {
  // Fields of a row read from text live inside the row's own block, which
  // TXT_DB_free releases; only a field replaced earlier is ours to free.
  char* old = row[column];
  const char* block_start = reinterpret_cast<char*>(row);
  const char* block_end = row[kIndexColumns];
  if (block_end == nullptr || old < block_start || old > block_end) OPENSSL_free(old);
  row[column] = value;
}

int32_t index_db_write(const INDEX_DB& index, CRYPTOCASE* rec) {
  const BioPtr out = output_bio();
  if (!out) return TESSEL_BIO_ALLOC_FAILED;
  if (TXT_DB_write(out.get(), index.db) < 0) return TESSEL_BIO_WRITE_FAILED;
  return copy_out(out.get(), &rec->index_db, &rec->index_db_len);
}

StrPtr serial_text(const ASN1_INTEGER* serial) {
  const BnPtr bn(ASN1_INTEGER_to_BN(serial, nullptr));
  if (!bn) return nullptr;
  if (BN_is_zero(bn.get())) return StrPtr(OPENSSL_strdup("00"));
  return StrPtr(BN_bn2hex(bn.get()));
}

StrPtr subject_text(const X509_NAME* name, const char* serial) {
  StrPtr text(X509_NAME_oneline(name, nullptr, 0));
  if (!text) return nullptr;
  if (text.get()[0] == '\0') text.reset(OPENSSL_strdup(serial));
  return text;
}

}  // namespace tessel
