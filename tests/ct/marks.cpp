#include "marks.h"

#include <openssl/rand.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// memcheck's client requests are C macros with C-style casts.
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#include <valgrind/memcheck.h>

namespace ct {

void secret(const void* p, std::size_t n) {
  VALGRIND_MAKE_MEM_UNDEFINED(p, n);
}

void reveal(const void* p, std::size_t n) {
  VALGRIND_MAKE_MEM_DEFINED(p, n);
}

bool under_valgrind() {
  return RUNNING_ON_VALGRIND != 0;
}

bool traced(const void* p, std::size_t n) {
  if (!under_valgrind()) return true;
  std::vector<unsigned char> bits(n);
  if (VALGRIND_GET_VBITS(p, bits.data(), n) != 1) return false;
  for (const unsigned char b : bits)
    if (b != 0) return true;
  return false;
}

void expect(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "ct_check: %s failed\n", what);
  std::exit(2);
}

Bytes filled(std::size_t n, unsigned seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 131 + seed * 29 + 7);
  return b;
}

namespace {

// A counter stream: the checker needs secret-looking octets, not entropy.
unsigned long g_counter = 1;

int marked_bytes(unsigned char* buf, int num) {
  for (int i = 0; i < num; ++i) {
    g_counter = g_counter * 6364136223846793005ul + 1442695040888963407ul;
    buf[i] = static_cast<unsigned char>(g_counter >> 56);
  }
  secret(buf, static_cast<std::size_t>(num));
  return 1;
}

int marked_status() {
  return 1;
}

const RAND_METHOD kMarked = {nullptr, marked_bytes, nullptr, nullptr, marked_bytes, marked_status};

}  // namespace

void mark_random_output() {
  expect(RAND_set_rand_method(&kMarked) == 1, "installing the marking random method");
}

}  // namespace ct
