#include "install/board_file_cache.h"

namespace zp {

WorkBuffer BoardFileCache::Load(const QString& path)
{
    const std::lock_guard lock(mutex_);
    if (const auto known = files_.find(path); known != files_.end())
        return known->second;
    WorkBuffer buffer;
    buffer.LoadFile(path);
    return files_.emplace(path, std::move(buffer)).first->second;
}

} // namespace zp
