// The token file reader (token.json): anything it accepts writes back to a
// file it reads as the same state.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tokens/store/token_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto state =
      tokens::ParseTokenState(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!state) return 0;
  const auto again = tokens::ParseTokenState(tokens::SerializeTokenState(*state));
  if (!again || again->serial != state->serial || again->kind != state->kind ||
      again->iterations != state->iterations || again->salt != state->salt ||
      again->verifier != state->verifier || again->contents != state->contents ||
      again->failures != state->failures || again->refuse_until_ms != state->refuse_until_ms ||
      again->locked != state->locked)
    __builtin_trap();
  return 0;
}
