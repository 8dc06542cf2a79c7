// The table-driven belt-block of table_belt.h under the checker: it must be
// reported, which shows that the checker can fail.
#include <cstdint>
#include <cstring>

#include "cases.h"
#include "marks.h"
#include "stb/belt/block.h"
#include "table_belt.h"

namespace ct {
namespace {

void table_block() {
  std::uint32_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::uint32_t block[4] = {9, 10, 11, 12};
  std::uint8_t key_octets[32], want[16], got[16];
  for (int i = 0; i < 32; ++i) key_octets[i] = static_cast<std::uint8_t>(key[i / 4] >> (8 * (i % 4)));
  for (int i = 0; i < 16; ++i) want[i] = static_cast<std::uint8_t>(block[i / 4] >> (8 * (i % 4)));
  stb::belt::Block reference;
  reference.set_key32(key_octets);
  reference.encrypt(want, want);
  secret(key, sizeof key);
  table_encrypt(key, block);
  reveal(block, sizeof block);
  for (int i = 0; i < 16; ++i) got[i] = static_cast<std::uint8_t>(block[i / 4] >> (8 * (i % 4)));
  expect(std::memcmp(got, want, sizeof want) == 0, "the table-driven belt-block");
}

}  // namespace

const Case kTableCases[] = {{"table-driven belt-block", table_block}, {nullptr, nullptr}};

}  // namespace ct
