// Writes the fixtures, the seed corpora and the dictionary of national
// object identifiers into a tests/fuzz folder:
//   fuzz_make_seeds <tests/fuzz folder>
// Every corpus file is the selector byte of its entry point followed by the
// payload, as the targets read them.
#include <openssl/objects.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "seed_authority.h"
#include "seed_corpus.h"
#include "stb/openssl/objects.h"

namespace fs = std::filesystem;

namespace {

void write_file(const fs::path& path, std::string_view content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// Each identifier as a DER object (tag, length, content) and as the bare
// content octets that a mutation may drop into an existing object.
std::string oid_dictionary() {
  std::string dict =
      "# Object identifiers of the national algorithms (written by fuzz_make_seeds)\n";
  auto escaped = [](const unsigned char* p, int n) {
    std::string s;
    char hex[5];
    for (int i = 0; i < n; ++i) {
      std::snprintf(hex, sizeof hex, "\\x%02X", p[i]);
      s += hex;
    }
    return s;
  };
  for (const auto* o = stb::openssl::objects_begin(); o != stb::openssl::objects_end(); ++o) {
    ASN1_OBJECT* obj = OBJ_txt2obj(o->oid, 1);
    unsigned char* der = nullptr;
    const int n = obj != nullptr ? i2d_ASN1_OBJECT(obj, &der) : 0;
    if (n > 2) {
      std::string name = o->short_name;
      for (char& c : name)
        if (c == '-') c = '_';
      dict += name + "=\"" + escaped(der, n) + "\"\n";
      dict += name + "_content=\"" + escaped(der + 2, n - 2) + "\"\n";
    }
    OPENSSL_free(der);
    ASN1_OBJECT_free(obj);
  }
  return dict;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <tests/fuzz folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const seeds::Authority a = seeds::make_authority();
  const std::pair<const char*, const std::string*> fixtures[] = {
      {"ca.key", &a.ca.key},
      {"ca.crt", &a.ca_cert},
      {"ca.cnf", &a.issue_config},
      {"ca.p7b", &a.bundle},
      {"ca-nocrl.p7b", &a.bundle_no_crl},
      {"leaf.key", &a.leaf.key},
      {"leaf.crt", &a.leaf_cert},
      {"leaf.req", &a.leaf_request},
      {"index-revoked.txt", &a.index_revoked}};
  for (const auto& [name, content] : fixtures) write_file(root / "fixtures" / name, *content);
  write_file(root / "dict" / "national_oids.dict", oid_dictionary());

  const std::vector<seeds::Seed> corpus = seeds::make_corpus(a);
  // The generated seeds replace the earlier ones of their targets.
  std::set<std::string> targets;
  for (const seeds::Seed& s : corpus) targets.insert(s.target);
  for (const std::string& t : targets) fs::remove_all(root / "corpus" / t);
  std::size_t files = 0;
  for (const seeds::Seed& s : corpus) {
    const std::string bytes = std::string(1, static_cast<char>(s.selector)) + s.payload;
    write_file(root / "corpus" / s.target / s.name, s.raw ? s.payload : bytes);
    ++files;
  }
  std::printf("wrote %zu seeds\n", files);
  return 0;
}
