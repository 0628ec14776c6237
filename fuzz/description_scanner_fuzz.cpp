// libFuzzer target over the update check's reading of a hack file as it arrives: arbitrary bytes,
// as they are or (so that the fuzzer reaches the package text quickly) compressed as a hack file's
// zlib stream, read within small bounds that the input chooses. The verdict must not depend on the
// pieces the file arrives in, must not change once given, and a description read must be one this
// version reads.
#include "interchange/description_scanner.h"

#include <cstdint>
#include <cstdlib>
#include <zlib.h>

namespace {

using zp::DescriptionScanner;

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

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const bool compressIt = data[0] & 1;
    // Bounds small enough that the fuzzer meets them: up to 16 KiB of file, 64 KiB of text.
    const qint64 maxFileBytes = 1 + qint64(data[1]) * 64;
    const qint64 maxTextBytes = 1 + qint64(data[2]) * 256;
    const qsizetype piece = 1 + data[3] % 97;
    const QByteArray file = HackFileBytes(data + 4, size - 4, compressIt);

    DescriptionScanner whole(maxFileBytes, maxTextBytes);
    const DescriptionScanner::State fed = whole.Feed(file);
    Require(fed == whole.Current());
    if (fed != DescriptionScanner::State::Reading)
        Require(whole.Feed(file) == fed);
    const DescriptionScanner::State verdict = whole.Finish();
    Require(fed == DescriptionScanner::State::Reading || verdict == fed);
    Require(verdict != DescriptionScanner::State::Reading);
    if (verdict == DescriptionScanner::State::Read)
        Require(!whole.Description().TooOld);

    DescriptionScanner inPieces(maxFileBytes, maxTextBytes);
    for (qsizetype at = 0; at < file.size(); at += piece)
        inPieces.Feed(QByteArrayView(file).sliced(at, qMin(piece, file.size() - at)));
    Require(inPieces.Finish() == verdict);
    return 0;
}
