// The completion of a pre-signature: any bytes as the token's certificate,
// the completion block and the pre-signature (split by two leading length
// octets each), refused cleanly or completed into a SignedData that is
// completed again unchanged in its certificates.
#include <cstddef>
#include <cstdint>
#include <span>

#include "tokens/store/completion.h"

namespace {

// The next part: a two-octet big-endian length, then that many octets (or
// what is left).
std::span<const unsigned char> Take(std::span<const unsigned char>& input) {
  if (input.size() < 2) return {};
  std::size_t length = static_cast<std::size_t>(input[0]) << 8 | input[1];
  input = input.subspan(2);
  length = length < input.size() ? length : input.size();
  const auto part = input.first(length);
  input = input.subspan(length);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::span<const unsigned char> input(data, size);
  const auto certificate = Take(input);
  const auto block = Take(input);
  const tokens::Completion done = tokens::CompletePreSignature(input, block, certificate);
  if (done.error != tokens::CompletionError::kNone) return 0;
  const tokens::Completion again = tokens::AddBlockCertificates(done.cms, block);
  if (again.error != tokens::CompletionError::kNone || again.cms != done.cms) __builtin_trap();
  return 0;
}
