#include "interchange/deflating_writer.h"

#include <algorithm>
#include <utility>
#include <zlib.h>

namespace zp {

namespace {

constexpr qsizetype ChunkSize = qsizetype(1) << 20;
constexpr size_t QueueLimit = 4; // chunks waiting for the thread
constexpr qsizetype OutputSize = qsizetype(1) << 18;

} // namespace

DeflatingWriter::DeflatingWriter(const QString& name, std::function<bool(const QByteArray&)> sink)
    : sink_(std::move(sink))
{
    setObjectName(name);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    pending_.reserve(ChunkSize);
    thread_ = std::thread([this] { Run(); });
}

DeflatingWriter::~DeflatingWriter()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

qint64 DeflatingWriter::writeData(const char* data, qint64 size)
{
    for (qint64 left = size; left > 0;) {
        const qint64 part = std::min(left, qint64(ChunkSize - pending_.size()));
        pending_.append(data, part);
        data += part;
        left -= part;
        if (pending_.size() == ChunkSize) {
            Hand(std::exchange(pending_, QByteArray()), false);
            pending_.reserve(ChunkSize);
        }
    }
    const std::lock_guard lock(mutex_);
    if (failed_) {
        setErrorString(QStringLiteral("the compressed output could not be written"));
        return -1;
    }
    return size;
}

void DeflatingWriter::Hand(QByteArray chunk, bool last)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < QueueLimit || failed_; });
    queue_.push_back(std::move(chunk));
    ended_ = last;
    changed_.notify_all();
}

bool DeflatingWriter::Finish()
{
    Hand(std::exchange(pending_, QByteArray()), true);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_ || failed_; });
    return !failed_;
}

void DeflatingWriter::Run()
{
    z_stream stream {};
    bool ok = deflateInit(&stream, Z_DEFAULT_COMPRESSION) == Z_OK;
    QByteArray output(OutputSize, Qt::Uninitialized);
    // Fed as the encoder's compression feeds zlib (no flush until the input has ended, then
    // Z_FINISH on no input), so the bytes are the same.
    const auto deflateAll = [&](const QByteArray& input, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
        stream.avail_in = uInt(input.size());
        for (;;) {
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = uInt(output.size());
            const int result = ::deflate(&stream, flush);
            const qsizetype made = output.size() - stream.avail_out;
            if (result == Z_STREAM_ERROR || (made > 0 && !sink_(QByteArray::fromRawData(output.constData(), made))))
                return false;
            if (flush == Z_FINISH ? result == Z_STREAM_END : stream.avail_in == 0 && stream.avail_out != 0)
                return true;
        }
    };
    std::unique_lock lock(mutex_);
    while (ok) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            break;
        const QByteArray chunk = std::move(queue_.front());
        queue_.pop_front();
        const bool last = ended_ && queue_.empty();
        changed_.notify_all();
        lock.unlock();
        ok = deflateAll(chunk, Z_NO_FLUSH) && (!last || deflateAll(QByteArray(), Z_FINISH));
        lock.lock();
        if (last && ok) {
            finished_ = true;
            break;
        }
    }
    ::deflateEnd(&stream);
    failed_ = !ok;
    changed_.notify_all();
}

} // namespace zp
