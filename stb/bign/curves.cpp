#include "stb/bign/curves.h"

namespace stb::bign {
namespace {

constexpr std::uint8_t nibble(char c) {
  return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10);
}

// Octets from uppercase hex text, written in memory order as the standard's
// tables print them; the rest of the array stays zero.
template <std::size_t N>
constexpr void octets(std::uint8_t (&out)[N], std::string_view hex) {
  for (std::size_t i = 0; i < hex.size() / 2 && i < N; ++i) {
    out[i] = static_cast<std::uint8_t>(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
  }
}

constexpr Curve make(unsigned level, const char* name, const char* oid, std::string_view p,
                     std::string_view a, std::string_view b, std::string_view q,
                     std::string_view y_g, std::string_view seed) {
  Curve c{level, level / 4, name, oid, {}, {}, {}, {}, {}, {}};
  octets(c.p, p);
  octets(c.a, a);
  octets(c.b, b);
  octets(c.q, q);
  octets(c.y_g, y_g);
  octets(c.seed, seed);
  return c;
}

constexpr Curve kCurves[] = {
    make(128, "bign-curve256v1", "1.2.112.0.2.0.34.101.45.3.1",
         "43FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "40FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "F1039CD66B7D2EB253928B976950F54CBEFBD8E4AB3AC1D2EDA8F315156CCE77",
         "07663D2699BF5A7EFC4DFB0DD68E5CD9FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "936A510418CF291E52F608C4663991785D83D651A3C9E45C9FD616FB3CFCF76B", "5E38010000000000"),
    make(192, "bign-curve384v1", "1.2.112.0.2.0.34.101.45.3.2",
         "C3FEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "C0FEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "64BF736823FCA7BC7CBDCEF3F0E2BD143A2E71E9F96A21A696B1FB0FBB482771"
         "D2345D65AB5A073320EF9C95E1DF753C",
         "B7A70CF33FDCB73D0AFFA4A6E7DA4680BB7BAF7303C4CC6CFEFFFFFFFFFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "51C433F731CB5EEAF9422A6B273E408455D3B1669EE74905A0FF86DC119A723A"
         "89BF2D437E1130639E9E2EA82482435D",
         "23AF000000000000"),
    make(256, "bign-curve512v1", "1.2.112.0.2.0.34.101.45.3.3",
         "C7FDFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "C4FDFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "909C13D6986934097AA2493A272286EA43A2AC878C003329955E24C4B5DC1127"
         "88B0ADDAE313CE1751255DDDEEA9C65B8958FD606A5D8CD8438C3B934459B46C",
         "F18E060D49ADFFDC32DF5695E5CA1B36F413212EB0EB6BF24E0098012C09C0B2"
         "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
         "BDEDEFCE6FAE92B7040D4CC9B983AA676122E8EE957377FFD26FFA0EE2DD7369"
         "DACACC001BF8EDD2E2BC61B3B341ABB0AB8FD1A0F7E682B1817603E47AFF26A8",
         "AE17020000000000"),
};

// The tables must be complete: a truncated hex line would silently leave
// high octets zero.
constexpr bool top_octet_set(const Curve& c) {
  return c.p[c.size - 1] != 0 && c.q[c.size - 1] != 0 && c.a[c.size - 1] != 0;
}
static_assert(top_octet_set(kCurves[0]) && top_octet_set(kCurves[1]) && top_octet_set(kCurves[2]));

}  // namespace

const Curve* curve(unsigned level) {
  for (const Curve& c : kCurves) {
    if (c.level == level) return &c;
  }
  return nullptr;
}

const Curve* curve_by_oid(std::string_view oid) {
  for (const Curve& c : kCurves) {
    if (oid == c.oid) return &c;
  }
  return nullptr;
}

const Curve* curve_by_name(std::string_view name) {
  for (const Curve& c : kCurves) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

}  // namespace stb::bign
