#include "ca_support.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace catest {
namespace {

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

const EVP_MD* default_md(EVP_PKEY* key) {
  int nid = NID_undef;
  check(EVP_PKEY_get_default_digest_nid(key, &nid) > 0, "default digest");
  return EVP_get_digestbynid(nid);
}

}  // namespace

std::string request_pem(EVP_PKEY* key, const std::vector<NameEntry>& subject,
                        const std::vector<std::pair<int, std::string>>& extensions) {
  Req req(X509_REQ_new());
  check(req && X509_REQ_set_pubkey(req.get(), key), "request");
  X509_NAME* name = X509_REQ_get_subject_name(req.get());
  for (const NameEntry& e : subject) {
    check(X509_NAME_add_entry_by_txt(name, e.field.c_str(), e.type,
                                     reinterpret_cast<const unsigned char*>(e.value.data()),
                                     static_cast<int>(e.value.size()), -1, 0) == 1,
          "subject entry");
  }
  if (!extensions.empty()) {
    STACK_OF(X509_EXTENSION)* exts = sk_X509_EXTENSION_new_null();
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, nullptr, nullptr, req.get(), nullptr, 0);
    for (const auto& [nid, value] : extensions) {
      X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
      check(ext != nullptr && sk_X509_EXTENSION_push(exts, ext) > 0, "request extension");
    }
    check(X509_REQ_add_extensions(req.get(), exts) == 1, "request extensions");
    sk_X509_EXTENSION_pop_free(exts, X509_EXTENSION_free);
  }
  check(X509_REQ_sign(req.get(), key, default_md(key)) > 0, "request signature");
  return pem_of(req.get());
}

Case issue(const Authority& ca, const std::string& request, const char* config, const char* serial,
           int32_t form) {
  const int32_t config_len = config == nullptr ? 0 : static_cast<int32_t>(std::strlen(config));
  return Case(CreateCertificate(bytes(request), len(request), bytes(ca.signer.key_pem),
                                len(ca.signer.key_pem), nullptr, bytes(ca.signer.cert_pem),
                                len(ca.signer.cert_pem),
                                reinterpret_cast<const unsigned char*>(config), config_len,
                                bytes(ca.index), len(ca.index), serial, 0, form));
}

std::string index_of(const CRYPTOCASE* rec) {
  if (rec->index_db == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(rec->index_db),
                     static_cast<std::size_t>(rec->index_db_len));
}

std::vector<std::vector<std::string>> rows_of(const std::string& index) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(index);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

Cert cert_of(const CRYPTOCASE* rec) {
  const Bytes b = data_of(rec);
  const unsigned char* p = b.data();
  if (X509* der = d2i_X509(nullptr, &p, static_cast<long>(b.size()))) return Cert(der);
  BIO* bio = BIO_new_mem_buf(b.data(), static_cast<int>(b.size()));
  Cert pem(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  return pem;
}

Crl crl_of(const CRYPTOCASE* rec) {
  const Bytes b = data_of(rec);
  const unsigned char* p = b.data();
  if (X509_CRL* der = d2i_X509_CRL(nullptr, &p, static_cast<long>(b.size()))) return Crl(der);
  BIO* bio = BIO_new_mem_buf(b.data(), static_cast<int>(b.size()));
  Crl pem(PEM_read_bio_X509_CRL(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  return pem;
}

std::string oneline(const X509_NAME* name) {
  char* text = X509_NAME_oneline(name, nullptr, 0);
  std::string out = text != nullptr ? text : "";
  OPENSSL_free(text);
  return out;
}

long seconds_from_now(const ASN1_TIME* t) {
  int days = 0;
  int secs = 0;
  check(ASN1_TIME_diff(&days, &secs, nullptr, t) == 1, "time difference");
  return days * 86400L + secs;
}

long seconds_between(const ASN1_TIME* from, const ASN1_TIME* to) {
  int days = 0;
  int secs = 0;
  check(ASN1_TIME_diff(&days, &secs, from, to) == 1, "time difference");
  return days * 86400L + secs;
}

std::string config(const std::string& lines, const std::string& more) {
  return "[ certificate ]\n" + lines + "\n" + more;
}

}  // namespace catest
