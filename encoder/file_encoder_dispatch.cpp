#include "encoder/file_encoder.h"

namespace zp {

namespace {

void requireArgumentCount(const std::vector<Variant>& args, size_t least, size_t most)
{
    if (args.size() < least || args.size() > most)
        throw EncoderError(errWrongArgumentCount);
}

int16_t integerValue(const Variant& value)
{
    std::optional<int16_t> integer = value.ToInteger();
    if (!integer)
        throw EncoderError(errTypeMismatch);
    return *integer;
}

const std::string& textValue(const Variant& value)
{
    const std::string* text = value.Text();
    if (!text)
        throw EncoderError(errTypeMismatch);
    return *text;
}

} // namespace

Variant FileEncoder::Invoke(int32_t dispid, const std::vector<Variant>& args, InvokeKind kind)
{
    if (dispid >= dispidAction && dispid <= dispidState)
        return InvokeProperty(dispid, args, kind);
    if (kind == InvokeKind::Put)
        throw EncoderError(errNoSuchMember);
    switch (dispid) {
    case dispidDecodeFile:
        requireArgumentCount(args, 2, 3);
        DecodeFile(args[0], args[1], args.size() > 2 ? args[2] : Variant::Missing());
        return {};
    case dispidEncodeFile:
        requireArgumentCount(args, 2, 3);
        EncodeFile(args[0], args[1], args.size() > 2 ? args[2] : Variant::Missing());
        return {};
    case dispidCompressFile:
        requireArgumentCount(args, 2, 2);
        CompressFile(args[0], args[1]);
        return {};
    case dispidExpandFile:
        requireArgumentCount(args, 2, 2);
        ExpandFile(args[0], args[1]);
        return {};
    case dispidAboutBox:
        requireArgumentCount(args, 0, 0);
        AboutBox();
        return {};
    default:
        throw EncoderError(errNoSuchMember);
    }
}

Variant FileEncoder::InvokeProperty(int32_t dispid, const std::vector<Variant>& args, InvokeKind kind)
{
    if (kind == InvokeKind::Call) {
        requireArgumentCount(args, 0, 0);
        switch (dispid) {
        case dispidAction:
            return GetAction();
        case dispidDecodedText:
            return GetDecodedText();
        case dispidEncodedText:
            return GetEncodedText();
        case dispidEncoding:
            return GetEncoding();
        case dispidInputFile:
            return GetInputFile();
        case dispidOutputFile:
            return GetOutputFile();
        default:
            return GetState();
        }
    }
    requireArgumentCount(args, 1, 1);
    const Variant& value = args[0];
    switch (dispid) {
    case dispidAction:
        SetAction(integerValue(value));
        break;
    case dispidDecodedText:
        SetDecodedText(textValue(value));
        break;
    case dispidEncodedText:
        SetEncodedText(textValue(value));
        break;
    case dispidEncoding:
        SetEncoding(integerValue(value));
        break;
    case dispidInputFile:
        SetInputFile(textValue(value));
        break;
    case dispidOutputFile:
        SetOutputFile(textValue(value));
        break;
    default:
        throw EncoderError(errReadOnlyProperty);
    }
    return {};
}

} // namespace zp
