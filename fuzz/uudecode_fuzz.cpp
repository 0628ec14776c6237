// The uudecoder on arbitrary text; whatever it decodes uuencodes and decodes back to itself.
#include "encoder/encodings.h"
#include "fuzz_support.h"

using namespace zp;
using namespace zp::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StreamResult decoded = RunStream(DecodeUuStream, std::string(reinterpret_cast<const char*>(data), size));
    if (decoded.ok) {
        auto encode = [](FileReader& in, FileWriter& out) { return EncodeUuStream(in, out, "fuzz.bin"); };
        StreamResult again = RunStream(DecodeUuStream, RunStream(encode, decoded.output).output);
        Require(again.ok && again.output == decoded.output);
    }
    return 0;
}
