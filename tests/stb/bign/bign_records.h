// Shared helpers of the bign tests: the vector file, and the per-record
// fields turned into what the API takes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stb/bign/digest.h"
#include "support/vectors.h"

namespace bign_test {

using testsupport::Bytes;
using testsupport::Record;

// The published vectors, then records made by an independent model of the
// standard for every level (bign_cross.txt): reproducing those bytes means a
// signature or token made by either side opens on the other.
inline const std::vector<Record>& bign_vectors() {
  static const std::vector<Record> all = [] {
    std::vector<Record> v = testsupport::load_vectors("bign.txt");
    for (Record& r : testsupport::load_vectors("bign_cross.txt")) v.push_back(std::move(r));
    return v;
  }();
  return all;
}

inline unsigned level_of(const Record& r) {
  return static_cast<unsigned>(std::stoul(r.text("level")));
}

// The DER of the record's dotted hash_oid; the test fails for an unknown one.
inline Bytes hash_oid_der(const Record& r) {
  const stb::bign::HashInfo* info = stb::bign::hash_by_oid(r.text("hash_oid"));
  if (info == nullptr) {
    ADD_FAILURE() << r.where() << ": unknown hash OID " << r.text("hash_oid");
    return {};
  }
  return Bytes(info->der, info->der + stb::bign::kHashOidDerSize);
}

inline bool expects_ok(const Record& r) {
  return r.text("result") == "ok";
}

}  // namespace bign_test
