// What the processor offers, asked of it directly (the tests check the
// library's own detection against this).
#pragma once

namespace testsupport {

// The RDRAND instruction (CPUID leaf 1, ECX bit 30).
bool processor_has_rdrand();

}  // namespace testsupport
