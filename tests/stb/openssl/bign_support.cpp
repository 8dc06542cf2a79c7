#include "bign_support.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <atomic>

#include "stb/stb.h"

namespace bigntest {

void Bign::SetUp() {
  ASSERT_EQ(STB_register(), 1);
}

std::string level_name(const ::testing::TestParamInfo<unsigned>& info) {
  std::string name = std::to_string(info.param);
  return name.insert(0, 1, 'l');
}

const char* params_letter(unsigned level) {
  return level == 128 ? "A" : level == 192 ? "B" : "C";
}

const char* curve_oid(unsigned level) {
  return level == 128   ? "1.2.112.0.2.0.34.101.45.3.1"
         : level == 192 ? "1.2.112.0.2.0.34.101.45.3.2"
                        : "1.2.112.0.2.0.34.101.45.3.3";
}

Pkey generate(unsigned level) {
  const EVP_PKEY_ASN1_METHOD* ameth = EVP_PKEY_asn1_find_str(nullptr, "bign-pubkey", -1);
  EXPECT_NE(ameth, nullptr);
  if (ameth == nullptr) return nullptr;
  ERR_clear_error();
  int id = NID_undef;
  EXPECT_EQ(EVP_PKEY_asn1_get0_info(&id, nullptr, nullptr, nullptr, nullptr, ameth), 1);
  PkeyCtx ctx(EVP_PKEY_CTX_new_id(id, nullptr));
  EXPECT_NE(ctx, nullptr);
  if (ctx == nullptr) return nullptr;
  EXPECT_GT(EVP_PKEY_keygen_init(ctx.get()), 0);
  EXPECT_GT(EVP_PKEY_CTX_ctrl_str(ctx.get(), "params", params_letter(level)), 0);
  EVP_PKEY* key = nullptr;
  EXPECT_GT(EVP_PKEY_keygen(ctx.get(), &key), 0);
  return Pkey(key);
}

std::vector<Record> bign_records(const std::string& alg) {
  static const std::vector<Record> all = testsupport::load_vectors("bign.txt");
  return testsupport::records_of(all, alg);
}

Bio mem_bio() {
  return Bio(BIO_new(BIO_s_mem()));
}

Bio mem_bio(const std::string& data) {
  return Bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
}

Bio mem_bio(const Bytes& data) {
  return Bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
}

std::string text_of(BIO* bio) {
  char* p = nullptr;
  const long len = BIO_get_mem_data(bio, &p);
  return len > 0 ? std::string(p, static_cast<std::size_t>(len)) : std::string();
}

Bytes bytes_of(BIO* bio) {
  const std::string s = text_of(bio);
  return Bytes(s.begin(), s.end());
}

namespace {

std::atomic<long> next_serial{1};

void add_ext(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  ASSERT_NE(ext, nullptr) << OBJ_nid2sn(nid);
  EXPECT_EQ(X509_add_ext(cert, ext, -1), 1);
  X509_EXTENSION_free(ext);
}

Cert make(EVP_PKEY* subject_key, X509* issuer, EVP_PKEY* signer, const EVP_MD* md, const char* cn,
          bool ca) {
  Cert x(X509_new());
  EXPECT_EQ(X509_set_version(x.get(), X509_VERSION_3), 1);
  ASN1_INTEGER_set(X509_get_serialNumber(x.get()), next_serial++);
  X509_gmtime_adj(X509_getm_notBefore(x.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(x.get()), 3600L * 24 * 365);
  X509_NAME* name = X509_get_subject_name(x.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn),
                             -1, -1, 0);
  X509_set_issuer_name(x.get(), issuer != nullptr ? X509_get_subject_name(issuer) : name);
  EXPECT_EQ(X509_set_pubkey(x.get(), subject_key), 1);
  X509* by = issuer != nullptr ? issuer : x.get();
  add_ext(x.get(), by, NID_subject_key_identifier, "hash");
  add_ext(x.get(), by, NID_authority_key_identifier, "keyid:always");
  if (ca) {
    add_ext(x.get(), by, NID_basic_constraints, "critical,CA:TRUE");
    add_ext(x.get(), by, NID_key_usage, "critical,keyCertSign,cRLSign,digitalSignature");
  } else {
    add_ext(x.get(), by, NID_key_usage, "critical,digitalSignature,keyEncipherment");
  }
  EXPECT_GT(X509_sign(x.get(), signer, md), 0);
  return x;
}

}  // namespace

Cert self_signed(EVP_PKEY* key, const EVP_MD* md, const char* common_name) {
  return make(key, nullptr, key, md, common_name, true);
}

Cert issued(EVP_PKEY* subject_key, X509* issuer, EVP_PKEY* issuer_key, const char* common_name) {
  return make(subject_key, issuer, issuer_key, nullptr, common_name, false);
}

}  // namespace bigntest
