#pragma once

#include "encoder_error.h"
#include "variant.h"
#include "xcoder32_export.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zp {

// Identity of the control (kept for hosts that name it; the library needs no registration).
inline constexpr char kFileEncoderProgId[] = "Larkspur.FileEncoderCtrl.1";
inline constexpr char kFileEncoderTypeName[] = "Larkspur File Encoding Control";
inline constexpr char kFileEncoderClassId[] = "{A9B23A8A-D0FD-4E71-87E0-232AF9EE1311}";
inline constexpr char kFileEncoderPropPageProgId[] = "Larkspur.FileEncoderPropPage.1";
inline constexpr char kFileEncoderPropPageTypeName[] = "Larkspur File Encoding Page";
inline constexpr char kFileEncoderPropPageClassId[] = "{7F387BE2-9EBF-4C4A-973F-C57FC3A0EB12}";
inline constexpr char kFileEncoderTypeLibId[] = "{3C781639-C3F9-448D-BDD8-78578C138D1A}";
inline constexpr char kFileEncoderDispatchId[] = "{8DFD123E-CA9E-462C-8E20-6B55FDFD4E68}";
inline constexpr char kFileEncoderEventsId[] = "{36BA214A-B7F7-40A8-8EAF-4DE1F59025AE}";

// Texts of the About box and the property page, which the host program shows as its own dialogs.
inline constexpr char kAboutBoxCaption[] = "About Larkspur File Encoding Control";
inline constexpr char kAboutBoxVersion[] = "Version 3.5 Build 3540";
inline constexpr char kPropPageCaption[] = "General";
inline constexpr char kPropPageEncodingLabel[] = "Encoding:";
inline constexpr const char* kPropPageEncodingItems[]
    = {"0 - MIME (base64)", "1 - UNIX (uuencode)", "2 - Quoted Printable"};

enum enumEncoding : int16_t { encodeBase64 = 0, encodeUucode = 1, encodeQuoted = 2 };

// The file encoding control: encodes, decodes, compresses and expands files, converts a byte buffer
// to and from base64, and reports progress. Every failure raises EncoderError.
class XCODER32_EXPORT FileEncoder
{
public:
    enum DispId : int32_t {
        dispidAction = 1,
        dispidDecodedText = 2,
        dispidEncodedText = 3,
        dispidEncoding = 4,
        dispidInputFile = 5,
        dispidOutputFile = 6,
        dispidState = 7,
        dispidDecodeFile = 8,
        dispidEncodeFile = 9,
        dispidCompressFile = 10,
        dispidExpandFile = 11,
        dispidAboutBox = -552,
    };
    // Call invokes a method or reads a property; Put writes a property.
    enum class InvokeKind { Call, Put };
    enum StateValue : int16_t { stateIdle = 1, stateWorking = 2 };

    // The Progress event; its parameters are passed by reference as the event interface declares.
    using ProgressHandler = std::function<void(int32_t& BytesRead, int32_t& FileLength, int16_t& Percent)>;

    void SetProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }
    // The host shows its About box here (the library has no user interface).
    void SetAboutBoxHandler(std::function<void()> handler) { m_aboutBox = std::move(handler); }

    int16_t GetAction() const { return m_action; }
    // 0 does nothing; 1 encode, 2 decode, 3 compress, 4 expand InputFile into OutputFile.
    void SetAction(int16_t value);
    std::string GetDecodedText() const { return m_dataBuffer; }
    void SetDecodedText(const std::string& value);
    std::string GetEncodedText() const;
    void SetEncodedText(const std::string& value);
    int16_t GetEncoding() const { return m_encoding; }
    void SetEncoding(int16_t value);
    std::string GetInputFile() const { return m_inputFile; }
    void SetInputFile(const std::string& value) { m_inputFile = value; }
    std::string GetOutputFile() const { return m_outputFile; }
    void SetOutputFile(const std::string& value) { m_outputFile = value; }
    int16_t GetState() const { return m_state; }
    // The system error (errno) that made the last file method fail while reading or writing a file;
    // 0 after a success or a failure caused by the data. The error raised stays error 5.
    int GetSystemError() const { return m_systemError; }

    // Method sets the Encoding for this and later calls when present.
    void DecodeFile(const Variant& InputFile, const Variant& OutputFile, const Variant& Method = Variant::Missing());
    void EncodeFile(const Variant& InputFile, const Variant& OutputFile, const Variant& Method = Variant::Missing());
    void CompressFile(const Variant& InputFile, const Variant& OutputFile);
    void ExpandFile(const Variant& InputFile, const Variant& OutputFile);
    void AboutBox();

    // Calls a member by its dispatch identifier with its arguments in declaration order.
    Variant Invoke(int32_t dispid, const std::vector<Variant>& args = {}, InvokeKind kind = InvokeKind::Call);

private:
    enum class Operation { Encode, Decode, Compress, Expand };

    void StoreFileArguments(const Variant& InputFile, const Variant& OutputFile, const Variant* Method);
    void RunOperation(Operation operation);
    bool RunRoutine(Operation operation, const std::function<void(uint64_t)>& observer) const;
    void FireProgress(int64_t bytesRead, int64_t fileLength);
    Variant InvokeProperty(int32_t dispid, const std::vector<Variant>& args, InvokeKind kind);

    int16_t m_action = 0;
    std::string m_dataBuffer;
    int16_t m_encoding = encodeBase64;
    std::string m_inputFile;
    std::string m_outputFile;
    int16_t m_state = stateIdle;
    int m_systemError = 0;
    ProgressHandler m_progress;
    std::function<void()> m_aboutBox;
};

} // namespace zp
