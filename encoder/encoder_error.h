#pragma once

#include "xcoder32_export.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zp {

// Run-time error numbers the control raises.
enum EncoderErrorNumber : int {
    errInvalidProcedureCall = 5,
    errOutOfMemory = 7,
    errTypeMismatch = 13,
    errOutOfStringSpace = 14,
    errFileNotFound = 53,
    errPathFileAccess = 75,
    errInvalidPropertyValue = 380,
    errReadOnlyProperty = 383,
    errNoSuchMember = 438,
    errWrongArgumentCount = 450,
    errTempNotWritable = 735,
};

// The automation error of the control: a run-time error number, its code 0x800A0000 + number and
// its description (the standard text unless the raiser gives its own).
class XCODER32_EXPORT EncoderError : public std::runtime_error
{
public:
    explicit EncoderError(int number);
    EncoderError(int number, const std::string& description);

    int number() const { return m_number; }
    uint32_t code() const { return 0x800A0000u + static_cast<uint32_t>(m_number); }
    std::string description() const { return what(); }

private:
    int m_number;
};

// The standard text of a run-time error number.
XCODER32_EXPORT const char* ErrorText(int number);

} // namespace zp
