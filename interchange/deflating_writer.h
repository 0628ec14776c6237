#pragma once

#include <QByteArray>
#include <QIODevice>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace zp {

// A device that compresses what is written to it as one zlib stream (zlib's default level, the
// encoder's compression), on a thread of its own, while the writer goes on producing the text:
// the bytes are those the encoder's CompressFile makes of the same text. The compressed bytes go
// to `sink` on that thread; a sink that returns false stops the compression and Finish reports it.
// At most a few megabytes wait between the writer and the thread.
class DeflatingWriter : public QIODevice
{
public:
    // `name` names the output in the errors.
    DeflatingWriter(const QString& name, std::function<bool(const QByteArray&)> sink);
    // Stops the thread; an unfinished stream is left unfinished.
    ~DeflatingWriter() override;

    // Ends the stream and waits for the thread. False when the sink refused bytes or zlib failed.
    bool Finish();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    // Queues a chunk for the thread, waiting while the queue is full.
    void Hand(QByteArray chunk, bool last);
    void Run();

    std::function<bool(const QByteArray&)> sink_;
    QByteArray pending_; // written, not yet handed over
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> queue_;
    bool ended_ = false; // the last chunk is queued
    bool stopping_ = false;
    bool failed_ = false;
    bool finished_ = false;
    std::thread thread_;
};

} // namespace zp
