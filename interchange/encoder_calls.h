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

// The encoder instance of the export and import (Encoding 0, base64), called by dispatch
// identifier with an input and an output path, as the program reaches the control. Failures are
// EncoderError, or EncoderFileError when a read or write of a file failed.
class EncoderCalls
{
public:
    void EncodeFile(const QString& input, const QString& output) { Call(FileEncoder::dispidEncodeFile, input, output); }
    void DecodeFile(const QString& input, const QString& output) { Call(FileEncoder::dispidDecodeFile, input, output); }
    void CompressFile(const QString& input, const QString& output)
    {
        Call(FileEncoder::dispidCompressFile, input, output);
    }
    void ExpandFile(const QString& input, const QString& output) { Call(FileEncoder::dispidExpandFile, input, output); }

private:
    void Call(FileEncoder::DispId dispid, const QString& input, const QString& output);

    FileEncoder fe;
};

} // namespace zp
