#include "interchange/description_scanner.h"

#include "interchange/package_markers.h"

#include <utility>
#include <zlib.h>

namespace zp {

DescriptionScanner::DescriptionScanner(qint64 maxFileBytes, qint64 maxTextBytes)
    : zlib_(std::make_unique<z_stream_s>())
    , maxFileBytes_(maxFileBytes)
    , maxTextBytes_(maxTextBytes)
{
    if (inflateInit(zlib_.get()) != Z_OK)
        Fail();
}

DescriptionScanner::~DescriptionScanner()
{
    inflateEnd(zlib_.get());
}

DescriptionScanner::State DescriptionScanner::Feed(QByteArrayView bytes)
{
    if (state_ != State::Reading)
        return state_;
    const QByteArrayView taken = bytes.first(qMin(bytes.size(), maxFileBytes_ - fileBytes_));
    fileBytes_ += taken.size();
    Expand(taken);
    if (state_ == State::Reading && fileBytes_ >= maxFileBytes_)
        Fail();
    return state_;
}

DescriptionScanner::State DescriptionScanner::Finish()
{
    if (state_ == State::Reading)
        Fail();
    return state_;
}

void DescriptionScanner::Expand(QByteArrayView bytes)
{
    z_stream_s& zs = *zlib_;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = uInt(bytes.size());
    char out[65536];
    while (state_ == State::Reading) {
        zs.next_out = reinterpret_cast<Bytef*>(out);
        zs.avail_out = sizeof out;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        // The text up to the limit, or up to damage in the stream, is looked at first, so that the
        // verdict is the same however the file arrives in pieces.
        const qsizetype produced = qsizetype(sizeof out - zs.avail_out);
        pending_.append(out, qsizetype(qMin<qint64>(produced, maxTextBytes_ - textBytes_)));
        textBytes_ += produced;
        TakeLines();
        if (state_ != State::Reading)
            return;
        if (textBytes_ > maxTextBytes_ || (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR))
            return Fail();
        if (rc == Z_STREAM_END) {
            // The package text is complete: its last line may lack a line end.
            if (!pending_.isEmpty())
                TakeLine(std::exchange(pending_, QByteArray()));
            Finish();
            return;
        }
        if (produced == 0 && (zs.avail_in == 0 || rc == Z_BUF_ERROR))
            return;
    }
}

void DescriptionScanner::TakeLines()
{
    qsizetype start = 0;
    for (qsizetype end; state_ == State::Reading && (end = pending_.indexOf('\n', start)) >= 0; start = end + 1)
        TakeLine(pending_.mid(start, end - start));
    pending_.remove(0, start);
}

void DescriptionScanner::TakeLine(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    const bool starts = line.contains(StartFileMarker);
    const bool ends = line.contains(EndFileMarker);
    if (starts) {
        if (inBlock_)
            return Fail();
        // The label after the "|": its first two period-separated pieces are name and extension.
        const QList<QByteArray> pieces = line.mid(line.indexOf('|') + 1).split('|').value(0).split('.');
        inBlock_ = true;
        inDescription_ = pieces.size() >= 2 && pieces[1] == "zpx";
        return;
    }
    if (!inBlock_)
        return Fail(); // every line belongs to a block
    if (!ends) {
        if (inDescription_)
            encoded_ += line;
        return;
    }
    inBlock_ = false;
    if (!inDescription_)
        return;
    const QByteArray::FromBase64Result decoded
        = QByteArray::fromBase64Encoding(encoded_, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return Fail();
    try {
        description_ = ReadHackDescription(*decoded);
    } catch (const DescriptionError&) {
        return Fail();
    }
    state_ = description_.TooOld ? State::NotAHackFile : State::Read;
}

} // namespace zp
