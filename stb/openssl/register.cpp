// STB_register(): the in-process registration.
#include <openssl/crypto.h>

#include "stb/openssl/engine.h"
#include "stb/openssl/rdrand_engine.h"
#include "stb/openssl/setup.h"
#include "stb/stb.h"

namespace {

CRYPTO_ONCE once = CRYPTO_ONCE_STATIC_INIT;
int registered = 0;

void run() {
  registered = stb::openssl::prepare_process() && stb::openssl::add_engine() ? 1 : 0;
  // The processor's generator is an extra: without it the algorithms work.
  if (registered) static_cast<void>(stb::openssl::add_rdrand_engine());
}

}  // namespace

extern "C" int STB_register(void) {
  return CRYPTO_THREAD_run_once(&once, run) ? registered : 0;
}
