// The index database as issuing sees it: unique subjects, serial clashes
// whatever the leading zeros, rows kept as given.
#include "ca_support.h"

namespace {

using namespace catest;

class IndexDb : public Tessel {
 protected:
  void SetUp() override {
    Tessel::SetUp();
    ca_.signer = make_signer("A");
    holder_ = make_signer("A");
    request_ = request_pem(holder_.key.get(), {{"CN", MBSTRING_UTF8, "alice"}});
  }
  // Issues and keeps the returned database as the CA's.
  int32_t issue_kept(const std::string& conf, const char* serial) {
    Case rec = issue(ca_, request_, conf, serial);
    if (rec->status == TESSEL_OK) ca_.index = index_of(rec.get());
    return rec->status;
  }

  Authority ca_;
  Signer holder_;
  std::string request_;
};

const char kCnPolicy[] = "policy = p\n";
const char kCnSection[] = "[ p ]\nCN = supplied\n";

TEST_F(IndexDb, UniqueSubject) {
  const struct {
    const char* setting;  // nullptr: key absent
    bool unique;
  } cases[] = {{nullptr, true}, {"yes", true}, {"1", true},      {"", true},
               {"no", false},   {"0", false},  {"false", false}, {"N", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting == nullptr ? "(absent)" : c.setting);
    ca_.index.clear();
    const std::string conf =
        config(std::string(kCnPolicy) +
                   (c.setting != nullptr ? std::string("unique_subject = ") + c.setting : ""),
               kCnSection);
    ASSERT_EQ(issue_kept(conf, "01"), TESSEL_OK);
    EXPECT_EQ(issue_kept(conf, "02"), c.unique ? TESSEL_SUBJECT_EXISTS : TESSEL_OK);
  }
}

TEST_F(IndexDb, RevokedSubjectCanBeIssuedAgain) {
  const std::string conf = config(kCnPolicy, kCnSection);
  Case first = issue(ca_, request_, conf, "01");
  ASSERT_EQ(first->status, TESSEL_OK);
  ca_.index = index_of(first.get());
  const Bytes cert = data_of(first.get());
  Case revoked(RevokeCertificate(cert.data(), len(cert), bytes(ca_.index), len(ca_.index),
                                 "superseded", nullptr, 0));
  ASSERT_EQ(revoked->status, TESSEL_OK);
  ca_.index = index_of(revoked.get());
  ASSERT_EQ(issue_kept(conf, "02"), TESSEL_OK);
  const auto rows = rows_of(ca_.index);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "R");
  EXPECT_EQ(rows[1][0], "V");
  EXPECT_EQ(rows[0][5], rows[1][5]);
}

TEST_F(IndexDb, SerialClashesIgnoreLeadingZerosAndStatus) {
  const struct {
    const char* row;
    const char* serial;
    int32_t status;
  } cases[] = {
      {"V\t300101000000Z\t\t000A\tunknown\t/CN=x\n", "0A", TESSEL_SERIAL_EXISTS},
      {"V\t300101000000Z\t\t0A\tunknown\t/CN=x\n", "000A", TESSEL_SERIAL_EXISTS},
      {"R\t300101000000Z\t240101000000Z,keyCompromise\t0B\tunknown\t/CN=x\n", "0B",
       TESSEL_SERIAL_EXISTS},
      {"E\t200101000000Z\t\t0C\tunknown\t/CN=x\n", "0C", TESSEL_SERIAL_EXISTS},
      {"V\t300101000000Z\t\t0A\tunknown\t/CN=x\n", "0B", TESSEL_OK},
      // Serial texts compare case-sensitively: other tools write upper case.
      {"V\t300101000000Z\t\t0a\tunknown\t/CN=x\n", "0A", TESSEL_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    ca_.index = c.row;
    EXPECT_EQ(issue_kept("", c.serial), c.status);
  }
}

TEST_F(IndexDb, RowsStayAsGivenAndTheNewOneComesLast) {
  // Other tools' rows, an unknown status letter and a last line without its
  // line feed all survive the round trip.
  ca_.index =
      "V\t300101000000Z\t\t05\tunknown\t/CN=five\n"
      "E\t200101000000Z\t\t06\tnew.pem\t/CN=six\n"
      "R\t300101000000Z\t240101000000Z\t07\tunknown\t/CN=seven";
  const std::string before = ca_.index + "\n";
  ASSERT_EQ(issue_kept("", "08"), TESSEL_OK);
  ASSERT_EQ(ca_.index.substr(0, before.size()), before);
  const auto rows = rows_of(ca_.index);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3][3], "08");
}

TEST_F(IndexDb, UnreadableDatabases) {
  const struct {
    const char* what;
    std::string index;
    const char* conf;
  } cases[] = {
      {"five columns", "V\t300101000000Z\t\t05\tunknown\n", ""},
      {"seven columns", "V\t300101000000Z\t\t05\tunknown\t/CN=a\textra\n", ""},
      {"an empty line", "V\t300101000000Z\t\t05\tunknown\t/CN=a\n\n", ""},
      {"a NUL byte", std::string("V\t300101000000Z\t\t05\tunknown\t/CN=a\0b\n", 36), ""},
      {"two rows, one serial",
       "V\t300101000000Z\t\t05\tunknown\t/CN=a\nR\t300101000000Z\t\t0005\tunknown\t/CN=b\n", ""},
      // The reader would leak the first row on these: an escaped tab is no
      // separator, and a comment line longer than its buffer goes on as a row.
      {"a tab after a backslash",
       "V\t300101000000Z\t\t04\tunknown\t/CN=a\nV\t300101000000Z\t\\\t05\tunknown\t/CN=b\n", ""},
      {"a comment line of 512 octets",
       "V\t300101000000Z\t\t04\tunknown\t/CN=a\n#" + std::string(510, 'c') + "\n", ""},
      {"two valid rows, one subject",
       "V\t300101000000Z\t\t05\tunknown\t/CN=a\nV\t300101000000Z\t\t06\tunknown\t/CN=a\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ca_.index = c.index;
    EXPECT_EQ(issue_kept(c.conf, "01"), TESSEL_BAD_INDEX_DB);
  }
  // The same subject twice is fine when subjects need not be unique, or
  // when one of the rows is revoked.
  ca_.index = "V\t300101000000Z\t\t05\tunknown\t/CN=a\nV\t300101000000Z\t\t06\tunknown\t/CN=a\n";
  EXPECT_EQ(issue_kept(config("unique_subject = no"), "01"), TESSEL_OK);
  ca_.index =
      "R\t300101000000Z\t240101000000Z\t05\tunknown\t/CN=a\nV\t300101000000Z\t\t06\tunknown\t/"
      "CN=a\n";
  EXPECT_EQ(issue_kept("", "01"), TESSEL_OK);
}

}  // namespace
