// libFuzzer target over the import of arbitrary bytes: the hack file is expanded, its package text
// split into blocks and decoded, and the description read, exactly as an import does before it
// touches the database. Any crash or a file left outside the exchange folder is a finding.
#include "interchange/hack_description.h"
#include "interchange/hack_unpack.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <zlib.h>

namespace {

// The hack file of one run: the bytes themselves, or (so that the fuzzer reaches the package
// reader quickly) the bytes compressed as a hack file's zlib stream.
QByteArray HackFileBytes(const uint8_t* data, size_t size, bool compressIt)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!compressIt)
        return bytes;
    uLongf packedSize = compressBound(uLong(size));
    QByteArray packed(qsizetype(packedSize), 0);
    compress2(
        reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(data), uLong(size), 6);
    packed.resize(qsizetype(packedSize));
    return packed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir root;
    if (size == 0)
        return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;

    if (mode == 2) { // the description reader alone
        try {
            zp::ReadHackDescription(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        } catch (const zp::DescriptionError&) {
        }
        return 0;
    }

    const QString hackFile = root.filePath("input.zpp");
    const QString exchange = root.filePath("enctemp");
    QDir(exchange).removeRecursively();
    QDir(root.path()).mkdir("enctemp");
    QFile file(hackFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    file.write(HackFileBytes(data, size, mode == 1));
    file.close();

    try {
        zp::UnpackHackFile(hackFile, exchange);
    } catch (const zp::InvalidHackFile&) {
    } catch (const zp::ImportError&) {
    }

    const QStringList left = QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (left != QStringList {"enctemp", "input.zpp"})
        abort();
    return 0;
}
