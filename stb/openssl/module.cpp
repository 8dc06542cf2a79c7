// The loadable ENGINE module (engine id "stb") for programs such as the
// openssl command: `-engine /path/to/libstbengine.so`. Only the two entry
// points below leave the module.
#include <openssl/engine.h>

#include <cstring>

#include "stb/openssl/engine.h"
#include "stb/openssl/setup.h"

namespace {

int bind(ENGINE* e, const char* id) {
  if (id != nullptr && std::strcmp(id, stb::openssl::kEngineId) != 0) return 0;
  // The provider comes along, so that the program's fetch-based code paths
  // find the digests too.
  return stb::openssl::prepare_process() && stb::openssl::bind_engine(e) ? 1 : 0;
}

}  // namespace

// The loader looks the entry points up by their C names; everything else is
// built hidden.
#pragma GCC visibility push(default)
extern "C" {
IMPLEMENT_DYNAMIC_CHECK_FN()
IMPLEMENT_DYNAMIC_BIND_FN(bind)
}
#pragma GCC visibility pop
