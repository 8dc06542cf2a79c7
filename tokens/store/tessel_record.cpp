#include "tokens/store/tessel_record.h"

#include <mutex>

namespace tokens {

void EnsureNationalAlgorithms() {
  static std::once_flag once;
  std::call_once(once, [] { Record(CreateDigest_Init("belt-hash")); });
}

}  // namespace tokens
