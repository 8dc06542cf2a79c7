// Lets the mode and MAC code reach the key words of a Block, so they can hand
// them to the multi-block kernels of kernels.h directly.
#pragma once

#include <cstdint>

#include "stb/belt/block.h"

namespace stb::belt::detail {

struct BlockAccess {
  static const std::uint32_t* key(const Block& b) { return b.k_; }
};

}  // namespace stb::belt::detail
