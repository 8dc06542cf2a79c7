// The stock openssl command with our loadable module and our code check each
// other: certificates and CMS signatures made here verify there, and keys,
// certificates, signatures and enveloped data made there work here.
#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <openssl/cms.h>

#include <fstream>
#include <iterator>

#include "bign_support.h"
#include "support/openssl_command.h"


namespace bigntest {
namespace {

class BignCli : public Level {
 protected:
  std::string path(const std::string& name) const {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string p = testing::TempDir();
    for (char c : std::string(info->name())) p.push_back(c == '/' ? '_' : c);
    return p.append("_").append(name);
  }

  void write(const std::string& name, const Bytes& data) const {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
  }

  void write(const std::string& name, const std::string& text) const {
    write(name, Bytes(text.begin(), text.end()));
  }

  Bytes read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // The command with our module; true on exit status 0, cmd = the line run.
  bool succeeds(const std::string& command, const std::string& args, std::string& cmd) const {
    const testsupport::CommandRun r = testsupport::run_openssl(command, args, path("log"));
    cmd = r.line;
    return r.ok;
  }

  // The same, printing the command and its output when it fails.
  bool run(const std::string& command, const std::string& args) const {
    std::string cmd;
    if (succeeds(command, args, cmd)) return true;
    const Bytes log = read("log");
    ADD_FAILURE() << cmd << "\n" << std::string(log.begin(), log.end());
    return false;
  }

  std::string pem_of(X509* cert) const {
    Bio out = mem_bio();
    EXPECT_EQ(PEM_write_bio_X509(out.get(), cert), 1);
    return text_of(out.get());
  }

  Cert read_cert(const std::string& name) const {
    const Bytes data = read(name);
    Bio in = mem_bio(data);
    return Cert(PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr));
  }

  Pkey read_key(const std::string& name) const {
    const Bytes data = read(name);
    Bio in = mem_bio(data);
    return Pkey(PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr));
  }
};
BIGN_LEVELS(BignCli);

const Bytes kContent = {'c', 'o', 'n', 't', 'e', 'n', 't', '\n', 0, 1, 2, 0xFE};

// A certificate and a detached DER signature of ours: the command verifies
// the certificate against itself as the trust anchor, and the signature
// with the content, chain and purpose included.
TEST_P(BignCli, CommandVerifiesOurCertificateAndSignature) {
  Pkey key = generate(level());
  Cert cert = self_signed(key.get(), nullptr, "made here");
  write("cert.pem", pem_of(cert.get()));
  ASSERT_TRUE(run("verify", "-CAfile " + path("cert.pem") + " " + path("cert.pem")));

  const unsigned flags = CMS_PARTIAL | CMS_BINARY | CMS_NOSMIMECAP | CMS_DETACHED;
  Own<CMS_ContentInfo> cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
  ASSERT_NE(CMS_add1_signer(cms.get(), cert.get(), key.get(), nullptr, flags), nullptr);
  Bio in = mem_bio(kContent);
  ASSERT_EQ(CMS_final(cms.get(), in.get(), nullptr, flags), 1);
  write("sig.der", der(cms.get(), i2d_CMS_ContentInfo));
  write("content", kContent);
  ASSERT_TRUE(run("cms", "-verify -binary -inform DER -in " + path("sig.der") + " -content " +
                             path("content") + " -CAfile " + path("cert.pem") + " -out " +
                             path("out")));
  EXPECT_EQ(read("out"), kContent);
  // Another content fails there too.
  write("other", Bytes(kContent.begin(), kContent.end() - 1));
  std::string cmd;
  EXPECT_FALSE(succeeds("cms",
                        "-verify -binary -inform DER -in " + path("sig.der") + " -content " +
                            path("other") + " -noverify -out " + path("out"),
                        cmd));
}

// A key and self-signed certificate made by `openssl req -x509 -newkey`,
// then a signature by `openssl cms -sign`: our code reads the key (PKCS#8)
// and the certificate and verifies both.
TEST_P(BignCli, WeVerifyWhatTheCommandMakes) {
  ASSERT_TRUE(run("req", std::string("-x509 -newkey bign-pubkey -pkeyopt params:") +
                             params_letter(level()) + " -nodes -subj /CN=made-there -days 2" +
                             " -keyout " + path("key.pem") + " -out " + path("cert.pem")));
  Cert cert = read_cert("cert.pem");
  Pkey key = read_key("key.pem");
  ASSERT_NE(cert, nullptr);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(EVP_PKEY_get_bits(key.get()), static_cast<int>(2 * level()));
  EXPECT_EQ(X509_verify(cert.get(), X509_get0_pubkey(cert.get())), 1);
  EXPECT_EQ(X509_check_private_key(cert.get(), key.get()), 1);

  write("content", kContent);
  ASSERT_TRUE(run("cms", "-sign -binary -in " + path("content") + " -signer " + path("cert.pem") +
                             " -inkey " + path("key.pem") + " -outform DER -out " +
                             path("sig.der")));
  const Bytes sig_der = read("sig.der");
  Bio sig = mem_bio(sig_der);
  Own<CMS_ContentInfo> cms(d2i_CMS_bio(sig.get(), nullptr));
  ASSERT_NE(cms, nullptr);
  Bio content = mem_bio(kContent);
  Bio out = mem_bio();
  Own<X509_STORE> store(X509_STORE_new());
  X509_STORE_add_cert(store.get(), cert.get());
  EXPECT_EQ(CMS_verify(cms.get(), nullptr, store.get(), content.get(), out.get(), CMS_BINARY), 1);
  EXPECT_EQ(bytes_of(out.get()), kContent);
  ERR_clear_error();
}

// Enveloped data both ways with belt-ctr256 and bign key transport.
TEST_P(BignCli, EnvelopedDataBothWays) {
  Pkey key = generate(level());
  Cert cert = self_signed(key.get(), nullptr, "recipient");
  write("cert.pem", pem_of(cert.get()));
  Bio kbio = mem_bio();
  ASSERT_EQ(PEM_write_bio_PrivateKey(kbio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr),
            1);
  write("key.pem", text_of(kbio.get()));
  write("content", kContent);

  // Theirs, opened here.
  ASSERT_TRUE(run("cms", "-encrypt -binary -belt-ctr256 -in " + path("content") +
                             " -outform DER -out " + path("env.der") + " " + path("cert.pem")));
  const Bytes env_der = read("env.der");
  Bio env = mem_bio(env_der);
  Own<CMS_ContentInfo> cms(d2i_CMS_bio(env.get(), nullptr));
  ASSERT_NE(cms, nullptr);
  Bio out = mem_bio();
  ASSERT_EQ(CMS_decrypt(cms.get(), key.get(), nullptr, nullptr, out.get(),
                        CMS_DEBUG_DECRYPT | CMS_BINARY),
            1);
  EXPECT_EQ(bytes_of(out.get()), kContent);

  // Ours, opened there.
  const unsigned flags = CMS_PARTIAL | CMS_BINARY | CMS_NOSMIMECAP;
  Own<CMS_ContentInfo> mine(
      CMS_encrypt(nullptr, nullptr, EVP_get_cipherbyname("belt-cfb256"), flags));
  ASSERT_NE(CMS_add1_recipient_cert(mine.get(), cert.get(), flags), nullptr);
  Bio in = mem_bio(kContent);
  ASSERT_EQ(CMS_final(mine.get(), in.get(), nullptr, flags), 1);
  write("mine.der", der(mine.get(), i2d_CMS_ContentInfo));
  ASSERT_TRUE(run("cms", "-decrypt -binary -inform DER -in " + path("mine.der") + " -inkey " +
                             path("key.pem") + " -out " + path("opened")));
  EXPECT_EQ(read("opened"), kContent);
  ERR_clear_error();
}

}  // namespace
}  // namespace bigntest
