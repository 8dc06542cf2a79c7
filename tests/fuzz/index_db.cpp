// The CA's index database text: read and indexed, every row looked up and
// its revocation info read, and written back; the exports that take it (CRL
// and revocation under the fixed CA); and issuing into it.
#include <openssl/safestack.h>
#include <openssl/txt_db.h>

#include "fixed_authority.h"
#include "fuzz_support.h"
#include "libtessel/internal/ca.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"
#include "selectors.h"

namespace {

void walk(std::string_view text, int unique_subject) {
  tessel::ensure_registered();
  const tessel::IndexDbPtr index =
      tessel::index_db_load(fuzz::bytes(text), fuzz::length(text), unique_subject);
  if (!index) return;
  STACK_OF(OPENSSL_PSTRING)* rows = index->db->data;
  for (int i = 0; i < sk_OPENSSL_PSTRING_num(rows); ++i) {
    char** row = sk_OPENSSL_PSTRING_value(rows, i);
    if (tessel::index_find_serial(*index, row[tessel::kColSerial]) == nullptr)
      fuzz::fail("a row is not found by its own serial");
    static_cast<void>(tessel::index_find_subject(*index, row[tessel::kColSubject]));
    tessel::RevocationInfo info;
    static_cast<void>(tessel::parse_revocation_info(row[tessel::kColRevocation], info));
  }
  const fuzz::Case written(tessel::new_record());
  if (written && tessel::index_db_write(*index, written.get()) == TESSEL_OK) {
    // What is written back reads again.
    if (!tessel::index_db_load(written->index_db, written->index_db_len, unique_subject))
      fuzz::fail("a written index does not read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::IndexEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  const unsigned char* index = fuzz::bytes(in.payload);
  const int32_t index_len = fuzz::length(in.payload);
  const std::string& key = fuzz::fixture("ca.key");
  const std::string& ca = fuzz::fixture("ca.crt");
  fuzz::Case result;
  switch (fuzz::entry<IndexEntry>(in.selector)) {
    case IndexEntry::kWalk:
      walk(in.payload, 1);
      break;
    case IndexEntry::kWalkSharedSubjects:
      walk(in.payload, 0);
      break;
    case IndexEntry::kCreateCrl:
      result.reset(CreateCRL(fuzz::bytes(key), fuzz::length(key), nullptr, fuzz::bytes(ca),
                             fuzz::length(ca), nullptr, 0, index, index_len, 1, TESSEL_FORM_DER));
      break;
    case IndexEntry::kRevoke: {
      const std::string& leaf = fuzz::fixture("leaf.crt");
      result.reset(RevokeCertificate(fuzz::bytes(leaf), fuzz::length(leaf), index, index_len,
                                     "keyCompromise", nullptr, 0));
      break;
    }
    case IndexEntry::kIssue: {
      const fuzz::FixedAuthority& authority = fuzz::fixed_authority();
      const tessel::IndexDbPtr db =
          tessel::index_db_load(index, index_len, authority.config.unique_subject);
      if (db)
        static_cast<void>(
            fuzz::issue_unchecked(authority.leaf_request.get(), authority.config, db.get()));
      break;
    }
    case IndexEntry::kCount:
      break;
  }
  return 0;
}
