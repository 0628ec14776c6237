#include "interchange/encoder_calls.h"

#include <QFile>

namespace zp {

void EncoderCalls::Call(FileEncoder::DispId dispid, const QString& input, const QString& output)
{
    fe.Invoke(dispid,
              {Variant(QFile::encodeName(input).toStdString()), Variant(QFile::encodeName(output).toStdString())});
}

} // namespace zp
