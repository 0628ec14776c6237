// Expansion of arbitrary bytes; a stream that expands compresses and expands back to the same bytes.
#include "encoder/encodings.h"
#include "fuzz_support.h"

using namespace zp;
using namespace zp::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StreamResult expanded = RunStream(ExpandStream, std::string(reinterpret_cast<const char*>(data), size));
    if (expanded.ok) {
        StreamResult again = RunStream(ExpandStream, RunStream(CompressStream, expanded.output).output);
        Require(again.ok && again.output == expanded.output);
    }
    return 0;
}
