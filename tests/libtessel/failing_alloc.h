// A replaced OpenSSL allocator for the tests that watch memory: the n-th
// allocation can be made to fail, and chosen blocks are checked for zeros
// when they are released. It is installed before OpenSSL allocates anything,
// so the programs using it are programs of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>

#include "libtessel/tessel.h"

namespace tesseltest {

// Whether the allocator took (OpenSSL refuses it after its first allocation).
bool allocator_installed();

// Checks the first n octets of block p when it is released.
void watch(const void* p, std::size_t n);
// Whether watched block p has been released, all zero.
bool was_wiped(const void* p);

// Runs op with the n-th allocation failing, for n = 0, 1, ... until op gets
// through untouched; answers the statuses seen on the way. Successful
// results must pass output_ok; no result may keep a working context.
std::set<int32_t> fail_each_allocation(const std::function<CRYPTOCASE*()>& op,
                                       const std::function<bool(const CRYPTOCASE*)>& output_ok);

}  // namespace tesseltest
