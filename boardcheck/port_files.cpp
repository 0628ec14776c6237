#include "boardcheck/port_files.h"

#include "app/regular_file.h"
#include "core/board_text.h"
#include "engine/find_routines.h"
#include "engine/mod_target.h"

namespace zp {

namespace {

// A board file the port holds three times over (the release it fits, the trial's and the new one).
constexpr qint64 MaxBoardFileBytes = qint64(256) << 20;

} // namespace

std::optional<QByteArray> ReadBoardFile(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    FileBytes read = ReadRegularFile(path, MaxBoardFileBytes);
    if (!read.Read())
        return std::nullopt;
    return std::move(read.bytes);
}

std::optional<QString> BoardTextOf(const QString& path)
{
    std::optional<QByteArray> bytes = ReadBoardFile(path);
    if (!bytes)
        return std::nullopt;
    return DecodeBoardText(std::move(*bytes)).text;
}

QString FileInRelease(const QString& release, const ModResult& result)
{
    const QString& relative = result.relativePath;
    const QString name = result.mod.FileName;
    const QString folder = relative.size() > name.size() ? relative.left(relative.size() - name.size() - 1) : QString();
    return FindFileInTree(name, Below(release, folder));
}

} // namespace zp
