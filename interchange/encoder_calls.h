#pragma once

#include "encoder/file_encoder.h"

#include <QString>
#include <stdexcept>

namespace zp {

// A file the encoder could not read or write; the text names the files and the system's reason
// ("No space left on device", "Permission denied").
class EncoderFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The encoder calls of the export and import, each with an input and an output path: on the
// window's control `fe` when one is given (its Progress event then follows the job), else on an
// instance of their own. Hack files carry base64 blocks, so encoding and decoding pass Method 0
// whatever Encoding the control was given. Failures are EncoderError, or EncoderFileError when a
// read or write of a file failed.
class EncoderCalls
{
public:
    explicit EncoderCalls(FileEncoder* control = nullptr)
        : fe(control ? *control : own)
    {
    }

    void EncodeFile(const QString& input, const QString& output)
    {
        Call(input, output, [](FileEncoder& fe, const Variant& in, const Variant& out) {
            fe.EncodeFile(in, out, Variant(int16_t {encodeBase64}));
        });
    }
    void DecodeFile(const QString& input, const QString& output)
    {
        Call(input, output, [](FileEncoder& fe, const Variant& in, const Variant& out) {
            fe.DecodeFile(in, out, Variant(int16_t {encodeBase64}));
        });
    }
    void CompressFile(const QString& input, const QString& output)
    {
        Call(input, output, [](FileEncoder& fe, const Variant& in, const Variant& out) { fe.CompressFile(in, out); });
    }
    void ExpandFile(const QString& input, const QString& output)
    {
        Call(input, output, [](FileEncoder& fe, const Variant& in, const Variant& out) { fe.ExpandFile(in, out); });
    }

private:
    using Method = void (*)(FileEncoder&, const Variant& input, const Variant& output);
    void Call(const QString& input, const QString& output, Method method);

    FileEncoder own;
    FileEncoder& fe;
};

} // namespace zp
