#pragma once

#include <cstddef>
#include <cstdint>

namespace zp {

// The ways base64 runs of whole groups are done: plain code, or SSSE3 (16 characters at a time) and
// AVX2 (32 at a time) where the processor has them. Every way gives the same bytes and the same
// errors; the vector ways only take runs they can do whole and leave the rest to the plain code.
enum class Base64Path { Plain, Sse, Avx2 };

inline constexpr size_t kBase64EncodeSlack = 32;

struct Base64Kernels
{
    // Encodes whole groups of three bytes from `src` (n bytes to take, `readable` bytes that may be
    // read from src, at least n) into dst; returns the bytes taken, a multiple of three. dst has room
    // for kBase64EncodeSlack characters more than those of n: the last vector step may write there.
    // The plain way takes none.
    size_t (*encode)(const uint8_t* src, size_t n, size_t readable, uint8_t* dst);
    // Encodes `lines` lines of lineBytes bytes each (a multiple of three) from src, each as CR LF and
    // then its characters, with the same room as above after the last; returns the lines done, which
    // stop before a line that would need reading past `readable`. The plain way does none.
    size_t (*encodeLines)(const uint8_t* src, size_t lines, size_t lineBytes, size_t readable, uint8_t* dst);
    // Decodes alphabet characters from `src` (n bytes) up to the first run that holds anything else;
    // returns the characters taken, a multiple of four, and writes three bytes per four of them.
    // dst has room for 32 bytes more than that. The plain way takes none.
    size_t (*decode)(const uint8_t* src, size_t n, uint8_t* dst);
};

// The fastest way this processor has.
Base64Path BestBase64Path();
// The way the codecs take; the best one unless UseBase64Path chose another.
Base64Path Base64PathInUse();
// Makes the codecs take `path` (tests compare the ways); a way the processor lacks is refused
// (false) and changes nothing.
bool UseBase64Path(Base64Path path);
// The kernels of the way in use.
const Base64Kernels& Base64KernelsInUse();

} // namespace zp
