#include "encoder/encodings.h"
#include "encoder/file_routine.h"

#include <zlib.h>

namespace zp {

namespace {

constexpr size_t kBufferSize = 1024;

enum class Direction { Compress, Expand };

// Streams the input through zlib with two 1024-byte buffers. Expansion stops at the end of the
// stream (bytes after it are ignored) and fails on anything that is not a complete zlib stream.
bool runZlib(FileReader& in, FileWriter& out, Direction direction)
{
    z_stream stream {};
    int init = direction == Direction::Compress ? deflateInit(&stream, Z_DEFAULT_COMPRESSION) : inflateInit(&stream);
    if (init != Z_OK)
        return false;

    uint8_t input[kBufferSize];
    uint8_t output[kBufferSize];
    bool exhausted = false;
    bool ok = false;
    for (;;) {
        if (!exhausted && stream.avail_in == 0) {
            size_t n = in.read(input, sizeof input);
            if (in.failed())
                break;
            exhausted = n == 0;
            stream.next_in = input;
            stream.avail_in = static_cast<uInt>(n);
        }
        stream.next_out = output;
        stream.avail_out = sizeof output;
        // Expansion never asks for Z_FINISH: with it, zlib reports a full output buffer as an error.
        int flush = direction == Direction::Compress && exhausted ? Z_FINISH : Z_NO_FLUSH;
        int result = direction == Direction::Compress ? deflate(&stream, flush) : inflate(&stream, flush);
        out.write(output, sizeof output - stream.avail_out);
        if (out.failed())
            break;
        if (result == Z_STREAM_END) {
            ok = true;
            break;
        }
        // Anything else but Z_OK fails: an error, Z_BUF_ERROR when the input ended inside the
        // stream, or Z_NEED_DICT for a stream that asks for a preset dictionary (which would
        // otherwise be asked again and again).
        if (result != Z_OK)
            break;
    }
    if (direction == Direction::Compress)
        deflateEnd(&stream);
    else
        inflateEnd(&stream);
    return ok;
}

} // namespace

bool CompressStream(FileReader& in, FileWriter& out)
{
    return runZlib(in, out, Direction::Compress);
}

bool ExpandStream(FileReader& in, FileWriter& out)
{
    return runZlib(in, out, Direction::Expand);
}

bool CompressFileData(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, CompressStream, observer, PartialOutput::Remove);
}

bool ExpandFileData(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, ExpandStream, observer, PartialOutput::Remove);
}

} // namespace zp
