// The quoted-printable decoder on arbitrary text; it always succeeds, and its output survives an
// encode and decode unchanged.
#include "encoder/encodings.h"
#include "fuzz_support.h"

using namespace zp;
using namespace zp::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StreamResult decoded = RunStream(DecodeQuotedStream, std::string(reinterpret_cast<const char*>(data), size));
    Require(decoded.ok && decoded.output.size() <= size);
    StreamResult again = RunStream(DecodeQuotedStream, RunStream(EncodeQuotedStream, decoded.output).output);
    Require(again.ok && again.output == decoded.output);
    return 0;
}
