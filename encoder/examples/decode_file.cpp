// decode_file IN OUT: decodes the base64 file IN into OUT with the C++ interface of xcoder32, calling
// its members by dispatch identifier as a host of the control does, and prints the progress events.
#include <xcoder32/file_encoder.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: decode_file IN OUT\n");
        return 2;
    }
    zp::FileEncoder encoder;
    encoder.SetProgressHandler([](int32_t& bytesRead, int32_t& fileLength, int16_t& percent) {
        std::printf("%d of %d bytes, %d%%\n", bytesRead, fileLength, percent);
    });
    try {
        encoder.Invoke(zp::FileEncoder::dispidDecodeFile, {argv[1], argv[2], int16_t(zp::encodeBase64)});
    } catch (const zp::EncoderError& e) {
        std::fprintf(stderr, "decode_file: error %d: %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
