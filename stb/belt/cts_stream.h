// Streaming core shared by ECB and CBC. Their last two pieces take the
// ciphertext-stealing route and the message length is known only at
// final(), so 16..31 input octets are always kept back. Processed output that
// does not fit into what update() was given waits in a queue (under 16 octets)
// and goes out first next time.
#pragma once

#include <openssl/crypto.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "stb/belt/block.h"

namespace stb::belt::detail {

// The buffers of one stream; the mode object owns them.
struct CtsState {
  std::uint8_t* buf;  // 2 * kBlockSize
  std::size_t& buffered;
  std::uint8_t* queue;  // kBlockSize
  std::size_t& queued;
};

// in and out must not overlap. blocks(in, out, n) runs the mode over n whole
// blocks in order (its own in == out allowed).
template <class Blocks>
std::size_t cts_update_disjoint(CtsState st, Blocks& blocks, const std::uint8_t* in,
                                std::size_t len, std::uint8_t* out) {
  std::size_t written = 0;
  std::size_t room = len;
  if (st.queued != 0) {
    const std::size_t k = std::min(st.queued, room);
    std::memcpy(out, st.queue, k);
    std::memmove(st.queue, st.queue + k, st.queued - k);
    st.queued -= k;
    written = k;
    room -= k;
  }
  const std::size_t avail = st.buffered + len;
  std::size_t nproc = avail >= 2 * kBlockSize ? (avail - kBlockSize) / kBlockSize : 0;
  std::uint8_t blk[kBlockSize];
  auto emit = [&] {
    const std::size_t k = std::min(room, kBlockSize);
    std::memcpy(out + written, blk, k);
    written += k;
    room -= k;
    std::memcpy(st.queue + st.queued, blk + k, kBlockSize - k);
    st.queued += kBlockSize - k;
  };
  // Blocks that begin in the kept-back input.
  while (nproc != 0 && st.buffered != 0) {
    if (st.buffered < kBlockSize) {
      const std::size_t take = kBlockSize - st.buffered;
      std::memcpy(st.buf + st.buffered, in, take);
      in += take;
      len -= take;
      st.buffered = kBlockSize;
    }
    blocks(st.buf, blk, 1);
    st.buffered -= kBlockSize;
    std::memmove(st.buf, st.buf + kBlockSize, st.buffered);
    emit();
    --nproc;
  }
  // Whole blocks straight from in to out; at most one more via the queue.
  if (nproc != 0) {
    const std::size_t direct = std::min(nproc, room / kBlockSize);
    blocks(in, out + written, direct);
    in += direct * kBlockSize;
    len -= direct * kBlockSize;
    written += direct * kBlockSize;
    room -= direct * kBlockSize;
    for (nproc -= direct; nproc != 0; --nproc) {
      blocks(in, blk, 1);
      in += kBlockSize;
      len -= kBlockSize;
      emit();
    }
  }
  std::memcpy(st.buf + st.buffered, in, len);
  st.buffered += len;
  OPENSSL_cleanse(blk, sizeof blk);
  return written;
}

// Any in/out, in == out included: when they overlap, the input is copied out
// chunk by chunk first. The output never runs ahead of the input consumed, so
// each chunk only overwrites octets already copied.
template <class Blocks>
std::size_t cts_update(CtsState st, Blocks& blocks, const std::uint8_t* in, std::size_t len,
                       std::uint8_t* out) {
  const auto a = reinterpret_cast<std::uintptr_t>(in);
  const auto b = reinterpret_cast<std::uintptr_t>(out);
  if (len == 0 || a + len <= b || b + len <= a)
    return cts_update_disjoint(st, blocks, in, len, out);
  std::uint8_t stage[512];
  std::size_t written = 0;
  while (len != 0) {
    const std::size_t n = std::min(len, sizeof stage);
    std::memcpy(stage, in, n);
    written += cts_update_disjoint(st, blocks, stage, n, out + written);
    in += n;
    len -= n;
  }
  OPENSSL_cleanse(stage, sizeof stage);
  return written;
}

// tail(buf, n, out) finishes the last n (16..31) octets. False, and the stream
// emptied, when the whole input was under one block.
template <class Tail>
bool cts_final(CtsState st, Tail& tail, std::uint8_t* out) {
  const bool ok = st.buffered >= kBlockSize;
  if (ok) {
    std::memcpy(out, st.queue, st.queued);
    tail(st.buf, st.buffered, out + st.queued);
  }
  OPENSSL_cleanse(st.buf, 2 * kBlockSize);
  OPENSSL_cleanse(st.queue, kBlockSize);
  st.buffered = 0;
  st.queued = 0;
  return ok;
}

}  // namespace stb::belt::detail
