#pragma once

#include "engine/work_buffer.h"

#include <QString>
#include <map>
#include <mutex>

namespace zp {

// The board files a series of trial installations reads, each read and decoded once: a check that
// tries many hacks over one board loads each large file once, not once per hack. A buffer handed
// out shares its text with the cached one until it is changed.
class BoardFileCache
{
public:
    // The file loaded as WorkBuffer::LoadFile loads it; throws as it does (and keeps nothing).
    // Threads may load through one cache at once.
    WorkBuffer Load(const QString& path);

private:
    std::mutex mutex_;
    std::map<QString, WorkBuffer> files_;
};

} // namespace zp
