#include "encoder/xcoder32.h"

#include "encoder/file_encoder.h"

#include <new>

struct xcoder32_encoder
{
    zp::FileEncoder encoder;
    std::string outputFile;
};

namespace {

// Runs one call, turning a raised error into -1 and its number.
template <class Call>
int guarded(int* error_number, Call call)
{
    int number = 0;
    try {
        call();
    } catch (const zp::EncoderError& e) {
        number = e.number();
    } catch (const std::bad_alloc&) {
        number = zp::errOutOfMemory;
    } catch (...) {
        number = zp::errInvalidProcedureCall;
    }
    if (error_number)
        *error_number = number;
    return number == 0 ? 0 : -1;
}

int fileCall(xcoder32_encoder* h, const char* input, const char* output, int* error_number, int32_t dispid)
{
    return guarded(error_number, [&] {
        if (!h)
            throw zp::EncoderError(zp::errInvalidProcedureCall);
        h->encoder.Invoke(dispid, {zp::Variant(input ? input : ""), zp::Variant(output ? output : "")});
    });
}

} // namespace

extern "C" {

uint32_t xcoder32_get_version(xcoder32_version_info* info)
{
    if (!info)
        return XCODER32_E_POINTER;
    if (info->cbSize != sizeof(xcoder32_version_info))
        return XCODER32_E_INVALIDARG;
    info->dwMajorVersion = 3;
    info->dwMinorVersion = 50;
    info->dwBuildNumber = 3540;
    info->dwPlatformID = 1;
    return XCODER32_S_OK;
}

xcoder32_encoder* xcoder32_create(void)
{
    return new (std::nothrow) xcoder32_encoder {};
}

void xcoder32_destroy(xcoder32_encoder* encoder)
{
    delete encoder;
}

int xcoder32_encode_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number)
{
    return fileCall(encoder, input, output, error_number, zp::FileEncoder::dispidEncodeFile);
}

int xcoder32_decode_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number)
{
    return fileCall(encoder, input, output, error_number, zp::FileEncoder::dispidDecodeFile);
}

int xcoder32_compress_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number)
{
    return fileCall(encoder, input, output, error_number, zp::FileEncoder::dispidCompressFile);
}

int xcoder32_expand_file(xcoder32_encoder* encoder, const char* input, const char* output, int* error_number)
{
    return fileCall(encoder, input, output, error_number, zp::FileEncoder::dispidExpandFile);
}

int xcoder32_set_encoding(xcoder32_encoder* encoder, int encoding, int* error_number)
{
    return guarded(error_number, [&] {
        if (!encoder || encoding < INT16_MIN || encoding > INT16_MAX)
            throw zp::EncoderError(zp::errInvalidPropertyValue);
        encoder->encoder.SetEncoding(static_cast<int16_t>(encoding));
    });
}

int xcoder32_get_encoding(const xcoder32_encoder* encoder)
{
    return encoder ? encoder->encoder.GetEncoding() : 0;
}

const char* xcoder32_output_file(xcoder32_encoder* encoder)
{
    if (!encoder)
        return "";
    encoder->outputFile = encoder->encoder.GetOutputFile();
    return encoder->outputFile.c_str();
}

const char* xcoder32_error_text(int error_number)
{
    return zp::ErrorText(error_number);
}

} // extern "C"
