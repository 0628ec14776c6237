#pragma once

// Sets and reads the processor's record of whether the upper halves of the AVX registers are in use
// (bit 2 of XINUSE, read with XGETBV 1): the tests of the code that clears them before long runs of
// SSE instructions.
#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace zp::test {

#if defined(__x86_64__) && defined(__GNUC__)
inline bool CanProbeUpperVectorState()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __builtin_cpu_supports("avx") && __get_cpuid_count(0xd, 1, &a, &b, &c, &d) && (a & 4u) != 0;
}

// Leaves the upper halves in use, as Qt's string hash does on processors with VAES. Not compiled for
// AVX, which would have the compiler clear them again on return.
__attribute__((noinline)) inline void UseUpperVectorState()
{
    asm volatile("vpcmpeqd %%ymm15, %%ymm15, %%ymm15" ::: "xmm15");
}

inline bool UpperVectorStateInUse()
{
    unsigned low = 0, high = 0;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return (low & 4u) != 0;
}
#else
inline bool CanProbeUpperVectorState()
{
    return false;
}
inline void UseUpperVectorState() { }
inline bool UpperVectorStateInUse()
{
    return false;
}
#endif

} // namespace zp::test
