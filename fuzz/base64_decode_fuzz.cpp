// The base64 file decoder and the text property's decoder on arbitrary text: they agree, and what
// they decode encodes and decodes back to itself; every way the processor has (plain, SSSE3, AVX2)
// gives the same bytes and the same success.
#include "encoder/base64_kernels.h"
#include "encoder/encodings.h"
#include "fuzz_support.h"

using namespace zp;
using namespace zp::fuzz;

namespace {

// The decoders' and the encoder's results on one way.
std::string Outcome(const std::string& text)
{
    StreamResult decoded = RunStream(DecodeBase64Stream, text);
    std::optional<std::string> buffer = DecodeBase64Buffer(text);
    if (!text.empty())
        Require(buffer.has_value() == decoded.ok && (!buffer || *buffer == decoded.output));
    std::string outcome = (decoded.ok ? "ok:" : "failed:") + decoded.output;
    if (decoded.ok) {
        StreamResult encoded = RunStream(EncodeBase64Stream, decoded.output);
        StreamResult again = RunStream(DecodeBase64Stream, encoded.output);
        Require(again.ok && again.output == decoded.output);
        outcome += "|" + encoded.output;
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    UseBase64Path(Base64Path::Plain);
    const std::string plain = Outcome(text);
    for (Base64Path path : {Base64Path::Sse, Base64Path::Avx2}) {
        if (UseBase64Path(path))
            Require(Outcome(text) == plain);
    }
    return 0;
}
