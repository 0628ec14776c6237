// The base64 file decoder and the text property's decoder on arbitrary text: they agree, and what
// they decode encodes and decodes back to itself.
#include "encoder/encodings.h"
#include "fuzz_support.h"

using namespace zp;
using namespace zp::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    StreamResult decoded = RunStream(DecodeBase64Stream, text);
    std::optional<std::string> buffer = DecodeBase64Buffer(text);
    if (!text.empty())
        Require(buffer.has_value() == decoded.ok && (!buffer || *buffer == decoded.output));
    if (decoded.ok) {
        StreamResult encoded = RunStream(EncodeBase64Stream, decoded.output);
        StreamResult again = RunStream(DecodeBase64Stream, encoded.output);
        Require(again.ok && again.output == decoded.output);
    }
    return 0;
}
