#include "stb/openssl/bign_params.h"

#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/objects.h>

#include <cstring>

#include "stb/openssl/bign_key.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kOid = 0x06;
constexpr std::uint8_t kSequence = 0x30;

// DER of bign-primefield, content only.
constexpr std::uint8_t kPrimefield[] = {0x2A, 0x70, 0x00, 0x02, 0x00, 0x22, 0x65, 0x2D, 0x04, 0x01};

// A cursor over DER: read() takes the next element if it has the tag,
// with a minimal definite length that fits.
struct Der {
  const std::uint8_t* p = nullptr;
  std::size_t n = 0;

  bool read(std::uint8_t tag, Der& content) {
    if (n < 2 || p[0] != tag) return false;
    std::size_t len = p[1];
    std::size_t header = 2;
    if (len & 0x80) {
      const std::size_t k = len & 0x7F;
      if (k == 0 || k > 2 || n < 2 + k) return false;
      len = 0;
      for (std::size_t i = 0; i < k; ++i) len = len << 8 | p[2 + i];
      if (len < 0x80 || (k == 2 && len < 0x100)) return false;
      header += k;
    }
    if (n - header < len) return false;
    content = {p + header, len};
    p += header + len;
    n -= header + len;
    return true;
  }

  bool equals(const std::uint8_t* v, std::size_t len) const {
    return n == len && std::memcmp(p, v, len) == 0;
  }
};

// The magnitude of a positive, minimally encoded INTEGER.
bool magnitude(Der c, Der& out) {
  if (c.n == 0 || (c.p[0] & 0x80)) return false;
  if (c.n > 1 && c.p[0] == 0) {
    if (!(c.p[1] & 0x80)) return false;
    ++c.p;
    --c.n;
  }
  out = c;
  return true;
}

void reverse_into(const Der& big_endian, std::size_t size, std::uint8_t* le) {
  std::memset(le, 0, size);
  for (std::size_t i = 0; i < big_endian.n; ++i) le[i] = big_endian.p[big_endian.n - 1 - i];
}

bool integer_le(const Der& c, std::size_t size, std::uint8_t* out) {
  Der m;
  if (!magnitude(c, m) || m.n > size) return false;
  reverse_into(m, size, out);
  return true;
}

bool octets(Der& in, std::size_t size, std::uint8_t* out) {
  Der c;
  if (!in.read(kOctetString, c) || c.n != size) return false;
  std::memcpy(out, c.p, size);
  return true;
}

bool is_one(const Der& c) {
  return c.n == 1 && c.p[0] == 1;
}

void put(Bytes& out, std::uint8_t tag, const Bytes& content) {
  out.push_back(tag);
  const std::size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 0x100) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
}

Bytes integer_of(const std::uint8_t* le, std::size_t size) {
  std::size_t n = size;
  while (n > 1 && le[n - 1] == 0) --n;
  Bytes v;
  if (le[n - 1] & 0x80) v.push_back(0);
  for (std::size_t i = n; i-- > 0;) v.push_back(le[i]);
  return v;
}

}  // namespace

bool parse_ec_params(const std::uint8_t* der, std::size_t len, EcParams& out) {
  Der in{der, len}, body, version, field, field_type, p, curve, q, cofactor;
  if (!in.read(kSequence, body) || in.n != 0) return false;
  if (!body.read(kInteger, version) || !is_one(version)) return false;
  if (!body.read(kSequence, field) || !field.read(kOid, field_type) ||
      !field_type.equals(kPrimefield, sizeof kPrimefield) || !field.read(kInteger, p) ||
      field.n != 0) {
    return false;
  }
  Der p_mag;
  if (!magnitude(p, p_mag) || !bign::valid_level(static_cast<unsigned>(4 * p_mag.n))) return false;
  EcParams r;
  r.level = static_cast<unsigned>(4 * p_mag.n);
  r.size = p_mag.n;
  reverse_into(p_mag, r.size, r.p);

  Der seed;
  if (!body.read(kSequence, curve) || !octets(curve, r.size, r.a) || !octets(curve, r.size, r.b) ||
      !curve.read(kBitString, seed) || curve.n != 0 || seed.n != 9 || seed.p[0] != 0) {
    return false;
  }
  std::memcpy(r.seed, seed.p + 1, 8);
  if (!octets(body, r.size, r.y_g) || !body.read(kInteger, q) || !integer_le(q, r.size, r.q)) {
    return false;
  }
  if (body.n != 0) {
    if (!body.read(kInteger, cofactor) || !is_one(cofactor) || body.n != 0) return false;
    r.has_cofactor = true;
  }
  out = r;
  return true;
}

Bytes encode_ec_params(const EcParams& params) {
  const std::size_t n = params.size;
  Bytes field, curve, body, out;
  put(field, kOid, Bytes(std::begin(kPrimefield), std::end(kPrimefield)));
  put(field, kInteger, integer_of(params.p, n));
  put(curve, kOctetString, Bytes(params.a, params.a + n));
  put(curve, kOctetString, Bytes(params.b, params.b + n));
  Bytes seed{0};
  seed.insert(seed.end(), params.seed, params.seed + 8);
  put(curve, kBitString, seed);
  put(body, kInteger, {1});
  put(body, kSequence, field);
  put(body, kSequence, curve);
  put(body, kOctetString, Bytes(params.y_g, params.y_g + n));
  put(body, kInteger, integer_of(params.q, n));
  if (params.has_cofactor) put(body, kInteger, {1});
  put(out, kSequence, body);
  return out;
}

EcParams ec_params_of(const bign::Curve& curve, bool with_cofactor) {
  EcParams r;
  r.level = curve.level;
  r.size = curve.size;
  std::memcpy(r.p, curve.p, sizeof r.p);
  std::memcpy(r.a, curve.a, sizeof r.a);
  std::memcpy(r.b, curve.b, sizeof r.b);
  std::memcpy(r.q, curve.q, sizeof r.q);
  std::memcpy(r.y_g, curve.y_g, sizeof r.y_g);
  std::memcpy(r.seed, curve.seed, sizeof r.seed);
  r.has_cofactor = with_cofactor;
  return r;
}

unsigned standard_level(const EcParams& params) {
  const bign::Curve* c = bign::curve(params.level);
  if (c == nullptr) return 0;
  const std::size_t n = c->size;
  // The seed only matters for re-deriving b, which we compare directly.
  const bool same = std::memcmp(params.p, c->p, n) == 0 && std::memcmp(params.a, c->a, n) == 0 &&
                    std::memcmp(params.b, c->b, n) == 0 && std::memcmp(params.q, c->q, n) == 0 &&
                    std::memcmp(params.y_g, c->y_g, n) == 0;
  return same ? c->level : 0;
}

unsigned level_of_domain_params(int ptype, const void* pval) {
  if (ptype == V_ASN1_OBJECT)
    return level_of_curve(OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(pval)));
  if (ptype != V_ASN1_SEQUENCE || pval == nullptr) return 0;
  const auto* seq = static_cast<const ASN1_STRING*>(pval);
  EcParams params;
  if (!parse_ec_params(ASN1_STRING_get0_data(seq),
                       static_cast<std::size_t>(ASN1_STRING_length(seq)), params)) {
    return 0;
  }
  return standard_level(params);
}

}  // namespace stb::openssl
