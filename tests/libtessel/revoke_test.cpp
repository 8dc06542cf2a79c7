// Revocation in the caller's index database: the row it writes and the
// statuses it answers.
#include <ctime>

#include "ca_support.h"

namespace {

using namespace catest;

class Revoke : public Tessel {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    ca_.signer = make_signer("A");
    holder_ = make_signer("A");
    cert_ = issue_one("0A", "alice");
  }
  // Issues into the CA's database and keeps it; answers the certificate.
  Bytes issue_one(const char* serial, const char* cn) {
    Case rec = issue(ca_, request_pem(holder_.key.get(), {{"CN", MBSTRING_UTF8, cn}}),
                     config("policy = p", "[ p ]\nCN = supplied\n"), serial);
    EXPECT_EQ(rec->status, TESSEL_OK);
    ca_.index = index_of(rec.get());
    return data_of(rec.get());
  }
  Case revoke(const Bytes& cert, const char* reason, const std::string& index) const {
    return Case(
        RevokeCertificate(cert.data(), len(cert), bytes(index), len(index), reason, nullptr, 0));
  }

  Authority ca_;
  Signer holder_;
  Bytes cert_;
};

TEST_F(Revoke, RowAfterRevocation) {
  const std::string before = ca_.index;
  Case rec = revoke(cert_, "keyCompromise", ca_.index);
  ASSERT_EQ(rec->status, TESSEL_OK);
  const auto old_row = rows_of(before)[0];
  const auto rows = rows_of(index_of(rec.get()));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "R");
  EXPECT_EQ(rows[0][1], old_row[1]);
  EXPECT_EQ(rows[0][3], "0A");
  EXPECT_EQ(rows[0][4], "unknown");
  EXPECT_EQ(rows[0][5], "/CN=alice");
  const std::string& info = rows[0][2];
  ASSERT_EQ(info.size(), 13u + 1 + 13);
  EXPECT_EQ(info.substr(13), ",keyCompromise");
  ASN1_TIME* when = ASN1_TIME_new();
  ASSERT_EQ(ASN1_UTCTIME_set_string(when, info.substr(0, 13).c_str()), 1);
  EXPECT_TRUE(within(seconds_from_now(when), 0, 60));
  ASN1_TIME_free(when);
}

TEST_F(Revoke, EveryRevocableReason) {
  for (const char* reason :
       {"unspecified", "keyCompromise", "CACompromise", "affiliationChanged", "superseded",
        "cessationOfOperation", "certificateHold", "removeFromCRL"}) {
    SCOPED_TRACE(reason);
    Case rec = revoke(cert_, reason, ca_.index);
    ASSERT_EQ(rec->status, TESSEL_OK);
    EXPECT_EQ(rows_of(index_of(rec.get()))[0][2].substr(14), reason);
  }
}

TEST_F(Revoke, Statuses) {
  // A certificate of this CA that went into another database.
  const std::string kept = ca_.index;
  ca_.index.clear();
  const Bytes stranger = issue_one("0B", "bob");
  ca_.index = kept;
  std::string renamed = ca_.index;
  renamed.replace(renamed.find("/CN=alice"), 9, "/CN=alfie");
  Case once = revoke(cert_, "superseded", ca_.index);
  ASSERT_EQ(once->status, TESSEL_OK);
  const std::string revoked = index_of(once.get());
  const std::string garbage = "garbage";
  const struct {
    const char* what;
    Bytes cert;
    std::string index;
    const char* reason;
    int32_t status;
  } cases[] = {
      {"twice", cert_, revoked, "superseded", TESSEL_ALREADY_REVOKED},
      {"not in the database", stranger, ca_.index, "superseded", TESSEL_NOT_IN_INDEX},
      {"empty database", cert_, "", "superseded", TESSEL_NOT_IN_INDEX},
      {"other subject in the row", cert_, renamed, "superseded", TESSEL_SUBJECT_DIFFERS},
      {"holdInstruction", cert_, ca_.index, "holdInstruction", TESSEL_BAD_REVOCATION},
      {"keyTime", cert_, ca_.index, "keyTime", TESSEL_BAD_REVOCATION},
      {"CAkeyTime", cert_, ca_.index, "CAkeyTime", TESSEL_BAD_REVOCATION},
      {"other letter case", cert_, ca_.index, "KeyCompromise", TESSEL_BAD_REVOCATION},
      {"empty reason", cert_, ca_.index, "", TESSEL_BAD_REVOCATION},
      {"no reason", cert_, ca_.index, nullptr, TESSEL_BAD_REVOCATION},
      {"garbage certificate", Bytes(garbage.begin(), garbage.end()), ca_.index, "superseded",
       TESSEL_BAD_CERTIFICATE},
      {"garbage database", cert_, "V\tx\n", "superseded", TESSEL_BAD_INDEX_DB},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Case rec = revoke(c.cert, c.reason, c.index);
    EXPECT_EQ(rec->status, c.status);
    EXPECT_EQ(rec->index_db, nullptr);
  }
  const std::string bad_conf = "[ unclosed";
  Case rec(RevokeCertificate(cert_.data(), len(cert_), bytes(ca_.index), len(ca_.index),
                             "superseded", bytes(bad_conf), len(bad_conf)));
  EXPECT_EQ(rec->status, TESSEL_BAD_CONFIG);
}

TEST_F(Revoke, RowFoundWhateverItsLeadingZeros) {
  std::string padded = ca_.index;
  padded.replace(padded.find("\t0A\t"), 4, "\t00000A\t");
  Case rec = revoke(cert_, "superseded", padded);
  ASSERT_EQ(rec->status, TESSEL_OK);
  EXPECT_EQ(rows_of(index_of(rec.get()))[0][3], "00000A");
}

TEST_F(Revoke, UniqueSubjectOffLoadsDuplicateSubjects) {
  // Two valid rows of one subject: unreadable unless subjects may repeat.
  const std::string dup = ca_.index + "V\t300101000000Z\t\t0C\tunknown\t/CN=alice\n";
  EXPECT_EQ(revoke(cert_, "superseded", dup)->status, TESSEL_BAD_INDEX_DB);
  const std::string conf = config("unique_subject = no");
  Case rec(RevokeCertificate(cert_.data(), len(cert_), bytes(dup), len(dup), "superseded",
                             bytes(conf), len(conf)));
  ASSERT_EQ(rec->status, TESSEL_OK);
  const auto rows = rows_of(index_of(rec.get()));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "R");
  EXPECT_EQ(rows[1][0], "V");
}

}  // namespace
