#pragma once
// Wall-clock time in milliseconds. The refusal after a wrong password is kept
// in the token's files, so every process that opens the token sees it; tests
// of the storage library hand in a clock of their own.

#include <chrono>
#include <cstdint>

namespace tokens {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMs() = 0;
};

class SystemClock : public Clock {
 public:
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace tokens
