#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace zp {

// Marks the upper halves of the AVX registers unused again (vzeroupper). Code that leaves them in
// use makes every later SSE instruction of the thread wait on them (on Intel's processors); Qt's
// string hash does so where the processor has VAES, and after it SQLCipher's AES and SHA-1, zlib
// and Qt's text conversions ran at half to four fifths of their speed. Called where long runs of
// such code start: the database's statements and blob chunks, the encoder's blocks, the reading and
// writing of board files, each mod. Nothing on a processor without AVX, which has no such state.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"), noinline)) inline void ZeroUpperAvxHalves()
{
    _mm256_zeroupper();
}

inline void ClearUpperVectorState()
{
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        ZeroUpperAvxHalves();
}
#else
inline void ClearUpperVectorState() { }
#endif

} // namespace zp
