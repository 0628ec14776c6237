#include "encoder/file_encoder.h"

#include "encoder/encodings.h"
#include "encoder/temp_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <new>
#include <sys/stat.h>

namespace zp {

namespace {

constexpr char kInvalidArgumentType[] = "Invalid argument type passed to function";

using FileRoutine = bool (*)(const std::string&, const std::string&, const ReadObserver&);

// The encoder and decoder of each Encoding value.
constexpr FileRoutine kEncoders[] = {EncodeBase64File, EncodeUuFile, EncodeQuotedFile};
constexpr FileRoutine kDecoders[] = {DecodeBase64File, DecodeUuFile, DecodeQuotedFile};

int32_t clampToLong(int64_t value)
{
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

int16_t percentOf(int64_t bytesRead, int64_t fileLength)
{
    return fileLength == 0 ? 0 : static_cast<int16_t>(std::min<int64_t>(bytesRead * 100 / fileLength, 100));
}

} // namespace

void FileEncoder::SetAction(int16_t value)
{
    if (value < 0 || value > 4)
        throw EncoderError(errInvalidPropertyValue);
    m_action = value;
    constexpr Operation operations[] = {Operation::Encode, Operation::Decode, Operation::Compress, Operation::Expand};
    if (value > 0)
        RunOperation(operations[value - 1]);
}

void FileEncoder::SetDecodedText(const std::string& value)
{
    try {
        m_dataBuffer = value;
    } catch (const std::bad_alloc&) {
        throw EncoderError(errOutOfMemory);
    }
}

std::string FileEncoder::GetEncodedText() const
{
    try {
        return EncodeBase64Buffer(m_dataBuffer);
    } catch (const std::bad_alloc&) {
        throw EncoderError(errOutOfStringSpace);
    }
}

void FileEncoder::SetEncodedText(const std::string& value)
{
    if (value.empty()) {
        m_dataBuffer.clear();
        return;
    }
    try {
        std::optional<std::string> decoded = DecodeBase64Buffer(value);
        if (!decoded || decoded->empty())
            throw EncoderError(errInvalidPropertyValue);
        m_dataBuffer = std::move(*decoded);
    } catch (const std::bad_alloc&) {
        throw EncoderError(errOutOfMemory);
    }
}

void FileEncoder::SetEncoding(int16_t value)
{
    if (value < encodeBase64 || value > encodeQuoted)
        throw EncoderError(errInvalidPropertyValue);
    m_encoding = value;
}

void FileEncoder::DecodeFile(const Variant& InputFile, const Variant& OutputFile, const Variant& Method)
{
    StoreFileArguments(InputFile, OutputFile, &Method);
    RunOperation(Operation::Decode);
}

void FileEncoder::EncodeFile(const Variant& InputFile, const Variant& OutputFile, const Variant& Method)
{
    StoreFileArguments(InputFile, OutputFile, &Method);
    RunOperation(Operation::Encode);
}

void FileEncoder::CompressFile(const Variant& InputFile, const Variant& OutputFile)
{
    StoreFileArguments(InputFile, OutputFile, nullptr);
    RunOperation(Operation::Compress);
}

void FileEncoder::ExpandFile(const Variant& InputFile, const Variant& OutputFile)
{
    StoreFileArguments(InputFile, OutputFile, nullptr);
    RunOperation(Operation::Expand);
}

void FileEncoder::AboutBox()
{
    if (m_aboutBox)
        m_aboutBox();
}

void FileEncoder::StoreFileArguments(const Variant& InputFile, const Variant& OutputFile, const Variant* Method)
{
    const std::string* input = InputFile.Text();
    const std::string* output = OutputFile.Text();
    if (!input || !output)
        throw EncoderError(errTypeMismatch, kInvalidArgumentType);
    if (Method && !Method->IsMissing()) {
        if (Method->IsError())
            throw EncoderError(errInvalidProcedureCall);
        std::optional<int16_t> encoding = Method->ToInteger();
        if (!encoding)
            throw EncoderError(errTypeMismatch, kInvalidArgumentType);
        SetEncoding(*encoding);
    }
    m_inputFile = *input;
    m_outputFile = *output;
}

void FileEncoder::RunOperation(Operation operation)
{
    m_systemError = 0;
    struct stat input
    {
    };
    if (m_inputFile.empty() || stat(m_inputFile.c_str(), &input) != 0)
        throw EncoderError(errFileNotFound);
    if (!S_ISREG(input.st_mode))
        throw EncoderError(errPathFileAccess);

    bool madeOutput = false;
    if (m_outputFile.empty()) {
        std::string temp = MakeTempFile("TMP");
        if (temp.empty())
            throw EncoderError(errTempNotWritable);
        m_outputFile = temp;
        madeOutput = true;
    } else if (struct stat output {}; stat(m_outputFile.c_str(), &output) == 0) {
        // Writing a file into itself would truncate the input before it is read.
        bool sameFile = output.st_dev == input.st_dev && output.st_ino == input.st_ino;
        if (!S_ISREG(output.st_mode) || sameFile)
            throw EncoderError(errPathFileAccess);
    }

    auto discardOutput = [&] {
        if (madeOutput) {
            std::remove(m_outputFile.c_str());
            m_outputFile.clear();
        }
    };
    bool ok = false;
    try {
        m_state = stateWorking;
        FireProgress(0, input.st_size);
        // The routines leave errno as the failed read or write set it; data faults do not touch it.
        errno = 0;
        // Between the first and the last event, Progress follows the reading whenever another
        // percent of the input has been read, so that a host can show a large file's progress.
        int16_t reported = 0;
        ReadObserver observer;
        if (m_progress) {
            observer = [&](uint64_t bytesRead) {
                const auto read = static_cast<int64_t>(bytesRead);
                if (read < input.st_size && percentOf(read, input.st_size) > reported) {
                    reported = percentOf(read, input.st_size);
                    FireProgress(read, input.st_size);
                }
            };
        }
        ok = RunRoutine(operation, observer);
        m_systemError = ok ? 0 : errno;
        m_state = stateIdle;
        FireProgress(input.st_size, input.st_size);
    } catch (...) {
        m_state = stateIdle;
        discardOutput();
        throw;
    }
    if (!ok) {
        discardOutput();
        throw EncoderError(errInvalidProcedureCall);
    }
}

bool FileEncoder::RunRoutine(Operation operation, const ReadObserver& observer) const
{
    switch (operation) {
    case Operation::Encode:
        return kEncoders[m_encoding](m_inputFile, m_outputFile, observer);
    case Operation::Decode:
        return kDecoders[m_encoding](m_inputFile, m_outputFile, observer);
    case Operation::Compress:
        return CompressFileData(m_inputFile, m_outputFile, observer);
    case Operation::Expand:
        return ExpandFileData(m_inputFile, m_outputFile, observer);
    }
    return false;
}

void FileEncoder::FireProgress(int64_t bytesRead, int64_t fileLength)
{
    if (!m_progress)
        return;
    int32_t BytesRead = clampToLong(bytesRead);
    int32_t FileLength = clampToLong(fileLength);
    int16_t Percent = percentOf(bytesRead, fileLength);
    m_progress(BytesRead, FileLength, Percent);
}

} // namespace zp
