#include "encoder/base64_kernels.h"

#include <algorithm>
#include <atomic>
#include <immintrin.h>

// The vector kernels are compiled for their instruction sets one function at a time, so the library
// still runs on any x86-64 processor and picks them at run time.
#define ZP_SSSE3 __attribute__((target("ssse3")))
#define ZP_AVX2 __attribute__((target("avx2")))

namespace zp {

namespace {

size_t EncodeNone(const uint8_t*, size_t, size_t, uint8_t*)
{
    return 0;
}

size_t DecodeNone(const uint8_t*, size_t, uint8_t*)
{
    return 0;
}

// Three bytes s0 s1 s2 in each 32-bit lane as s1 s0 s2 s1, so that each 16-bit half holds two
// of the four six-bit values in place for the multiplications below.
#define ZP_ENCODE_SPREAD 1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10
// The value to add to a six-bit value, by its class: 0 for 26-51, 1-10 for 52-61, 11 for 62, 12 for
// 63, 13 for 0-25.
#define ZP_ENCODE_OFFSETS                                                                                              \
    'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,      \
        '+' - 62, '/' - 63, 'A', 0, 0
// Decoding: a character is outside the alphabet when the classes of its low and high nibble meet.
#define ZP_DECODE_LOW_CLASSES                                                                                          \
    0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A
#define ZP_DECODE_HIGH_CLASSES                                                                                         \
    0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10
// The value to add to a character, by its high nibble ("/" shares "+"'s and takes the one before).
#define ZP_DECODE_SHIFTS 0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0
// The three bytes of each 32-bit lane, first byte first.
#define ZP_DECODE_PACK 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1

ZP_SSSE3 __m128i EncodeLanes128(__m128i in)
{
    in = _mm_shuffle_epi8(in, _mm_setr_epi8(ZP_ENCODE_SPREAD));
    const __m128i ac = _mm_mulhi_epu16(_mm_and_si128(in, _mm_set1_epi32(0x0fc0fc00)), _mm_set1_epi32(0x04000040));
    const __m128i bd = _mm_mullo_epi16(_mm_and_si128(in, _mm_set1_epi32(0x003f03f0)), _mm_set1_epi32(0x01000010));
    const __m128i values = _mm_or_si128(ac, bd);
    __m128i classes = _mm_subs_epu8(values, _mm_set1_epi8(51));
    const __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), values);
    classes = _mm_or_si128(classes, _mm_and_si128(upper, _mm_set1_epi8(13)));
    return _mm_add_epi8(values, _mm_shuffle_epi8(_mm_setr_epi8(ZP_ENCODE_OFFSETS), classes));
}

ZP_AVX2 __m256i EncodeLanes256(__m256i in)
{
    in = _mm256_shuffle_epi8(in, _mm256_setr_epi8(ZP_ENCODE_SPREAD, ZP_ENCODE_SPREAD));
    const __m256i ac
        = _mm256_mulhi_epu16(_mm256_and_si256(in, _mm256_set1_epi32(0x0fc0fc00)), _mm256_set1_epi32(0x04000040));
    const __m256i bd
        = _mm256_mullo_epi16(_mm256_and_si256(in, _mm256_set1_epi32(0x003f03f0)), _mm256_set1_epi32(0x01000010));
    const __m256i values = _mm256_or_si256(ac, bd);
    __m256i classes = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
    const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
    classes = _mm256_or_si256(classes, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
    return _mm256_add_epi8(values,
                           _mm256_shuffle_epi8(_mm256_setr_epi8(ZP_ENCODE_OFFSETS, ZP_ENCODE_OFFSETS), classes));
}

// 12 bytes at a time; each step reads 16. The last step may go past n (a line's end) and write
// characters beyond its own, which the caller writes over.
ZP_SSSE3 size_t EncodeSse(const uint8_t* src, size_t n, size_t readable, uint8_t* dst)
{
    size_t done = 0;
    for (; done < n && done + 16 <= readable; done += 12, dst += 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), EncodeLanes128(in));
    }
    return std::min(done, n);
}

// 24 bytes at a time, 12 in each half; each step reads 28 and, like the SSSE3 steps, may go past n.
ZP_AVX2 size_t EncodeAvx2(const uint8_t* src, size_t n, size_t readable, uint8_t* dst)
{
    size_t done = 0;
    for (; done < n && done + 28 <= readable; done += 24, dst += 32) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done + 12));
        const __m256i in = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), EncodeLanes256(in));
    }
    if (done < n)
        done += EncodeSse(src + done, n - done, readable - done, dst);
    return std::min(done, n);
}

size_t EncodeLinesNone(const uint8_t*, size_t, size_t, size_t, uint8_t*)
{
    return 0;
}

// Whole lines through one of the kernels above, which the callers below take in whole (flatten), so
// that its constants stay in registers from line to line: CR LF, then the characters of the line's
// bytes. Stops before a line the kernel cannot do whole (too near the end of what may be read).
template <size_t (*Encode)(const uint8_t*, size_t, size_t, uint8_t*)>
size_t EncodeLines(const uint8_t* src, size_t lines, size_t lineBytes, size_t readable, uint8_t* dst)
{
    const size_t lineChars = lineBytes / 3 * 4;
    size_t line = 0;
    for (; line < lines; ++line, src += lineBytes, readable -= lineBytes, dst += lineChars + 2) {
        dst[0] = '\r';
        dst[1] = '\n';
        if (Encode(src, lineBytes, readable, dst + 2) != lineBytes)
            break;
    }
    return line;
}

ZP_SSSE3 __attribute__((flatten)) size_t
EncodeLinesSse(const uint8_t* src, size_t lines, size_t lineBytes, size_t readable, uint8_t* dst)
{
    return EncodeLines<EncodeSse>(src, lines, lineBytes, readable, dst);
}

ZP_AVX2 __attribute__((flatten)) size_t
EncodeLinesAvx2(const uint8_t* src, size_t lines, size_t lineBytes, size_t readable, uint8_t* dst)
{
    return EncodeLines<EncodeAvx2>(src, lines, lineBytes, readable, dst);
}

// Six-bit values in, their 24 bits out in the low three bytes of each lane, first byte first.
ZP_SSSE3 size_t DecodeSse(const uint8_t* src, size_t n, uint8_t* dst)
{
    size_t done = 0;
    for (; done + 16 <= n; done += 16, dst += 12) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + done));
        const __m128i high = _mm_and_si128(_mm_srli_epi32(in, 4), _mm_set1_epi8(0x0f));
        const __m128i lowClass
            = _mm_shuffle_epi8(_mm_setr_epi8(ZP_DECODE_LOW_CLASSES), _mm_and_si128(in, _mm_set1_epi8(0x0f)));
        const __m128i highClass = _mm_shuffle_epi8(_mm_setr_epi8(ZP_DECODE_HIGH_CLASSES), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(lowClass, highClass), _mm_setzero_si128())) != 0xffff)
            break;
        const __m128i slash = _mm_cmpeq_epi8(in, _mm_set1_epi8('/'));
        const __m128i shift = _mm_shuffle_epi8(_mm_setr_epi8(ZP_DECODE_SHIFTS), _mm_add_epi8(slash, high));
        const __m128i values = _mm_add_epi8(in, shift);
        const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
        const __m128i lanes = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(lanes, _mm_setr_epi8(ZP_DECODE_PACK)));
    }
    return done;
}

// DecodeSse is taken in whole (flatten) for the last steps, so that they are encoded as AVX
// instructions too: a legacy SSE instruction right after AVX2 ones waits on the registers' upper
// halves, and a decode called once per line paid that wait on every line.
ZP_AVX2 __attribute__((flatten)) size_t DecodeAvx2(const uint8_t* src, size_t n, uint8_t* dst)
{
    size_t done = 0;
    for (; done + 32 <= n; done += 32, dst += 24) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + done));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(in, 4), _mm256_set1_epi8(0x0f));
        const __m256i lowClass = _mm256_shuffle_epi8(_mm256_setr_epi8(ZP_DECODE_LOW_CLASSES, ZP_DECODE_LOW_CLASSES),
                                                     _mm256_and_si256(in, _mm256_set1_epi8(0x0f)));
        const __m256i highClass
            = _mm256_shuffle_epi8(_mm256_setr_epi8(ZP_DECODE_HIGH_CLASSES, ZP_DECODE_HIGH_CLASSES), high);
        if (!_mm256_testz_si256(lowClass, highClass))
            break;
        const __m256i slash = _mm256_cmpeq_epi8(in, _mm256_set1_epi8('/'));
        const __m256i shift
            = _mm256_shuffle_epi8(_mm256_setr_epi8(ZP_DECODE_SHIFTS, ZP_DECODE_SHIFTS), _mm256_add_epi8(slash, high));
        const __m256i values = _mm256_add_epi8(in, shift);
        const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
        const __m256i lanes = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        const __m256i packed = _mm256_shuffle_epi8(lanes, _mm256_setr_epi8(ZP_DECODE_PACK, ZP_DECODE_PACK));
        // The two halves' twelve bytes side by side.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                            _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7)));
    }
    return done + DecodeSse(src + done, n - done, dst);
}

constexpr Base64Kernels kKernels[] = {
    {EncodeNone, EncodeLinesNone, DecodeNone},
    {EncodeSse, EncodeLinesSse, DecodeSse},
    {EncodeAvx2, EncodeLinesAvx2, DecodeAvx2},
};

bool Supported(Base64Path path)
{
    switch (path) {
    case Base64Path::Plain:
        return true;
    case Base64Path::Sse:
        return __builtin_cpu_supports("ssse3");
    case Base64Path::Avx2:
        return __builtin_cpu_supports("avx2");
    }
    return false;
}

std::atomic<Base64Path>& PathInUse()
{
    static std::atomic<Base64Path> path {BestBase64Path()};
    return path;
}

} // namespace

Base64Path BestBase64Path()
{
    for (Base64Path path : {Base64Path::Avx2, Base64Path::Sse}) {
        if (Supported(path))
            return path;
    }
    return Base64Path::Plain;
}

Base64Path Base64PathInUse()
{
    return PathInUse().load(std::memory_order_relaxed);
}

bool UseBase64Path(Base64Path path)
{
    if (!Supported(path))
        return false;
    PathInUse().store(path, std::memory_order_relaxed);
    return true;
}

const Base64Kernels& Base64KernelsInUse()
{
    return kKernels[static_cast<int>(Base64PathInUse())];
}

} // namespace zp
