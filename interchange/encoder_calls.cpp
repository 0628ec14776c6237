#include "interchange/encoder_calls.h"

#include "app/whole_file.h"

#include <QFile>

namespace zp {

void EncoderCalls::Call(const QString& input, const QString& output, Method method)
{
    const Variant in(QFile::encodeName(input).toStdString());
    const Variant out(QFile::encodeName(output).toStdString());
    try {
        method(fe, in, out);
    } catch (const EncoderError&) {
        // The control raises error 5 for a failed read or write as for bad data; the system's
        // reason tells them apart.
        if (fe.GetSystemError() == 0)
            throw;
        throw EncoderFileError(QStringLiteral("Cannot turn %1 into %2: %3")
                                   .arg(input, output, SystemErrorText(fe.GetSystemError()))
                                   .toStdString());
    }
}

} // namespace zp
