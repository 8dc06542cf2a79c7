// The seed corpora of the fuzz targets, built around the fixed authority.
#pragma once

#include <string>
#include <vector>

#include "seed_authority.h"

namespace seeds {

struct Seed {
  std::string target;
  std::string name;
  unsigned selector = 0;
  std::string payload;
  bool raw = false;  // written as is, for targets that take no selector byte
};

std::vector<Seed> make_corpus(const Authority& a);

// The parts of make_corpus: certificates, CRLs, requests, bundles and the
// CA's index and configuration texts; CMS messages, ciphertexts and the
// program's texts (base64, settings).
void ca_seeds(const Authority& a, std::vector<Seed>& out);
void message_seeds(const Authority& a, std::vector<Seed>& out);

template <class E>
unsigned sel(E e) {
  return static_cast<unsigned>(e);
}

}  // namespace seeds
