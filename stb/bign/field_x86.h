// The product of two 4-limb elements modulo 2^256 - C with the x86-64
// instructions MULX, ADCX and ADOX (BMI2 and ADX, processors from 2014 on):
// two carry chains at once, about half the instructions of the portable
// product. A fixed instruction sequence: no branch, no address from the
// values. The portable code in field.h runs where the processor lacks the
// instructions, and under valgrind (which hides ADX). Internal to bign.
#pragma once

#include <atomic>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#define STB_BIGN_X86_MUL 1
#else
#define STB_BIGN_X86_MUL 0
#endif

namespace stb::bign::field::x86 {

#if STB_BIGN_X86_MUL

// Leaf 7's feature bits (clang 14 knows no "adx" for __builtin_cpu_supports).
inline bool processor_has_adx() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_BMI2) != 0 && (b & bit_ADX) != 0;
}

// Whether mul4 runs; tests switch it off to cover the portable product.
inline std::atomic<bool> g_enabled{processor_has_adx()};

inline bool enabled() {
  return g_enabled.load(std::memory_order_relaxed);
}

// r = a b mod 2^256 - C, weakly reduced (below 2^256). r may alias a or b.
template <std::uint64_t C>
inline void mul4(std::uint64_t r[4], const std::uint64_t a[4], const std::uint64_t b[4]) {
  std::uint64_t low[3];  // the finished low limbs of the product, until the reduction
  std::uint64_t t0, t1, t2, t3, t4, lo, hi, spare;
  // volatile: the results go to memory, not to the outputs named below.
  __asm__ volatile(
      // row 0: b0 a
      "movq 0(%[b]), %%rdx\n\t"
      "mulxq 0(%[a]), %[t0], %[t1]\n\t"
      "mulxq 8(%[a]), %[lo], %[t2]\n\t"
      "addq %[lo], %[t1]\n\t"
      "mulxq 16(%[a]), %[lo], %[t3]\n\t"
      "adcq %[lo], %[t2]\n\t"
      "mulxq 24(%[a]), %[lo], %[t4]\n\t"
      "adcq %[lo], %[t3]\n\t"
      "adcq $0, %[t4]\n\t"
      "movq %[t0], 0(%[low])\n\t"
      // row 1: b1 a into t1..t4, t0 (low halves on CF, high halves on OF)
      "movq 8(%[b]), %%rdx\n\t"
      "xorl %%eax, %%eax\n\t"
      "movq %%rax, %[t0]\n\t"
      "mulxq 0(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t1]\n\t"
      "adoxq %[hi], %[t2]\n\t"
      "mulxq 8(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t2]\n\t"
      "adoxq %[hi], %[t3]\n\t"
      "mulxq 16(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t3]\n\t"
      "adoxq %[hi], %[t4]\n\t"
      "mulxq 24(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t4]\n\t"
      "adoxq %[hi], %[t0]\n\t"
      "adcxq %%rax, %[t0]\n\t"
      "movq %[t1], 8(%[low])\n\t"
      // row 2: b2 a into t2..t4, t0, t1
      "movq 16(%[b]), %%rdx\n\t"
      "xorl %%eax, %%eax\n\t"
      "movq %%rax, %[t1]\n\t"
      "mulxq 0(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t2]\n\t"
      "adoxq %[hi], %[t3]\n\t"
      "mulxq 8(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t3]\n\t"
      "adoxq %[hi], %[t4]\n\t"
      "mulxq 16(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t4]\n\t"
      "adoxq %[hi], %[t0]\n\t"
      "mulxq 24(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t0]\n\t"
      "adoxq %[hi], %[t1]\n\t"
      "adcxq %%rax, %[t1]\n\t"
      "movq %[t2], 16(%[low])\n\t"
      // row 3: b3 a into t3, t4, t0, t1, t2
      "movq 24(%[b]), %%rdx\n\t"
      "xorl %%eax, %%eax\n\t"
      "movq %%rax, %[t2]\n\t"
      "mulxq 0(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t3]\n\t"
      "adoxq %[hi], %[t4]\n\t"
      "mulxq 8(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t4]\n\t"
      "adoxq %[hi], %[t0]\n\t"
      "mulxq 16(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t0]\n\t"
      "adoxq %[hi], %[t1]\n\t"
      "mulxq 24(%[a]), %[lo], %[hi]\n\t"
      "adcxq %[lo], %[t1]\n\t"
      "adoxq %[hi], %[t2]\n\t"
      "adcxq %%rax, %[t2]\n\t"
      // The product is low[0..2], t3 | t4, t0, t1, t2. Fold the high half in
      // as C times it: limb j gets lo(C h_j) and hi(C h_(j-1)).
      "movq %[C], %%rdx\n\t"
      "xorl %%eax, %%eax\n\t"
      "mulxq %[t4], %[lo], %[hi]\n\t"
      "adcxq 0(%[low]), %[lo]\n\t"
      "adoxq 8(%[low]), %[hi]\n\t"
      "mulxq %[t0], %[spare], %[t4]\n\t"
      "adcxq %[spare], %[hi]\n\t"
      "adoxq 16(%[low]), %[t4]\n\t"
      "mulxq %[t1], %[spare], %[t0]\n\t"
      "adcxq %[spare], %[t4]\n\t"
      "adoxq %[t3], %[t0]\n\t"
      "mulxq %[t2], %[spare], %[t1]\n\t"
      "adcxq %[spare], %[t0]\n\t"
      "adoxq %%rax, %[t1]\n\t"
      "adcxq %%rax, %[t1]\n\t"
      // t1 (below C + 2) times C folds in once more; a carry out of that
      // is 2^256 = C more, which cannot carry again.
      "imulq %[C], %[t1], %[t1]\n\t"
      "addq %[t1], %[lo]\n\t"
      "adcq $0, %[hi]\n\t"
      "adcq $0, %[t4]\n\t"
      "adcq $0, %[t0]\n\t"
      "sbbq %[t1], %[t1]\n\t"
      "andq %[C], %[t1]\n\t"
      "addq %[t1], %[lo]\n\t"
      "movq %[lo], 0(%[r])\n\t"
      "movq %[hi], 8(%[r])\n\t"
      "movq %[t4], 16(%[r])\n\t"
      "movq %[t0], 24(%[r])\n\t"
      : [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4),
        [lo] "=&r"(lo), [hi] "=&r"(hi), [spare] "=&r"(spare)
      : [a] "r"(a), [b] "r"(b), [r] "r"(r), [low] "r"(low), [C] "i"(C)
      : "rax", "rdx", "cc", "memory");
}

#endif

}  // namespace stb::bign::field::x86
