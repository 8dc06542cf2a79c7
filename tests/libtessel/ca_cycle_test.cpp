// A whole CA on memory buffers, root to end entity, with bign keys: every
// request from GenRequest, every check also put to the stock openssl command
// with our module.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ca_support.h"
#include "support/openssl_command.h"

namespace {

using namespace catest;

const std::string kCaConfig = config(
    "policy = p\nx509_extensions = ca_ext\ncrl_extensions = crl_ext",
    "[ p ]\nCN = supplied\nO = optional\n"
    "[ ca_ext ]\nbasicConstraints = critical,CA:true\nkeyUsage = critical,keyCertSign,cRLSign\n"
    "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid:always\n"
    "[ crl_ext ]\nauthorityKeyIdentifier = keyid:always\n");
const std::string kEeConfig = config("policy = p\nx509_extensions = ee_ext",
                                     "[ p ]\nCN = supplied\nO = optional\n"
                                     "[ ee_ext ]\nbasicConstraints = CA:false\n"
                                     "keyUsage = digitalSignature\n");

// One level of the hierarchy: key, certificate and the index database of
// what it has issued.
struct Level {
  Signer keys;  // only the key of it is used
  std::string cert;
  std::string index;
};

class CaCycle : public Tessel,
                public testsupport::CommandFiles,
                public ::testing::WithParamInterface<const char*> {
 protected:
  bool openssl(const std::string& command, const std::string& args) const {
    return testsupport::run_openssl(command, args, path("log")).ok;
  }
  // The CRL as "openssl crl -text" lists it (that command takes no engine,
  // and needs none to read a CRL); empty when it cannot read it.
  std::string crl_text(const std::string& crl) const {
    write("crl.pem", crl);
    return testsupport::run_plain_openssl("crl", "-text -noout -in \"" + path("crl.pem") + "\"",
                                          path("crl.txt"))
                   .ok
               ? read("crl.txt")
               : std::string();
  }

  // Issues into issuer's database (self-signed when issuer is null).
  std::string issue_to(Level& subject, Level* issuer, const std::string& cn,
                       const std::string& conf, const char* serial) {
    const std::string request =
        gen_request(subject.keys.key_pem, {{3, cn}, {10, "Tessel"}}, {}, TESSEL_FORM_PEM);
    Level& ca = issuer != nullptr ? *issuer : subject;
    Case rec(CreateCertificate(bytes(request), len(request), bytes(ca.keys.key_pem),
                               len(ca.keys.key_pem), nullptr,
                               issuer != nullptr ? bytes(issuer->cert) : nullptr,
                               issuer != nullptr ? len(issuer->cert) : 0, bytes(conf), len(conf),
                               bytes(ca.index), len(ca.index), serial, issuer == nullptr, 0));
    EXPECT_EQ(rec->status, TESSEL_OK) << cn;
    ca.index = index_of(rec.get());
    return text_of(rec.get());
  }
  std::string crl_of_level(const Level& ca, int32_t number) const {
    Case rec(CreateCRL(bytes(ca.keys.key_pem), len(ca.keys.key_pem), nullptr, bytes(ca.cert),
                       len(ca.cert), bytes(kCaConfig), len(kCaConfig), bytes(ca.index),
                       len(ca.index), number, TESSEL_FORM_PEM));
    EXPECT_EQ(rec->status, TESSEL_OK);
    return text_of(rec.get());
  }
  std::string bundle(const std::vector<std::string>& certs, const std::string& crl) const {
    CRYPTOCASE* rec = CreateP7B_Init();
    for (const std::string& c : certs) rec = CreateP7B_AddCert(rec, bytes(c), len(c));
    rec = CreateP7B_AddCRL(rec, bytes(crl), len(crl));
    Case done(CreateP7B(rec, TESSEL_FORM_PEM));
    EXPECT_EQ(done->status, TESSEL_OK);
    return text_of(done.get());
  }
  int32_t verify(const std::string& p7b, const std::string& cert, const std::string& crl) const {
    return Case(VerifyCertificate(bytes(p7b), len(p7b), bytes(cert), len(cert), bytes(crl),
                                  len(crl)))
        ->status;
  }
  // The stock command's verdict on the same chain and CRLs.
  bool openssl_verifies(const std::string& chain, const std::string& crls,
                        const std::string& cert) {
    write("chain.pem", chain);
    write("crls.pem", crls);
    write("cert.pem", cert);
    return openssl("verify", "-crl_check_all -CAfile " + path("chain.pem") + " -CRLfile " +
                                 path("crls.pem") + " " + path("cert.pem"));
  }
};

TEST_P(CaCycle, RootIntermediateEndEntityAndRevocation) {
  Level root{make_signer(GetParam()), {}, {}};
  Level inter{make_signer(GetParam()), {}, {}};
  Level ee{make_signer(GetParam()), {}, {}};
  root.cert = issue_to(root, nullptr, "Tessel Root", kCaConfig, "01");
  inter.cert = issue_to(inter, &root, "Tessel Intermediate", kCaConfig, "02");
  ee.cert = issue_to(ee, &inter, "Tessel Holder", kEeConfig, "1000");
  ASSERT_FALSE(HasFailure());

  const std::string root_crl = crl_of_level(root, 1);
  const std::string inter_crl = crl_of_level(inter, 1);
  const std::string p7b = bundle({root.cert, inter.cert}, root_crl);
  EXPECT_EQ(verify(p7b, ee.cert, inter_crl), TESSEL_OK);
  EXPECT_EQ(verify(p7b, inter.cert, root_crl), TESSEL_OK);
  EXPECT_TRUE(openssl_verifies(root.cert + inter.cert, root_crl + inter_crl, ee.cert))
      << read("log");
  // Without the intermediate's CRL revocation cannot be checked.
  EXPECT_EQ(verify(p7b, ee.cert, root_crl), TESSEL_VERIFY_FAILED);

  Case revoked(RevokeCertificate(bytes(ee.cert), len(ee.cert), bytes(inter.index), len(inter.index),
                                 "keyCompromise", bytes(kCaConfig), len(kCaConfig)));
  ASSERT_EQ(revoked->status, TESSEL_OK);
  inter.index = index_of(revoked.get());
  const std::string inter_crl2 = crl_of_level(inter, 2);
  EXPECT_EQ(verify(p7b, ee.cert, inter_crl2), TESSEL_VERIFY_FAILED);
  EXPECT_FALSE(openssl_verifies(root.cert + inter.cert, root_crl + inter_crl2, ee.cert));
  // The intermediate itself is untouched.
  EXPECT_EQ(verify(p7b, inter.cert, root_crl), TESSEL_OK);

  const std::string text = crl_text(inter_crl2);
  EXPECT_NE(text.find("Serial Number: 1000"), std::string::npos) << text;
  EXPECT_NE(text.find("Key Compromise"), std::string::npos) << text;
  EXPECT_NE(text.find("X509v3 CRL Number"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Levels, CaCycle, ::testing::Values("A", "C"));

TEST_F(CaCycle, SelfSignedCertificateIsItsOwnAnchor) {
  Level root{make_signer("A"), {}, {}};
  root.cert = issue_to(root, nullptr, "Lone Root", kCaConfig, "01");
  const std::string crl = crl_of_level(root, 1);
  EXPECT_EQ(
      Case(VerifyCertificate(nullptr, 0, bytes(root.cert), len(root.cert), bytes(crl), len(crl)))
          ->status,
      TESSEL_OK);
  // CRLs are required for the whole chain.
  EXPECT_EQ(
      Case(VerifyCertificate(nullptr, 0, bytes(root.cert), len(root.cert), nullptr, 0))->status,
      TESSEL_VERIFY_FAILED);
  const std::string junk = "junk";
  EXPECT_EQ(Case(VerifyCertificate(bytes(junk), len(junk), bytes(root.cert), len(root.cert),
                                   bytes(crl), len(crl)))
                ->status,
            TESSEL_BAD_PKCS7);
  EXPECT_EQ(
      Case(VerifyCertificate(nullptr, 0, bytes(root.cert), len(root.cert), bytes(junk), len(junk)))
          ->status,
      TESSEL_BAD_CRL);
  EXPECT_EQ(
      Case(VerifyCertificate(nullptr, 0, bytes(junk), len(junk), bytes(crl), len(crl)))->status,
      TESSEL_BAD_CERTIFICATE);
  const std::string p7b = bundle({root.cert}, crl);
  EXPECT_EQ(
      Case(VerifyCertificate(bytes(p7b), len(p7b), bytes(junk), len(junk), nullptr, 0))->status,
      TESSEL_BAD_CERTIFICATE);
  // The bundle's own CRL serves when none is given.
  EXPECT_EQ(
      Case(VerifyCertificate(bytes(p7b), len(p7b), bytes(root.cert), len(root.cert), nullptr, 0))
          ->status,
      TESSEL_OK);
}

// A database the stock command's CA wrote, in a directory of its own, read
// by revocation and the CRL.
TEST_F(CaCycle, IndexWrittenByOpensslCa) {
  namespace fs = std::filesystem;
  Level ca{make_signer("A"), {}, {}};
  ca.cert = issue_to(ca, nullptr, "Openssl Root", kCaConfig, "01");
  const fs::path dir = path("ca_dir");
  fs::remove_all(dir);
  fs::create_directories(dir / "certs");
  const auto put = [&](const std::string& name, const std::string& data) {
    std::ofstream((dir / name).string(), std::ios::binary) << data;
  };
  put("ca.pem", ca.cert);
  put("ca.key", ca.keys.key_pem);
  put("index.txt", "");
  put("serial", "0A\n");
  put("ca.cnf", "[ ca ]\ndefault_ca = own\n[ own ]\ndir = " + dir.string() +
                    "\ndatabase = $dir/index.txt\nnew_certs_dir = $dir/certs\n"
                    "serial = $dir/serial\ncertificate = $dir/ca.pem\nprivate_key = $dir/ca.key\n"
                    "default_md = default\ndefault_days = 30\npolicy = p\n"
                    "[ p ]\ncommonName = supplied\n");
  Signer holder = make_signer("A");
  std::vector<std::string> issued;
  for (const char* cn : {"First Holder", "Second Holder"}) {
    put("req.pem", gen_request(holder.key_pem, {{3, cn}}));
    ASSERT_TRUE(openssl("ca", "-batch -config " + (dir / "ca.cnf").string() + " -in " +
                                  (dir / "req.pem").string() + " -out " +
                                  (dir / "out.pem").string()))
        << read("log");
    std::ifstream in(dir / "out.pem", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    issued.push_back(text.str());
  }
  std::ifstream in(dir / "index.txt", std::ios::binary);
  std::ostringstream index;
  index << in.rdbuf();
  ca.index = index.str();
  ASSERT_EQ(rows_of(ca.index).size(), 2u) << ca.index;

  Case revoked(RevokeCertificate(bytes(issued[1]), len(issued[1]), bytes(ca.index), len(ca.index),
                                 "cessationOfOperation", nullptr, 0));
  ASSERT_EQ(revoked->status, TESSEL_OK);
  const auto rows = rows_of(index_of(revoked.get()));
  EXPECT_EQ(rows[0][0], "V");
  EXPECT_EQ(rows[1][0], "R");
  EXPECT_EQ(rows[1][3], "0B");
  ca.index = index_of(revoked.get());
  const std::string crl = crl_of_level(ca, 5);
  const std::string text = crl_text(crl);
  EXPECT_NE(text.find("Serial Number: 0B"), std::string::npos) << text;
  EXPECT_NE(text.find("Cessation Of Operation"), std::string::npos) << text;
  EXPECT_EQ(text.find("Serial Number: 0A"), std::string::npos) << text;
  fs::remove_all(dir);
}

}  // namespace
