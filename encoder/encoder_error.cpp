#include "encoder/encoder_error.h"

namespace zp {

EncoderError::EncoderError(int number)
    : EncoderError(number, ErrorText(number))
{
}

EncoderError::EncoderError(int number, const std::string& description)
    : std::runtime_error(description)
    , m_number(number)
{
}

const char* ErrorText(int number)
{
    switch (number) {
    case errInvalidProcedureCall:
        return "Invalid procedure call or argument";
    case errOutOfMemory:
        return "Out of memory";
    case errTypeMismatch:
        return "Type mismatch";
    case errOutOfStringSpace:
        return "Out of string space";
    case errFileNotFound:
        return "File not found";
    case errPathFileAccess:
        return "Path/File access error";
    case errInvalidPropertyValue:
        return "Invalid property value";
    case errReadOnlyProperty:
        return "Set not supported (read-only property)";
    case errNoSuchMember:
        return "Object doesn't support this property or method";
    case errWrongArgumentCount:
        return "Wrong number of arguments or invalid property assignment";
    case errTempNotWritable:
        return "Can't save file to TEMP";
    default:
        return "Application-defined or object-defined error";
    }
}

} // namespace zp
