#include "encoder/base64_codec.h"
#include "encoder/encodings.h"
#include "encoder/file_routine.h"

namespace zp {

namespace {
constexpr unsigned kLineLength = 72;
// The input is read in whole multiples of the 16-byte encoder block and 512-byte decoder block; the
// codecs keep their state across blocks, so the block size never changes the output. The encoder's
// block is also a whole number of lines (54 bytes each), so each read starts a line and goes to the
// vector kernels whole.
constexpr size_t kEncodeBlock = 16 * 216;
constexpr size_t kDecodeBlock = 512 * 8;
} // namespace

bool EncodeBase64Stream(FileReader& in, FileWriter& out)
{
    Base64Encoder encoder(kLineLength);
    uint8_t block[kEncodeBlock];
    while (size_t n = in.read(block, sizeof block))
        encoder.feed(block, n, out);
    encoder.finish(out, true);
    return true;
}

bool DecodeBase64Stream(FileReader& in, FileWriter& out)
{
    Base64Decoder decoder;
    uint8_t block[kDecodeBlock];
    while (size_t n = in.read(block, sizeof block)) {
        if (!decoder.feed(block, n, out))
            return false;
    }
    return decoder.finish();
}

bool EncodeBase64File(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, EncodeBase64Stream, observer);
}

bool DecodeBase64File(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, DecodeBase64Stream, observer);
}

std::string EncodeBase64Buffer(std::string_view bytes)
{
    StringWriter out;
    out.text.reserve(bytes.size() / 3 * 4 + 4);
    Base64Encoder encoder(0);
    encoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    encoder.finish(out, false);
    return std::move(out.text);
}

std::optional<std::string> DecodeBase64Buffer(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    StringWriter out;
    out.text.reserve(text.size() / 4 * 3 + 3);
    Base64Decoder decoder;
    if (!decoder.feed(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out) || !decoder.finish())
        return std::nullopt;
    return std::move(out.text);
}

} // namespace zp
