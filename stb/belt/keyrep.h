// belt-keyrep (STB 34.101.31): key conversion by level and header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt {

// key: 16, 24 or 32 octets; level: 12; header: 16; out_len: 16, 24 or 32 and
// not above key_len. False (nothing written) otherwise.
bool keyrep(const std::uint8_t* key, std::size_t key_len, const std::uint8_t level[12],
            const std::uint8_t header[16], std::size_t out_len, std::uint8_t* out);

}  // namespace stb::belt
